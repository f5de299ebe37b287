#pragma once

#include "platform/keepingdialog.h"
#include "widgets/editablelist.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace zanto {

// "Port Settings": which link, the baud rate, the reader's IP address and TCP
// port. What the controls show is in force at once; settings1.ini in the
// working directory keeps them between runs (read on creation, written on close).
class PortSettingsDialog : public KeepingDialog
{
    Q_OBJECT
public:
    explicit PortSettingsDialog(QWidget *parent = nullptr);

    QString settingsPath() const;
    // The last file problem, shown on the dialog; empty when there was none.
    QString fileProblem() const;
    // Why settings1.ini could not be read when the dialog was made; empty
    // when it was read.
    QString loadProblem() const { return m_loadProblem; }

    EditableList *Combo5;
    EditableList *Combo1;
    QLineEdit *IPAddress;
    QLineEdit *PortNumber;
    QListWidget *File1;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    QLabel *FileStatus;

    // Writes settings1.ini now; returns the problem, empty on success.
    QString Form_Unload();

protected:
    QString saveOnClose() override { return Form_Unload(); }
    void showCloseProblem(const QString &text) override { reportProblem(text); }

private:
    void Form_Load();
    void reportProblem(const QString &problem);

    QString m_directory;
    QString m_loadProblem;
    bool m_changedByUser = false;
    QString m_savedPort, m_savedIPAddress, m_savedBaud, m_savedTcpPort;
};

} // namespace zanto
