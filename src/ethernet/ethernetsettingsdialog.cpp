#include "ethernet/ethernetsettingsdialog.h"

#include "platform/latin1.h"
#include "platform/textfile.h"
#include "platform/twips.h"
#include "widgets/enterpresses.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace zanto {

EthernetSettingsDialog::EthernetSettingsDialog(SendFunction send, QWidget *parent)
    : KeepingDialog(parent)
    , m_send(std::move(send))
    , m_directory(QDir::currentPath())
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

    FileStatus = new QLabel(this);
    FileStatus->setObjectName(QStringLiteral("FileStatus"));
    FileStatus->setStyleSheet(QStringLiteral("color: #a00000;"));
    placeTwips(FileStatus, 120, 3360, 4275, 375);
    FileStatus->hide();

    connect(Command1, &QPushButton::clicked, this, &EthernetSettingsDialog::Command1_Click);
    connect(Reboot, &QPushButton::clicked, this, &EthernetSettingsDialog::Reboot_Click);
    pressButtonsOnEnter(this);

    LoadEthernetSettings();
}

QString EthernetSettingsDialog::helpText()
{
    return QStringLiteral("The IP address, subnet mask and gateway can be configured from the web page.  "
                          "Default IP address is 192.168.0.2 with subnet mask 155.155.155.0\r\n");
}

QString EthernetSettingsDialog::settingsPath() const
{
    return QDir(m_directory).filePath(QStringLiteral("settings2.ini"));
}

QString EthernetSettingsDialog::fileProblem() const
{
    return FileStatus->text();
}

void EthernetSettingsDialog::reportProblem(const QString &problem)
{
    FileStatus->setText(problem);
    FileStatus->setToolTip(problem);
    FileStatus->setVisible(!problem.isEmpty());
}

void EthernetSettingsDialog::Command1_Click()
{
    m_send(QByteArrayLiteral("IP"), LinkRule::BothLinks);
}

void EthernetSettingsDialog::Reboot_Click()
{
    m_send(QByteArrayLiteral("RESET"), LinkRule::BothLinks);
}

void EthernetSettingsDialog::LoadEthernetSettings()
{
    const QString path = settingsPath();
    QString problem = createIfMissing(path);
    if (problem.isEmpty()) {
        const FileLines file = readLineFile(path, {3, 64 * 1024, 1024 * 1024, true});
        problem = file.problem;
        QLineEdit *const fields[] = {IPAddress, SubnetMask, Gateway};
        for (int k = 0; k < file.lines.size() && k < 3; ++k)
            fields[k]->setText(fromBytes(file.lines[k]));
    }
    m_loadProblem = problem;
    reportProblem(problem);
}

QString EthernetSettingsDialog::SaveEthernetSettings()
{
    // Nothing here can be edited: a file that could not be read would only be
    // overwritten with the start texts.
    if (!m_loadProblem.isEmpty())
        return {};
    QList<QByteArray> lines;
    for (const QLineEdit *field : {IPAddress, SubnetMask, Gateway}) {
        const auto bytes = toBytes(field->text());
        if (!bytes) {
            const QString problem = tr("settings2.ini not written: %1 holds a character outside 8 bits").arg(field->objectName());
            reportProblem(problem);
            return problem;
        }
        lines.append(*bytes);
    }
    const QString problem = writeLineFile(settingsPath(), lines);
    reportProblem(problem);
    return problem;
}

} // namespace zanto
