#include "settings/portsettingsdialog.h"

#include "link/portsettings.h"
#include "widgets/editablelist.h"
#include "widgets/fieldvalidator.h"
#include "widgets/fulltexttips.h"
#include "widgets/messageline.h"
#include "widgets/twips.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSerialPortInfo>

namespace zanto {

PortSettingsDialog::PortSettingsDialog(PortSettings *settings, QWidget *parent)
    : KeepingDialog(parent)
    , m_settings(settings)
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
    Combo5->setEditText(settings->text(PortSettings::PortLine));
    placeTwips(Combo5, 480, 840, 1095, 315);

    Combo1 = new EditableList(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->addItems({QStringLiteral("115200"), QStringLiteral("57600"), QStringLiteral("38400"), QStringLiteral("19200"),
                      QStringLiteral("9600"), QStringLiteral("4800")});
    Combo1->setEditText(settings->text(PortSettings::BaudLine));
    placeTwips(Combo1, 480, 1560, 975, 315);

    IPAddress = new QLineEdit(settings->text(PortSettings::HostLine), this);
    IPAddress->setObjectName(QStringLiteral("IPAddress"));
    placeTwips(IPAddress, 1800, 840, 1215, 285);

    PortNumber = new QLineEdit(settings->text(PortSettings::TcpPortLine), this);
    PortNumber->setObjectName(QStringLiteral("PortNumber"));
    placeTwips(PortNumber, 1800, 1560, 975, 285);

    File1 = new QListWidget(this);
    File1->setObjectName(QStringLiteral("File1"));
    placeTwips(File1, 1440, 2160, 1695, 480);
    File1->hide();

    // Two lines for what became of settings1.ini; a longer message ends in an
    // ellipsis, whole in its tooltip.
    FileStatus = new MessageLine(this);
    FileStatus->setObjectName(QStringLiteral("FileStatus"));
    FileStatus->setStyleSheet(QStringLiteral("color: #a00000;"));
    placeTwips(FileStatus, 120, 2400, 3735, 450);
    showProblem(settings->loadProblem());

    // What is typed or picked here is in force at once, and ends up in
    // settings1.ini, one value a line.
    const std::pair<QLineEdit *, PortSettings::Line> edits[] = {{Combo5->lineEdit(), PortSettings::PortLine},
                                                                {Combo1->lineEdit(), PortSettings::BaudLine},
                                                                {IPAddress, PortSettings::HostLine},
                                                                {PortNumber, PortSettings::TcpPortLine}};
    for (const auto &[edit, line] : edits) {
        edit->setValidator(new FieldValidator(edit));
        connect(edit, &QLineEdit::textChanged, this, [this, line](const QString &text) { m_settings->setText(line, text); });
    }

    setTabOrder(Combo5, Combo1);
    setTabOrder(Combo1, IPAddress);
    setTabOrder(IPAddress, PortNumber);
    showCutTextsWhole(this);

}

void PortSettingsDialog::showProblem(const QString &text)
{
    FileStatus->showMessage(text);
    FileStatus->setVisible(!text.isEmpty());
}

Done PortSettingsDialog::saveOnClose()
{
    Done closed = m_settings->close();
    showProblem(closed ? QString() : closed.error());
    return closed;
}

void PortSettingsDialog::showCloseProblem(const QString &text)
{
    showProblem(text);
}

void PortSettingsDialog::closeEvent(QCloseEvent *event)
{
    KeepingDialog::closeEvent(event);
    // Gone, saved or not: the next use reads settings1.ini again.
    if (event->isAccepted())
        m_settings->discard();
}

} // namespace zanto
