#pragma once

#include "widgets/settingsfiledialog.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zanto {

class AnswerWatch;
class MessageLine;
class ReaderChannel;

// "Ethernet Settings": asks the reader for its Ethernet parameters ("IP") and
// reboots it ("RESET"), both on every open link. Three address texts that are
// never shown live in settings2.ini (read by the opening step, written on
// close).
class EthernetSettingsDialog : public SettingsFileDialog
{
    Q_OBJECT
public:
    EthernetSettingsDialog(ReaderChannel *channel, QWidget *parent = nullptr);

    // The opening step: reads settings2.ini over the starting texts.
    void Form_Load();

protected:
    Done saveOnClose() override { return SaveEthernetSettings(); }

private:
    static QString helpText();
    void Command1_Click();
    void Reboot_Click();
    void LoadEthernetSettings();
    Done SaveEthernetSettings();

    ReaderChannel *m_channel;
    AnswerWatch *m_answer;
    MessageLine *Answer;
    QPushButton *Command1;
    QPushButton *Reboot;
    QPlainTextEdit *Text1;
    QLineEdit *IPAddress;
    QLineEdit *SubnetMask;
    QLineEdit *Gateway;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
};

} // namespace zanto
