// The main window, the Port Settings dialog with settings1.ini, and opening and
// closing the reader link with its status line, all as a technician works them.
#include "support/harness.h"
#include "support/testdir.h"
#include "widgets/receivedgrid.h"
#include "widgets/twips.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace zanto;

namespace {

const QString SettingsFile = QStringLiteral("settings1.ini");

// The dialog a menu item opens, for a window the test holds itself (one that
// must outlive its folder's checks, or close itself for good).
QDialog *openByMenu(MainWindow *w, Qt::Key menuLetter, Qt::Key itemLetter, const QString &objectName)
{
    if (!ui::chooseMenu(w, menuLetter, itemLetter))
        return nullptr;
    for (int i = 0; i < 200; ++i) {
        if (QDialog *d = ui::dialog(w, objectName); d && d->isVisible())
            return d;
        QTest::qWait(10);
    }
    return nullptr;
}

// Escape in the dialog, as a technician leaves it; it closes like the close box.
void pressEscape(QDialog *dialog)
{
    ui::activate(dialog);
    QWidget *focus = dialog->focusWidget();
    QTest::keyClick(focus ? focus : dialog, Qt::Key_Escape);
}

// What the four Port Settings controls show: Combo5, IPAddress, Combo1, PortNumber.
QStringList shownSettings(const QDialog *ps)
{
    QStringList out;
    for (const char *name : {"Combo5", "IPAddress", "Combo1", "PortNumber"})
        out << ui::text(ui::find(ps, QLatin1String(name)));
    return out;
}

QString fileProblem(const QDialog *ps)
{
    return ui::text(ui::find(ps, QStringLiteral("FileStatus")));
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startUpState();
    void layoutFromTheTable_data();
    void layoutFromTheTable();
    void captionsWrapInTheirButtons_data();
    void captionsWrapInTheirButtons();
    void menusAndAbout();
    void portSettingsIsOneInstance();
    void serialStatus_data();
    void serialStatus();
    void tcpStatusThroughItsLife();
    void tcpRefused();
    void tcpPortNumberNotANumber();
    void switchingSelectionLeavesFirstLinkOpen();
    void connectWhileSocketNotClosed();
    void serialFarEndClosed();
    void settingsFile_data();
    void settingsFile();
    void settingsFileUnwritable();
    void connectBeforeDialogUsesFile();
    void closingMainWindowSavesSettings();
    void closingMainWindowEndsTheProgram();
};

void TestMainWindow::startUpState()
{
    Tool tool;
    QCOMPARE(tool.w.windowTitle(), QStringLiteral("ZANTO Setup and Test Program"));
    QCOMPARE(tool.w.objectName(), QStringLiteral("rkz"));
    QCOMPARE(tool.control("client")->size(), QSize(twips(14325), twips(7635)));
    // Twips to pixels by hand, rounded: 9600, 7030, 2295 and 420 twips.
    QCOMPARE(tool.control("Text6")->geometry(), QRect(640, 469, 153, 28));
    auto *grid = tool.control<ReceivedGrid>(QStringLiteral("MSFlexGrid1"));
    QVERIFY(grid);
    QCOMPARE(grid->rows(), 1);
    QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("HEX"));
    QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("ASCII"));
    QCOMPARE(grid->columnWidth(0), twips(7000));
    QCOMPARE(grid->columnWidth(1), twips(7000));
    QVERIFY(tool.control<QRadioButton>(QStringLiteral("OptStandard"))->isChecked());
    QCOMPARE(tool.status(), QString());
    QCOMPARE(tool.text(QStringLiteral("Receive_Count")), QString());
    QCOMPARE(tool.text(QStringLiteral("Text7")), QString());
    QCOMPARE(tool.text(QStringLiteral("Text6")), QString());
    QCOMPARE(tool.text(QStringLiteral("Text5")), QString());
    QCOMPARE(tool.text(QStringLiteral("Text1")), QStringLiteral("250"));
    QCOMPARE(tool.text(QStringLiteral("Command1")), QStringLiteral("Connect"));
    QCOMPARE(tool.text(QStringLiteral("CmboInterval")), QStringLiteral("R4"));
    QVERIFY(!tool.control<QAbstractButton>(QStringLiteral("ChkMini"))->isChecked());
    // Nothing opens a link, and no dialog exists, at start-up.
    QVERIFY(!tool.link()->serialOpen());
    QVERIFY(!tool.link()->tcpConnected());
    QVERIFY(!ui::dialog(&tool.w, QStringLiteral("PortSet")));
    QVERIFY(!QFile::exists(tool.dir.filePath(SettingsFile)));
}

void TestMainWindow::layoutFromTheTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twipsRect");
    QTest::addColumn<int>("points");
    const int normal = 0;
    QTest::newRow("Command1") << "Command1" << "Connect" << QRect(360, 80, 1095, 495) << normal;
    QTest::newRow("Connect_Error") << "Connect_Error" << "" << QRect(1560, 120, 3975, 375) << normal;
    QTest::newRow("MSFlexGrid1") << "MSFlexGrid1" << "" << QRect(360, 600, 13680, 6000) << normal;
    QTest::newRow("Receive_Count") << "Receive_Count" << "" << QRect(10560, 1080, 855, 675) << 24;
    QTest::newRow("Text7") << "Text7" << "" << QRect(11400, 1080, 855, 675) << 24;
    QTest::newRow("Command9") << "Command9" << "Clear" << QRect(12720, 960, 855, 555) << normal;
    QTest::newRow("Frame6") << "Frame6" << "Modes of Operation" << QRect(240, 6600, 2415, 855) << normal;
    QTest::newRow("OptStandard") << "OptStandard" << "Standard" << QRect(240, 240, 975, 255) << normal;
    QTest::newRow("OptEnhanced") << "OptEnhanced" << "Enhanced" << QRect(240, 480, 1215, 255) << normal;
    QTest::newRow("OptTrack") << "OptTrack" << "Track" << QRect(1320, 240, 855, 255) << normal;
    QTest::newRow("OptUniversal") << "OptUniversal" << "Universal" << QRect(1320, 480, 975, 255) << normal;
    QTest::newRow("Command3") << "Command3" << "Input 1   " << QRect(2640, 6600, 975, 855) << 12;
    QTest::newRow("Command4") << "Command4" << "Input 2   " << QRect(3600, 6600, 975, 855) << 12;
    QTest::newRow("Command6") << "Command6" << "Input 1 +" << QRect(4560, 6600, 975, 855) << 12;
    QTest::newRow("S") << "S" << "Boot String" << QRect(5520, 6600, 975, 855) << 12;
    QTest::newRow("Command8") << "Command8" << "LON" << QRect(6480, 6600, 975, 427) << 12;
    QTest::newRow("Command10") << "Command10" << "LOFF" << QRect(6480, 7020, 975, 428) << 12;
    QTest::newRow("Command7") << "Command7" << "Input 3" << QRect(7440, 6600, 1095, 427) << 12;
    QTest::newRow("ButH") << "ButH" << "" << QRect(7440, 7020, 1095, 428) << 12;
    QTest::newRow("Command17") << "Command17" << "Write" << QRect(8520, 6600, 1095, 855) << 12;
    QTest::newRow("Label1") << "Label1" << "Enter Data /xx for Hex" << QRect(9600, 6840, 2415, 495) << normal;
    QTest::newRow("Text6") << "Text6" << "" << QRect(9600, 7030, 2295, 420) << 12;
    QTest::newRow("CmboInterval") << "CmboInterval" << "R4" << QRect(11880, 7030, 735, 420) << 12;
    QTest::newRow("Text5") << "Text5" << "" << QRect(12600, 7030, 495, 420) << 12;
    QTest::newRow("ChkMini") << "ChkMini" << "Mini" << QRect(13200, 7200, 735, 180) << normal;
}

void TestMainWindow::layoutFromTheTable()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, twipsRect);
    QFETCH(int, points);
    Tool tool;
    auto *widget = tool.control(name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(widget->geometry(), zanto::twipsRect(twipsRect.x(), twipsRect.y(), twipsRect.width(), twipsRect.height()));
    QString text;
    if (auto *g = qobject_cast<QGroupBox *>(widget))
        text = g->title();
    else
        text = ui::text(widget);
    QCOMPARE(text, caption);
    if (points > 0)
        QCOMPARE(widget->font().pointSize(), points);
    else
        QCOMPARE(widget->font().pointSize(), tool.w.font().pointSize());
}

// A caption wider than its button goes on over lines, none of it cut at the
// sides: counted as bands of dark pixels inside the button's frame.
void TestMainWindow::captionsWrapInTheirButtons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("lines");
    QTest::newRow("Boot String, 12 pt") << "S" << 2;
    QTest::newRow("LON, 12 pt") << "Command8" << 1;
    QTest::newRow("Connect") << "Command1" << 1;
}

void TestMainWindow::captionsWrapInTheirButtons()
{
    QFETCH(QString, name);
    QFETCH(int, lines);
    Tool tool;
    QVERIFY(QTest::qWaitForWindowExposed(&tool.w));
    auto *button = tool.control<QPushButton>(name);
    QVERIFY(button);
    const QImage image = button->grab().toImage();
    const QRect inside = QRect(QPoint(0, 0), button->size()).adjusted(3, 3, -3, -3);
    const int threshold = (qGray(button->palette().color(QPalette::ButtonText).rgb())
                           + qGray(button->palette().color(QPalette::Button).rgb())) / 2;
    const auto dark = [&](int x, int y) { return qGray(image.pixel(x * image.width() / button->width(),
                                                                  y * image.height() / button->height())) < threshold; };
    int bands = 0;
    bool inBand = false;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        bool ink = false;
        for (int x = inside.left(); x <= inside.right() && !ink; ++x)
            ink = dark(x, y);
        bands += ink && !inBand;
        inBand = ink;
        // Not cut: the caption keeps off the sides.
        QVERIFY2(!dark(inside.left(), y) && !dark(inside.right(), y), qPrintable(QStringLiteral("row %1").arg(y)));
    }
    QCOMPARE(bands, lines);
}

void TestMainWindow::menusAndAbout()
{
    Tool tool;
    // Captions as shown; the '&' marks the letter that opens a menu with Alt.
    const auto shown = [](const QList<QAction *> &actions) {
        QStringList out;
        for (QAction *a : actions)
            out << QString(a->text()).remove(QLatin1Char('&'));
        return out;
    };
    const auto items = [&](const char *menu) {
        const auto *m = tool.control<QMenu>(QLatin1String(menu));
        return m ? shown(m->actions()) : QStringList{QStringLiteral("no menu ") + QLatin1String(menu)};
    };
    QCOMPARE(shown(tool.w.menuBar()->actions()), (QStringList{"Settings", "Reader Setup", "Help"}));
    QCOMPARE(items("mnuReaderConfig"), (QStringList{"Configure Reader", "Configure Setup tag", "Read Ethernet Settings", "Send Text..."}));
    QCOMPARE(items("mnuSettings"), (QStringList{"Port Settings", "Log to File..."}));
    QCOMPARE(items("mnuHelp"), QStringList{"About"});
    for (QAction *a : tool.w.menuBar()->actions())
        QVERIFY2(a->text().startsWith(QLatin1Char('&')), qPrintable(a->text()));

    // Alt+H, A: the About box, its lines kept apart by CR and shown one a line.
    QVERIFY(ui::chooseMenu(&tool.w, menu::Help, menu::About));
    QTRY_VERIFY(tool.control<QMessageBox>(QStringLiteral("aboutBox")));
    auto *box = tool.control<QMessageBox>(QStringLiteral("aboutBox"));
    QTRY_VERIFY(box->isVisible());
    const QString about = box->property("aboutText").toString();
    const QStringList lines = about.split(QLatin1Char('\r'));
    QCOMPARE(lines.size(), 3);
    QVERIFY(!lines[0].isEmpty());
    QCOMPARE(lines[1], QStringLiteral("Version 3.0, March 15, 2010"));
    QVERIFY(lines[2].startsWith(QStringLiteral("Phone Number")));
    QVERIFY(lines[2].size() > QStringLiteral("Phone Number").size());
    QVERIFY(!about.contains(QLatin1Char('\n')));
    QCOMPARE(box->text(), lines.join(QLatin1Char('\n')));
    QCOMPARE(box->standardButtons(), QMessageBox::Ok);
    QVERIFY(ui::click(box->button(QMessageBox::Ok)));
    QTRY_VERIFY(!tool.control<QMessageBox>(QStringLiteral("aboutBox")));
}

void TestMainWindow::portSettingsIsOneInstance()
{
    Tool tool;
    QDialog *first = tool.portSettings();
    QVERIFY(first && first->isVisible());
    QCOMPARE(first->objectName(), QStringLiteral("PortSet"));
    QCOMPARE(first->windowTitle(), QStringLiteral("Port Settings"));
    QVERIFY(!first->isModal());
    QVERIFY(ui::type(ui::find(first, QStringLiteral("IPAddress")), QStringLiteral("127.0.0.9")));
    QCOMPARE(tool.portSettings(), first);
    QCOMPARE(ui::text(ui::find(first, QStringLiteral("IPAddress"))), QStringLiteral("127.0.0.9"));
    // The list: four ports, TCP/IP, then 5 to 24, then the machine's devices.
    const auto *combo5 = ui::find<QComboBox>(first, QStringLiteral("Combo5"));
    QVERIFY(combo5);
    QStringList items;
    for (int i = 0; i < 25; ++i)
        items << combo5->itemText(i);
    QStringList expected{"1", "2", "3", "4", "TCP/IP"};
    for (int n = 5; n <= 24; ++n)
        expected << QString::number(n);
    QCOMPARE(items, expected);
    for (int i = 25; i < combo5->count(); ++i)
        QVERIFY(combo5->itemText(i).startsWith(QLatin1String("/")));
    const auto *combo1 = ui::find<QComboBox>(first, QStringLiteral("Combo1"));
    QVERIFY(combo1);
    QCOMPARE(combo1->count(), 6);
    QCOMPARE(combo1->itemText(0), QStringLiteral("115200"));
}

void TestMainWindow::serialStatus_data()
{
    QTest::addColumn<QString>("port"); // "pty" stands for the test's own pseudo-terminal
    QTest::addColumn<QString>("baud");
    QTest::addColumn<bool>("opens");
    QTest::newRow("good") << "pty" << "9600" << true;
    QTest::newRow("good at 115200") << "pty" << "115200" << true;
    QTest::newRow("no such port") << "32000" << "9600" << false;
    QTest::newRow("not a number") << "tcp/ip" << "9600" << false;
    QTest::newRow("port zero") << "0" << "9600" << false;
    QTest::newRow("bad baud") << "pty" << "fast" << false;
    QTest::newRow("empty baud") << "pty" << "" << false;
}

void TestMainWindow::serialStatus()
{
    QFETCH(QString, port);
    QFETCH(QString, baud);
    QFETCH(bool, opens);
    PtyPair pty;
    Tool tool;
    const QString portText = port == QLatin1String("pty") ? pty.linkPath() : port;
    QVERIFY(selectSerial(tool, portText, baud));
    QVERIFY(ui::click(tool.button(QStringLiteral("Command1"))));
    if (opens) {
        QCOMPARE(tool.status(), QStringLiteral("Connect to Comm ") + portText + QStringLiteral(" Good"));
        QCOMPARE(tool.text(QStringLiteral("Command1")), QStringLiteral("Disconnect"));
        QVERIFY(tool.link()->serialOpen());
        QVERIFY(ui::click(tool.button(QStringLiteral("Command1"))));
        QCOMPARE(tool.status(), QString());
        QCOMPARE(tool.text(QStringLiteral("Command1")), QStringLiteral("Connect"));
        QVERIFY(!tool.link()->serialOpen());
    } else {
        QCOMPARE(tool.status(), QStringLiteral("Comm ") + portText + QStringLiteral(" not available"));
        QCOMPARE(tool.text(QStringLiteral("Command1")), QStringLiteral("Connect"));
        QVERIFY(!tool.link()->serialOpen());
    }
}

void TestMainWindow::tcpStatusThroughItsLife()
{
    LoopbackReader reader;
    Tool tool;
    QVERIFY(selectTcp(tool, reader.portText()));
    QVERIFY(ui::click(tool.button(QStringLiteral("Command1"))));
    // The caption changes at once, before the connection is made.
    QCOMPARE(tool.text(QStringLiteral("Command1")), QStringLiteral("Disconnect"));
    QCOMPARE(tool.status(), QStringLiteral("Attempting to connect 127.0.0.1 Port ") + reader.portText());
    QTRY_COMPARE(tool.status(), QStringLiteral("Connected to 127.0.0.1 Port ") + reader.portText());
    QVERIFY(tool.link()->tcpConnected());
    QVERIFY(reader.waitForClient());

    // A command clicked twice as the reader closes, before the window hears
    // of the close: the second write meets the reader's reset, and that is
    // still the reader closing, not an error.
    QPushButton *command = tool.button(QStringLiteral("Command3"));
    QVERIFY(command && command->isEnabled());
    reader.disconnectClient();
    QTest::mouseClick(command, Qt::LeftButton, {}, command->rect().center());
    QTest::mouseClick(command, Qt::LeftButton, {}, command->rect().center());
    QTRY_COMPARE(tool.status(), QStringLiteral("Closed"));
    QCOMPARE(tool.text(QStringLiteral("Command1")), QStringLiteral("Disconnect"));
    QVERIFY(!tool.link()->tcpConnected());
    // The reader closing brings no data: no burst, however long one waits.
    QTest::qWait(2 * 250);
    QCOMPARE(tool.text(QStringLiteral("Receive_Count")), QString());
    // Nor is it an error said after it.
    QCOMPARE(tool.status(), QStringLiteral("Closed"));

    QVERIFY(ui::click(tool.button(QStringLiteral("Command1"))));
    QCOMPARE(tool.status(), QString());
    QCOMPARE(tool.text(QStringLiteral("Command1")), QStringLiteral("Connect"));
    // And the next Connect works again.
    QVERIFY(connectTcp(tool, reader));
}

void TestMainWindow::tcpRefused()
{
    quint16 closedPort;
    {
        LoopbackReader gone;
        closedPort = gone.port();
    }
    Tool tool;
    QVERIFY(selectTcp(tool, QString::number(closedPort)));
    QVERIFY(ui::click(tool.button(QStringLiteral("Command1"))));
    const QString attempting = QStringLiteral("Attempting to connect 127.0.0.1 Port ") + QString::number(closedPort);
    QTRY_VERIFY(tool.status() != attempting);
    QVERIFY(!tool.status().isEmpty());
    QVERIFY(tool.status() != QLatin1String("Closed"));
    QCOMPARE(tool.text(QStringLiteral("Command1")), QStringLiteral("Disconnect"));
    QVERIFY(!tool.link()->tcpConnected());
}

void TestMainWindow::tcpPortNumberNotANumber()
{
    Tool tool;
    QVERIFY(selectTcp(tool, QStringLiteral("10k")));
    QVERIFY(ui::click(tool.button(QStringLiteral("Command1"))));
    QVERIFY(tool.status().contains(QLatin1String("10k")));
    QCOMPARE(tool.text(QStringLiteral("Command1")), QStringLiteral("Connect"));
    QVERIFY(!tool.link()->tcpConnected());
}

void TestMainWindow::switchingSelectionLeavesFirstLinkOpen()
{
    PtyPair pty;
    Tool tool;
    QVERIFY(connectSerial(tool, pty));
    // Port Settings is still open from choosing the port: TCP/IP is typed over it.
    QDialog *ps = ui::dialog(&tool.w, QStringLiteral("PortSet"));
    QVERIFY(ps && ps->isVisible());
    QVERIFY(ui::typeAndLeave(ui::find(ps, QStringLiteral("Combo5")), QStringLiteral("TCP/IP")));
    QVERIFY(ui::click(tool.button(QStringLiteral("Command1"))));
    QVERIFY(tool.link()->serialOpen());
    QCOMPARE(tool.text(QStringLiteral("Command1")), QStringLiteral("Connect"));
    QCOMPARE(tool.status(), QString());
}

void TestMainWindow::connectWhileSocketNotClosed()
{
    LoopbackReader reader;
    PtyPair pty;
    Tool tool;
    QVERIFY(connectTcp(tool, reader));
    reader.disconnectClient();
    QTRY_COMPARE(tool.status(), QStringLiteral("Closed"));
    // The technician switches to the serial port and back before pressing
    // Disconnect: the closing socket is closed first, then the new attempt starts.
    QVERIFY(selectSerial(tool, pty.linkPath()));
    QVERIFY(ui::click(tool.button(QStringLiteral("Command1"))));
    QCOMPARE(tool.text(QStringLiteral("Command1")), QStringLiteral("Connect"));
    QVERIFY(selectTcp(tool, reader.portText()));
    QVERIFY(ui::click(tool.button(QStringLiteral("Command1"))));
    QVERIFY(tool.status().contains(QLatin1String("Attempting to connect 127.0.0.1 Port ")));
    QVERIFY(tool.status().contains(QLatin1String("closed")));
    QTRY_VERIFY(tool.link()->tcpConnected());
}

void TestMainWindow::serialFarEndClosed()
{
    PtyPair pty;
    Tool tool;
    QVERIFY(connectSerial(tool, pty));
    pty.closeMaster();
    QTRY_VERIFY(!tool.link()->serialOpen());
    QCOMPARE(tool.status(), QStringLiteral("Comm ") + pty.linkPath() + QStringLiteral(" lost"));
    QTest::qWait(100);
    QCOMPARE(tool.status(), QStringLiteral("Comm ") + pty.linkPath() + QStringLiteral(" lost"));
    // Disconnect on a lost port is harmless, and the port can be opened again.
    QVERIFY(ui::click(tool.button(QStringLiteral("Command1"))));
    QCOMPARE(tool.text(QStringLiteral("Command1")), QStringLiteral("Connect"));
    PtyPair again;
    QVERIFY(connectSerial(tool, again));
}

void TestMainWindow::settingsFile_data()
{
    QTest::addColumn<QByteArray>("before"); // "-" for no file
    QTest::addColumn<QStringList>("controls"); // Combo5, IPAddress, Combo1, PortNumber
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("first run") << QByteArray("-") << QStringList{"1", "192.168.0.2", "9600", "10000"}
                               << QByteArray("1\r\n192.168.0.2\r\n9600\r\n10000\r\n");
    QTest::newRow("empty baud line keeps start text")
        << QByteArray("TCP/IP\r\n192.168.0.2\r\n\r\n10000\r\n") << QStringList{"TCP/IP", "192.168.0.2", "9600", "10000"}
        << QByteArray("TCP/IP\r\n192.168.0.2\r\n9600\r\n10000\r\n");
    QTest::newRow("partial file") << QByteArray("3\r\n") << QStringList{"3", "192.168.0.2", "9600", "10000"}
                                  << QByteArray("3\r\n192.168.0.2\r\n9600\r\n10000\r\n");
    QTest::newRow("more than four lines") << QByteArray("2\r\n127.0.0.1\r\n19200\r\n4001\r\nextra\r\nmore\r\n")
                                          << QStringList{"2", "127.0.0.1", "19200", "4001"}
                                          << QByteArray("2\r\n127.0.0.1\r\n19200\r\n4001\r\n");
    QTest::newRow("LF endings") << QByteArray("TCP/IP\n127.0.0.1\n57600\n7000\n") << QStringList{"TCP/IP", "127.0.0.1", "57600", "7000"}
                                << QByteArray("TCP/IP\r\n127.0.0.1\r\n57600\r\n7000\r\n");
    QTest::newRow("8-bit text kept byte for byte") << QByteArray("/dev/ttyUSB\xE9\r\n") << QStringList{QString::fromLatin1("/dev/ttyUSB\xE9"), "192.168.0.2", "9600", "10000"}
                                                   << QByteArray("/dev/ttyUSB\xE9\r\n192.168.0.2\r\n9600\r\n10000\r\n");
    QTest::newRow("binary garbage") << QByteArray("\x00\x01\xFF\xFE\r\r\r", 7) << QStringList{QString::fromLatin1(QByteArray("\x00\x01\xFF\xFE\r\r\r", 7)), "192.168.0.2", "9600", "10000"}
                                    << QByteArray("\x00\x01\xFF\xFE\r\r\r\r\n192.168.0.2\r\n9600\r\n10000\r\n", 35);
}

void TestMainWindow::settingsFile()
{
    QFETCH(QByteArray, before);
    QFETCH(QStringList, controls);
    QFETCH(QByteArray, after);
    Tool tool;
    if (before != "-")
        QVERIFY(tool.dir.write(SettingsFile, before));
    QDialog *ps = tool.portSettings();
    QVERIFY(ps);
    // Opening creates the file if it was missing, and leaves it as it was.
    QVERIFY(QFile::exists(tool.dir.filePath(SettingsFile)));
    QCOMPARE(tool.dir.read(SettingsFile), before == "-" ? QByteArray() : before);
    QCOMPARE(shownSettings(ps), controls);
    QCOMPARE(fileProblem(ps), QString());
    pressEscape(ps);
    QTRY_VERIFY(!ui::dialog(&tool.w, QStringLiteral("PortSet")));
    QCOMPARE(tool.dir.read(SettingsFile), after);
}

void TestMainWindow::settingsFileUnwritable()
{
    Tool tool;
    // settings1.ini is a directory: it can be neither read nor written. The
    // controls keep their start texts, the dialog says so, nothing crashes.
    QVERIFY(QDir(tool.dir.path()).mkdir(SettingsFile));
    QDialog *ps = tool.portSettings();
    QVERIFY(ps);
    QCOMPARE(ui::text(ui::find(ps, QStringLiteral("Combo5"))), QStringLiteral("1"));
    QVERIFY(fileProblem(ps).contains(QLatin1String("settings1.ini")));
    QVERIFY(ui::find(ps, QStringLiteral("FileStatus"))->isVisible());
    // Unchanged, the start texts it fell back on are not saved over the file.
    pressEscape(ps);
    QTRY_VERIFY(!ui::dialog(&tool.w, QStringLiteral("PortSet")));
    ps = tool.portSettings();
    QVERIFY(ps);
    QVERIFY(ui::focus(ui::find(ps, QStringLiteral("IPAddress"))));
    QTest::keyClick(ui::find(ps, QStringLiteral("IPAddress")), Qt::Key_End);
    QTest::keyClicks(ui::find(ps, QStringLiteral("IPAddress")), QStringLiteral("9"));
    QCOMPARE(ui::text(ui::find(ps, QStringLiteral("IPAddress"))), QStringLiteral("192.168.0.29"));
    pressEscape(ps); // changed: the first close tries, shows the problem and stays
    QTest::qWait(50);
    QCOMPARE(ui::dialog(&tool.w, QStringLiteral("PortSet")), ps);
    QVERIFY(ps->isVisible());
    QVERIFY(fileProblem(ps).contains(QLatin1String("Close again")));
    pressEscape(ps);
    QTRY_VERIFY(!ui::dialog(&tool.w, QStringLiteral("PortSet")));
    QVERIFY(QFileInfo(tool.dir.filePath(SettingsFile)).isDir());
}

void TestMainWindow::connectBeforeDialogUsesFile()
{
    LoopbackReader reader;
    Tool tool;
    QVERIFY(tool.dir.write(SettingsFile, "TCP/IP\r\n127.0.0.1\r\n9600\r\n" + reader.portText().toLatin1() + "\r\n"));
    QVERIFY(ui::click(tool.button(QStringLiteral("Command1"))));
    // The link read the file; no dialog was opened for it.
    QDialog *ps = ui::dialog(&tool.w, QStringLiteral("PortSet"));
    QVERIFY(!ps || !ps->isVisible());
    QTRY_COMPARE(tool.status(), QStringLiteral("Connected to 127.0.0.1 Port ") + reader.portText());
}

void TestMainWindow::closingMainWindowSavesSettings()
{
    TestDir dir;
    {
        MainWindow w;
        QVERIFY(ui::activate(&w));
        QDialog *ps = openByMenu(&w, menu::Settings, menu::PortSettings, QStringLiteral("PortSet"));
        QVERIFY(ps);
        QVERIFY(ui::typeAndLeave(ui::find(ps, QStringLiteral("Combo1")), QStringLiteral("38400")));
        w.close(); // the close box, with the dialog still open
    }
    QCOMPARE(dir.read(SettingsFile), QByteArray("1\r\n192.168.0.2\r\n38400\r\n10000\r\n"));
}

void TestMainWindow::closingMainWindowEndsTheProgram()
{
    TestDir dir;
    PtyPair pty;
    // Port Settings names the test's own port and nothing else.
    QVERIFY(dir.write(SettingsFile, pty.linkPath().toLocal8Bit() + "\r\n"));
    auto *w = new MainWindow;
    w->setAttribute(Qt::WA_DeleteOnClose);
    QVERIFY(ui::activate(w));
    // Port Settings loaded, hidden: Connect with no dialog open reads the file.
    QVERIFY(ui::click(ui::find<QPushButton>(w, QStringLiteral("Command1"))));
    QCOMPARE(ui::text(ui::find(w, QStringLiteral("Command1"))), QStringLiteral("Disconnect"));
    QVERIFY(!ui::dialog(w, QStringLiteral("PortSet")));
    // Configure Setup tag loaded, shown.
    QVERIFY(openByMenu(w, menu::ReaderSetup, menu::SetupTag, QStringLiteral("readwritesetuptag")));
    // Configure Reader loaded, hidden: a configuration reply makes it.
    QVERIFY(ui::type(ui::find(w, QStringLiteral("Text1")), QStringLiteral("30")));
    QVERIFY(pty.write("0017$$$$SXXXXXC01R4B1\r"));
    QTRY_VERIFY(ui::dialog(w, QStringLiteral("ReaderConfig")));
    QVERIFY(!ui::dialog(w, QStringLiteral("ReaderConfig"))->isVisible());
    QTimer::singleShot(0, w, &QWidget::close);
    // A dialog left behind would keep the event loop running: give up after 5 s.
    QTimer giveUp;
    giveUp.setSingleShot(true);
    connect(&giveUp, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    giveUp.start(5000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(dir.read(SettingsFile), pty.linkPath().toLocal8Bit() + "\r\n192.168.0.2\r\n9600\r\n10000\r\n");
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
