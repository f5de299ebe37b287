#include "ethernet/ethernetsettingsdialog.h"

#include "app/answerline.h"
#include "link/answerwatch.h"
#include "link/readerchannel.h"
#include "protocol/commands.h"
#include "protocol/latin1.h"
#include "widgets/enterpresses.h"
#include "widgets/messageline.h"
#include "widgets/twips.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace zanto {

EthernetSettingsDialog::EthernetSettingsDialog(ReaderChannel *channel, QWidget *parent)
    : SettingsFileDialog(QStringLiteral("settings2.ini"), 3, parent)
    , m_channel(channel)
    , m_answer(new AnswerWatch(channel, ReaderChannel::AnswerWaitMs, this))
{
    setObjectName(QStringLiteral("EthernetSettings"));
    setWindowTitle(QStringLiteral("Ethernet Settings"));
    setFixedSize(twips(4515), twips(3825));

    // The three address texts are kept, never shown.
    auto hidden = [this](const char *labelName, const QString &caption, const char *boxName, const QString &text, int top) {
        auto *label = new QLabel(caption, this);
        label->setObjectName(QLatin1String(labelName));
        placeTwips(label, 720, top, 1000, 285);
        label->hide();
        auto *box = new QLineEdit(text, this);
        box->setObjectName(QLatin1String(boxName));
        placeTwips(box, 1800, top, 1935, 285);
        box->hide();
        return std::pair{label, box};
    };
    std::tie(Label1, IPAddress) = hidden("Label1", QStringLiteral("IP Address"), "IPAddress", QStringLiteral("172.18.30.78"), 240);
    std::tie(Label2, SubnetMask) = hidden("Label2", QStringLiteral("Subnet Mask"), "SubnetMask", QStringLiteral("255.255.0.0"), 720);
    std::tie(Label3, Gateway) = hidden("Label3", QStringLiteral("Gateway"), "Gateway", QStringLiteral("172.18.0.54"), 1200);

    Command1 = new QPushButton(QStringLiteral("Read Ethernet Parameters"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    placeTwips(Command1, 600, 600, 2655, 495);

    Reboot = new QPushButton(QStringLiteral("Reboot"), this);
    Reboot->setObjectName(QStringLiteral("Reboot"));
    placeTwips(Reboot, 600, 1320, 2655, 495);

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setPlainText(helpText());
    Text1->setReadOnly(true);
    QPalette help = Text1->palette();
    help.setColor(QPalette::Base, palette().color(QPalette::Window));
    Text1->setPalette(help);
    placeTwips(Text1, 360, 2280, 3735, 975);

    // Below the help text: a file problem, and what the reader answered.
    placeTwips(FileStatus, 120, 3270, 4275, 270);
    Answer = new MessageLine(this);
    Answer->setObjectName(QStringLiteral("Answer"));
    placeTwips(Answer, 120, 3540, 4275, 270);
    showAnswers(m_answer, Answer);

    connect(Command1, &QPushButton::clicked, this, &EthernetSettingsDialog::Command1_Click);
    connect(Reboot, &QPushButton::clicked, this, &EthernetSettingsDialog::Reboot_Click);
    pressButtonsOnEnter(this);
}

void EthernetSettingsDialog::Form_Load()
{
    LoadEthernetSettings();
}

QString EthernetSettingsDialog::helpText()
{
    return QStringLiteral("The IP address, subnet mask and gateway can be configured from the web page.  "
                          "Default IP address is 192.168.0.2 with subnet mask 155.155.155.0\r\n");
}

void EthernetSettingsDialog::Command1_Click()
{
    commandSent(m_answer, Answer,
                m_channel->send(commandText(ReaderCommand::ReadEthernet), commandRule(ReaderCommand::ReadEthernet)));
}

void EthernetSettingsDialog::Reboot_Click()
{
    commandSent(m_answer, Answer, m_channel->send(commandText(ReaderCommand::Reboot), commandRule(ReaderCommand::Reboot)));
}

void EthernetSettingsDialog::LoadEthernetSettings()
{
    const QList<QByteArray> lines = loadLines();
    QLineEdit *const fields[] = {IPAddress, SubnetMask, Gateway};
    for (qsizetype k = 0; k < lines.size(); ++k)
        fields[k]->setText(fromBytes(lines[k]));
}

Done EthernetSettingsDialog::SaveEthernetSettings()
{
    // Nothing here is edited on screen, so a file that could not be read is
    // never overwritten with the start texts.
    return saveValues({IPAddress->text(), SubnetMask->text(), Gateway->text()});
}

} // namespace zanto
