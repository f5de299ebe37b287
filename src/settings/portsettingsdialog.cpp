#include "settings/portsettingsdialog.h"

#include "platform/latin1.h"
#include "platform/textfile.h"
#include "platform/twips.h"
#include "widgets/editablelist.h"
#include "widgets/fieldvalidator.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSerialPortInfo>

namespace zanto {

PortSettingsDialog::PortSettingsDialog(QWidget *parent)
    : KeepingDialog(parent)
    , m_directory(QDir::currentPath())
{
    setObjectName(QStringLiteral("PortSet"));
    setWindowTitle(QStringLiteral("Port Settings"));
    setFixedSize(twips(3975), twips(2940));

    auto label = [this](const char *name, const QString &text, int left, int top) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        placeTwips(l, left, top, 1215, 255);
        return l;
    };
    Label1 = label("Label1", QStringLiteral("Port"), 480, 480);
    Label2 = label("Label2", QStringLiteral("Baud Rate"), 480, 1320);
    Label3 = label("Label3", QStringLiteral("IP Address"), 1800, 480);
    Label4 = label("Label4", QStringLiteral("Port"), 1800, 1320);

    Combo5 = new EditableList(this);
    Combo5->setObjectName(QStringLiteral("Combo5"));
    QStringList ports{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("TCP/IP")};
    for (int n = 5; n <= 24; ++n)
        ports.append(QString::number(n));
    Combo5->addItems(ports);
    // The serial devices this machine has, by path, so USB adapters can be picked.
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        Combo5->addItem(info.systemLocation());
        const QString description = info.description().isEmpty() ? info.portName() : info.description();
        Combo5->setItemData(Combo5->count() - 1, description, Qt::ToolTipRole);
    }
    Combo5->setEditText(QStringLiteral("1"));
    placeTwips(Combo5, 480, 840, 1095, 315);

    Combo1 = new EditableList(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->addItems({QStringLiteral("115200"), QStringLiteral("57600"), QStringLiteral("38400"), QStringLiteral("19200"),
                      QStringLiteral("9600"), QStringLiteral("4800")});
    Combo1->setEditText(QStringLiteral("9600"));
    placeTwips(Combo1, 480, 1560, 975, 315);

    IPAddress = new QLineEdit(QStringLiteral("192.168.0.2"), this);
    IPAddress->setObjectName(QStringLiteral("IPAddress"));
    placeTwips(IPAddress, 1800, 840, 1215, 285);

    PortNumber = new QLineEdit(QStringLiteral("10000"), this);
    PortNumber->setObjectName(QStringLiteral("PortNumber"));
    placeTwips(PortNumber, 1800, 1560, 975, 285);

    File1 = new QListWidget(this);
    File1->setObjectName(QStringLiteral("File1"));
    placeTwips(File1, 1440, 2160, 1695, 480);
    File1->hide();

    FileStatus = new QLabel(this);
    FileStatus->setObjectName(QStringLiteral("FileStatus"));
    FileStatus->setWordWrap(false);
    placeTwips(FileStatus, 120, 2400, 3735, 450);
    FileStatus->setStyleSheet(QStringLiteral("color: #a00000;"));
    FileStatus->hide();

    // What is typed here ends up in settings1.ini, one value a line.
    for (QLineEdit *edit : {Combo5->lineEdit(), Combo1->lineEdit(), IPAddress, PortNumber}) {
        edit->setValidator(new FieldValidator(edit));
        connect(edit, &QLineEdit::textEdited, this, [this] { m_changedByUser = true; });
    }
    for (QComboBox *list : {static_cast<QComboBox *>(Combo5), static_cast<QComboBox *>(Combo1)})
        connect(list, &QComboBox::activated, this, [this] { m_changedByUser = true; });

    setTabOrder(Combo5, Combo1);
    setTabOrder(Combo1, IPAddress);
    setTabOrder(IPAddress, PortNumber);

    Form_Load();
}

QString PortSettingsDialog::settingsPath() const
{
    return QDir(m_directory).filePath(QStringLiteral("settings1.ini"));
}

QString PortSettingsDialog::fileProblem() const
{
    return FileStatus->isVisible() || !FileStatus->text().isEmpty() ? FileStatus->text() : QString();
}

void PortSettingsDialog::reportProblem(const QString &problem)
{
    FileStatus->setText(problem);
    FileStatus->setToolTip(problem);
    FileStatus->setVisible(!problem.isEmpty());
}

void PortSettingsDialog::Form_Load()
{
    const QString path = settingsPath();
    QString problem = createIfMissing(path);
    if (problem.isEmpty()) {
        FileLines file = readLineFile(path, {4, 64 * 1024, 1024 * 1024, true});
        problem = file.problem;
        const QList<QByteArray> &lines = file.lines;
        m_savedPort = fromBytes(lines.value(0));
        m_savedIPAddress = fromBytes(lines.value(1));
        m_savedBaud = fromBytes(lines.value(2));
        m_savedTcpPort = fromBytes(lines.value(3));
    }
    if (!m_savedPort.isEmpty())
        Combo5->setEditText(m_savedPort);
    if (!m_savedIPAddress.isEmpty())
        IPAddress->setText(m_savedIPAddress);
    if (!m_savedTcpPort.isEmpty())
        PortNumber->setText(m_savedTcpPort);
    if (!m_savedBaud.isEmpty())
        Combo1->setEditText(m_savedBaud);
    m_loadProblem = problem;
    reportProblem(problem);
}

QString PortSettingsDialog::Form_Unload()
{
    // A file that could not be read is not overwritten with the start texts
    // the dialog fell back on; only values the user set replace it.
    if (!m_loadProblem.isEmpty() && !m_changedByUser)
        return {};
    m_savedPort = Combo5->currentText();
    m_savedIPAddress = IPAddress->text();
    m_savedTcpPort = PortNumber->text();
    m_savedBaud = Combo1->currentText();
    const QList<QString> values{m_savedPort, m_savedIPAddress, m_savedBaud, m_savedTcpPort};
    QList<QByteArray> lines;
    for (const QString &value : values) {
        const auto bytes = toBytes(value);
        if (!bytes) {
            const QString problem = tr("settings1.ini not written: \"%1\" holds a character outside 8 bits").arg(value);
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
