#include "settings/portsettingsdialog.h"

#include "link/linkparameters.h"
#include "protocol/latin1.h"
#include "widgets/editablelist.h"
#include "widgets/fieldvalidator.h"
#include "widgets/twips.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSerialPortInfo>

namespace zanto {

PortSettingsDialog::PortSettingsDialog(QWidget *parent)
    : SettingsFileDialog(QStringLiteral("settings1.ini"), PortSettingsLineCount, parent)
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
    Combo5->setEditText(QLatin1String(PortSettingsStartTexts[PortLine]));
    placeTwips(Combo5, 480, 840, 1095, 315);

    Combo1 = new EditableList(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->addItems({QStringLiteral("115200"), QStringLiteral("57600"), QStringLiteral("38400"), QStringLiteral("19200"),
                      QStringLiteral("9600"), QStringLiteral("4800")});
    Combo1->setEditText(QLatin1String(PortSettingsStartTexts[BaudLine]));
    placeTwips(Combo1, 480, 1560, 975, 315);

    IPAddress = new QLineEdit(QLatin1String(PortSettingsStartTexts[HostLine]), this);
    IPAddress->setObjectName(QStringLiteral("IPAddress"));
    placeTwips(IPAddress, 1800, 840, 1215, 285);

    PortNumber = new QLineEdit(QLatin1String(PortSettingsStartTexts[TcpPortLine]), this);
    PortNumber->setObjectName(QStringLiteral("PortNumber"));
    placeTwips(PortNumber, 1800, 1560, 975, 285);

    File1 = new QListWidget(this);
    File1->setObjectName(QStringLiteral("File1"));
    placeTwips(File1, 1440, 2160, 1695, 480);
    File1->hide();

    placeTwips(FileStatus, 120, 2400, 3735, 450);

    // What is typed here ends up in settings1.ini, one value a line.
    for (QLineEdit *edit : {Combo5->lineEdit(), Combo1->lineEdit(), IPAddress, PortNumber}) {
        edit->setValidator(new FieldValidator(edit));
        connect(edit, &QLineEdit::textEdited, this, &PortSettingsDialog::markChangedByUser);
    }
    for (QComboBox *list : {static_cast<QComboBox *>(Combo5), static_cast<QComboBox *>(Combo1)})
        connect(list, &QComboBox::activated, this, &PortSettingsDialog::markChangedByUser);

    setTabOrder(Combo5, Combo1);
    setTabOrder(Combo1, IPAddress);
    setTabOrder(IPAddress, PortNumber);

    Form_Load();
}

void PortSettingsDialog::Form_Load()
{
    const QList<QByteArray> lines = loadLines();
    m_savedPort = fromBytes(lines.value(PortLine));
    m_savedIPAddress = fromBytes(lines.value(HostLine));
    m_savedBaud = fromBytes(lines.value(BaudLine));
    m_savedTcpPort = fromBytes(lines.value(TcpPortLine));
    // In this order; an empty or missing value leaves the start text.
    if (!m_savedPort.isEmpty())
        Combo5->setEditText(m_savedPort);
    if (!m_savedIPAddress.isEmpty())
        IPAddress->setText(m_savedIPAddress);
    if (!m_savedTcpPort.isEmpty())
        PortNumber->setText(m_savedTcpPort);
    if (!m_savedBaud.isEmpty())
        Combo1->setEditText(m_savedBaud);
}

QString PortSettingsDialog::Form_Unload()
{
    m_savedPort = Combo5->currentText();
    m_savedIPAddress = IPAddress->text();
    m_savedTcpPort = PortNumber->text();
    m_savedBaud = Combo1->currentText();
    QStringList values(PortSettingsLineCount);
    values[PortLine] = m_savedPort;
    values[HostLine] = m_savedIPAddress;
    values[BaudLine] = m_savedBaud;
    values[TcpPortLine] = m_savedTcpPort;
    return saveValues(values);
}

} // namespace zanto
