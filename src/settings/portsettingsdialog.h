#pragma once

#include "widgets/editablelist.h"
#include "widgets/settingsfiledialog.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace zanto {

// "Port Settings": which link, the baud rate, the reader's IP address and TCP
// port. What the controls show is in force at once; settings1.ini in the
// working directory keeps them between runs (read on creation, written on close).
class PortSettingsDialog : public SettingsFileDialog
{
    Q_OBJECT
public:
    explicit PortSettingsDialog(QWidget *parent = nullptr);

    EditableList *Combo5;
    EditableList *Combo1;
    QLineEdit *IPAddress;
    QLineEdit *PortNumber;
    QListWidget *File1;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;

    // Writes settings1.ini now; returns the problem, empty on success.
    QString Form_Unload();

protected:
    QString saveOnClose() override { return Form_Unload(); }

private:
    void Form_Load();

    QString m_savedPort, m_savedIPAddress, m_savedBaud, m_savedTcpPort;
};

} // namespace zanto
