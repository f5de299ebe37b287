#pragma once

#include "link/sendtoreader.h"

#include "widgets/settingsfiledialog.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zanto {

// "Ethernet Settings": asks the reader for its Ethernet parameters ("IP") and
// reboots it ("RESET"), both on every open link. Three address texts that are
// never shown live in settings2.ini (read on creation, written on close).
class EthernetSettingsDialog : public SettingsFileDialog
{
    Q_OBJECT
public:
    explicit EthernetSettingsDialog(SendFunction send, QWidget *parent = nullptr);

    static QString helpText();

    void Command1_Click();
    void Reboot_Click();
    // Writes settings2.ini now; returns the problem, empty on success.
    QString SaveEthernetSettings();

    QPushButton *Command1;
    QPushButton *Reboot;
    QPlainTextEdit *Text1;
    QLineEdit *IPAddress;
    QLineEdit *SubnetMask;
    QLineEdit *Gateway;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;

protected:
    QString saveOnClose() override { return SaveEthernetSettings(); }

private:
    void LoadEthernetSettings();

    SendFunction m_send;
};

} // namespace zanto
