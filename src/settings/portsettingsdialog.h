#pragma once

#include "widgets/keepingdialog.h"

class QLabel;
class QLineEdit;
class QListWidget;

namespace zanto {

class EditableList;
class MessageLine;
class PortSettings;

// "Port Settings": which link, the baud rate, the reader's IP address and TCP
// port. The dialog edits the Port Settings the link uses: what its controls
// show is in force at once. Closing it saves settings1.ini and unloads them.
class PortSettingsDialog : public KeepingDialog
{
    Q_OBJECT
public:
    PortSettingsDialog(PortSettings *settings, QWidget *parent = nullptr);

protected:
    Done saveOnClose() override;
    void showCloseProblem(const QString &text) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void showProblem(const QString &text);

    PortSettings *m_settings;
    EditableList *Combo5;
    EditableList *Combo1;
    QLineEdit *IPAddress;
    QLineEdit *PortNumber;
    QListWidget *File1;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    MessageLine *FileStatus;
};

} // namespace zanto
