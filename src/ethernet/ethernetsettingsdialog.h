#pragma once

#include "link/sendtoreader.h"

#include "platform/keepingdialog.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zanto {

// "Ethernet Settings": asks the reader for its Ethernet parameters ("IP") and
// reboots it ("RESET"), both on every open link. Three address texts that are
// never shown live in settings2.ini (read on creation, written on close).
class EthernetSettingsDialog : public KeepingDialog
{
    Q_OBJECT
public:
    explicit EthernetSettingsDialog(SendFunction send, QWidget *parent = nullptr);

    static QString helpText();
    QString settingsPath() const;
    QString fileProblem() const;

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
    QLabel *FileStatus;

protected:
    QString saveOnClose() override { return SaveEthernetSettings(); }
    void showCloseProblem(const QString &text) override { reportProblem(text); }

private:
    void LoadEthernetSettings();
    void reportProblem(const QString &problem);

    SendFunction m_send;
    QString m_directory;
    QString m_loadProblem;
};

} // namespace zanto
