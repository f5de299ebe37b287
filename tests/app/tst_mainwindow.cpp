// The main window, the Port Settings dialog with settings1.ini, and opening and
// closing the reader link with its status line.
#include "app/mainwindow.h"
#include "widgets/receivedgrid.h"
#include "widgets/twips.h"
#include "settings/portsettingsdialog.h"
#include "support/harness.h"
#include "support/testdir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace zanto;

class TestMainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startUpState();
    void layoutFromTheTable_data();
    void layoutFromTheTable();
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
    TestDir dir;
    MainWindow w;
    QCOMPARE(w.windowTitle(), QStringLiteral("ZANTO Setup and Test Program"));
    QCOMPARE(w.objectName(), QStringLiteral("rkz"));
    QCOMPARE(w.centralWidget()->size(), QSize(twips(14325), twips(7635)));
    QCOMPARE(w.MSFlexGrid1->rows(), 1);
    QCOMPARE(w.MSFlexGrid1->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("HEX"));
    QCOMPARE(w.MSFlexGrid1->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("ASCII"));
    QCOMPARE(w.MSFlexGrid1->columnWidth(0), twips(7000));
    QCOMPARE(w.MSFlexGrid1->columnWidth(1), twips(7000));
    QVERIFY(w.OptStandard->isChecked());
    QCOMPARE(w.Connect_Error->text(), QString());
    QCOMPARE(w.Receive_Count->text(), QString());
    QCOMPARE(w.Text7->text(), QString());
    QCOMPARE(w.Text6->text(), QString());
    QCOMPARE(w.Text5->text(), QString());
    QCOMPARE(w.Text1->text(), QStringLiteral("250"));
    QCOMPARE(w.Command1->text(), QStringLiteral("Connect"));
    QCOMPARE(w.CmboInterval->currentText(), QStringLiteral("R4"));
    QVERIFY(!w.ChkMini->isChecked());
    // Nothing opens a link, and no dialog exists, at start-up.
    QVERIFY(!w.link()->serialOpen());
    QVERIFY(!w.link()->tcpConnected());
    QVERIFY(!w.existingPortSettings());
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("settings1.ini"))));
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
    TestDir dir;
    MainWindow w;
    auto *widget = w.findChild<QWidget *>(name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(widget->geometry(), zanto::twipsRect(twipsRect.x(), twipsRect.y(), twipsRect.width(), twipsRect.height()));
    QString text;
    if (auto *b = qobject_cast<QAbstractButton *>(widget))
        text = b->text();
    else if (auto *e = qobject_cast<QLineEdit *>(widget))
        text = e->text();
    else if (auto *l = qobject_cast<QLabel *>(widget))
        text = l->text();
    else if (auto *g = qobject_cast<QGroupBox *>(widget))
        text = g->title();
    else if (auto *c = qobject_cast<QComboBox *>(widget))
        text = c->currentText();
    QCOMPARE(text, caption);
    if (points > 0)
        QCOMPARE(widget->font().pointSize(), points);
    else
        QCOMPARE(widget->font().pointSize(), w.font().pointSize());
}

void TestMainWindow::menusAndAbout()
{
    TestDir dir;
    MainWindow w;
    // Captions as shown; the '&' marks the letter that opens a menu with Alt.
    const auto shown = [](const QList<QAction *> &actions) {
        QStringList out;
        for (QAction *a : actions)
            out << QString(a->text()).remove(QLatin1Char('&'));
        return out;
    };
    QCOMPARE(shown(w.menuBar()->actions()), (QStringList{"Settings", "Reader Setup", "Help"}));
    QCOMPARE(shown(w.mnuReaderConfig->actions()), (QStringList{"Configure Reader", "Configure Setup tag", "Read Ethernet Settings"}));
    QCOMPARE(shown(w.mnuSettings->actions()), QStringList{"Port Settings"});
    QCOMPARE(shown(w.mnuHelp->actions()), QStringList{"About"});
    for (QAction *a : w.menuBar()->actions())
        QVERIFY2(a->text().startsWith(QLatin1Char('&')), qPrintable(a->text()));

    const QStringList lines = MainWindow::aboutText().split(QLatin1Char('\r'));
    QCOMPARE(lines.size(), 3);
    QVERIFY(!lines[0].isEmpty());
    QCOMPARE(lines[1], QStringLiteral("Version 3.0, March 15, 2010"));
    QVERIFY(lines[2].startsWith(QStringLiteral("Phone Number")));
    QVERIFY(lines[2].size() > QStringLiteral("Phone Number").size());
    QVERIFY(!MainWindow::aboutText().contains(QLatin1Char('\n')));

    w.mnuAbout->trigger();
    auto *box = w.findChild<QMessageBox *>(QStringLiteral("aboutBox"));
    QVERIFY(box);
    QVERIFY(box->isVisible());
    QCOMPARE(box->standardButtons(), QMessageBox::Ok);
    QCOMPARE(box->property("aboutText").toString(), MainWindow::aboutText());
    box->button(QMessageBox::Ok)->click();
    QTRY_VERIFY(!w.findChild<QMessageBox *>(QStringLiteral("aboutBox")));
}

void TestMainWindow::portSettingsIsOneInstance()
{
    TestDir dir;
    MainWindow w;
    w.mnuPortSettings->trigger();
    PortSettingsDialog *first = w.existingPortSettings();
    QVERIFY(first && first->isVisible());
    QCOMPARE(first->objectName(), QStringLiteral("PortSet"));
    QCOMPARE(first->windowTitle(), QStringLiteral("Port Settings"));
    QVERIFY(!first->isModal());
    first->IPAddress->setText(QStringLiteral("127.0.0.9"));
    w.mnuPortSettings->trigger();
    QCOMPARE(w.existingPortSettings(), first);
    QCOMPARE(first->IPAddress->text(), QStringLiteral("127.0.0.9"));
    // The list: four ports, TCP/IP, then 5 to 24, then the machine's devices.
    QStringList items;
    for (int i = 0; i < 25; ++i)
        items << first->Combo5->itemText(i);
    QStringList expected{"1", "2", "3", "4", "TCP/IP"};
    for (int n = 5; n <= 24; ++n)
        expected << QString::number(n);
    QCOMPARE(items, expected);
    for (int i = 25; i < first->Combo5->count(); ++i)
        QVERIFY(first->Combo5->itemText(i).startsWith(QLatin1String("/")));
    QCOMPARE(first->Combo1->count(), 6);
    QCOMPARE(first->Combo1->itemText(0), QStringLiteral("115200"));
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
    TestDir dir;
    PtyPair pty;
    MainWindow w;
    const QString portText = port == QLatin1String("pty") ? pty.linkPath() : port;
    selectSerial(w, portText, baud);
    w.Command1_Click();
    if (opens) {
        QCOMPARE(w.Connect_Error->text(), QStringLiteral("Connect to Comm ") + portText + QStringLiteral(" Good"));
        QCOMPARE(w.Command1->text(), QStringLiteral("Disconnect"));
        QVERIFY(w.link()->serialOpen());
        w.Command1_Click();
        QCOMPARE(w.Connect_Error->text(), QString());
        QCOMPARE(w.Command1->text(), QStringLiteral("Connect"));
        QVERIFY(!w.link()->serialOpen());
    } else {
        QCOMPARE(w.Connect_Error->text(), QStringLiteral("Comm ") + portText + QStringLiteral(" not available"));
        QCOMPARE(w.Command1->text(), QStringLiteral("Connect"));
        QVERIFY(!w.link()->serialOpen());
    }
}

void TestMainWindow::tcpStatusThroughItsLife()
{
    TestDir dir;
    LoopbackReader reader;
    MainWindow w;
    selectTcp(w, reader.portText());
    w.Command1_Click();
    // The caption changes at once, before the connection is made.
    QCOMPARE(w.Command1->text(), QStringLiteral("Disconnect"));
    QCOMPARE(w.Connect_Error->text(), QStringLiteral("Attempting to connect 127.0.0.1 Port ") + reader.portText());
    QTRY_COMPARE(w.Connect_Error->text(), QStringLiteral("Connected to 127.0.0.1 Port ") + reader.portText());
    QVERIFY(w.link()->tcpConnected());
    QVERIFY(reader.waitForClient());

    reader.disconnectClient();
    QTRY_COMPARE(w.Connect_Error->text(), QStringLiteral("Closed"));
    QCOMPARE(w.Command1->text(), QStringLiteral("Disconnect"));
    QVERIFY(!w.link()->tcpConnected());
    // The reader closing brings no data: no burst, however long one waits.
    QTest::qWait(2 * 250);
    QCOMPARE(w.Receive_Count->text(), QString());

    w.Command1_Click();
    QCOMPARE(w.Connect_Error->text(), QString());
    QCOMPARE(w.Command1->text(), QStringLiteral("Connect"));
    // And the next Connect works again.
    QVERIFY(connectTcp(w, reader));
}

void TestMainWindow::tcpRefused()
{
    TestDir dir;
    quint16 closedPort;
    {
        LoopbackReader gone;
        closedPort = gone.port();
    }
    MainWindow w;
    selectTcp(w, QString::number(closedPort));
    w.Command1_Click();
    const QString attempting = QStringLiteral("Attempting to connect 127.0.0.1 Port ") + QString::number(closedPort);
    QTRY_VERIFY(w.Connect_Error->text() != attempting);
    QVERIFY(!w.Connect_Error->text().isEmpty());
    QVERIFY(w.Connect_Error->text() != QLatin1String("Closed"));
    QCOMPARE(w.Command1->text(), QStringLiteral("Disconnect"));
    QVERIFY(!w.link()->tcpConnected());
}

void TestMainWindow::tcpPortNumberNotANumber()
{
    TestDir dir;
    MainWindow w;
    selectTcp(w, QStringLiteral("10k"));
    w.Command1_Click();
    QVERIFY(w.Connect_Error->text().contains(QLatin1String("10k")));
    QCOMPARE(w.Command1->text(), QStringLiteral("Connect"));
    QCOMPARE(w.link()->tcp.state(), int(TcpClient::Closed));
}

void TestMainWindow::switchingSelectionLeavesFirstLinkOpen()
{
    TestDir dir;
    PtyPair pty;
    MainWindow w;
    QVERIFY(connectSerial(w, pty));
    w.portSettings(false)->Combo5->setEditText(QStringLiteral("TCP/IP"));
    w.Command1_Click();
    QVERIFY(w.link()->serialOpen());
    QCOMPARE(w.Command1->text(), QStringLiteral("Connect"));
    QCOMPARE(w.Connect_Error->text(), QString());
}

void TestMainWindow::connectWhileSocketNotClosed()
{
    TestDir dir;
    LoopbackReader reader;
    PtyPair pty;
    MainWindow w;
    QVERIFY(connectTcp(w, reader));
    reader.disconnectClient();
    QTRY_COMPARE(w.Connect_Error->text(), QStringLiteral("Closed"));
    // The technician switches to the serial port and back before pressing
    // Disconnect: the closing socket is closed first, then the new attempt starts.
    selectSerial(w, pty.linkPath());
    w.Command1_Click();
    QCOMPARE(w.Command1->text(), QStringLiteral("Connect"));
    selectTcp(w, reader.portText());
    w.Command1_Click();
    QVERIFY(w.Connect_Error->text().contains(QLatin1String("Attempting to connect 127.0.0.1 Port ")));
    QVERIFY(w.Connect_Error->text().contains(QLatin1String("closed")));
    QTRY_VERIFY(w.link()->tcpConnected());
}

void TestMainWindow::serialFarEndClosed()
{
    TestDir dir;
    PtyPair pty;
    MainWindow w;
    QVERIFY(connectSerial(w, pty));
    pty.closeMaster();
    QTRY_VERIFY(!w.link()->serialOpen());
    QCOMPARE(w.Connect_Error->text(), QStringLiteral("Comm ") + pty.linkPath() + QStringLiteral(" lost"));
    QTest::qWait(100);
    QCOMPARE(w.Connect_Error->text(), QStringLiteral("Comm ") + pty.linkPath() + QStringLiteral(" lost"));
    // Disconnect on a lost port is harmless, and the port can be opened again.
    w.Command1_Click();
    QCOMPARE(w.Command1->text(), QStringLiteral("Connect"));
    PtyPair again;
    QVERIFY(connectSerial(w, again));
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
    TestDir dir;
    if (before != "-")
        QVERIFY(dir.write(QStringLiteral("settings1.ini"), before));
    MainWindow w;
    w.mnuPortSettings->trigger();
    PortSettingsDialog *ps = w.existingPortSettings();
    QVERIFY(ps);
    // Opening creates the file if it was missing, and leaves it as it was.
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("settings1.ini"))));
    QCOMPARE(dir.read(QStringLiteral("settings1.ini")), before == "-" ? QByteArray() : before);
    QCOMPARE((QStringList{ps->Combo5->currentText(), ps->IPAddress->text(), ps->Combo1->currentText(), ps->PortNumber->text()}), controls);
    QCOMPARE(ps->fileProblem(), QString());
    ps->close();
    QTRY_VERIFY(!w.existingPortSettings());
    QCOMPARE(dir.read(QStringLiteral("settings1.ini")), after);
}

void TestMainWindow::settingsFileUnwritable()
{
    TestDir dir;
    // settings1.ini is a directory: it can be neither read nor written. The
    // controls keep their start texts, the dialog says so, nothing crashes.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("settings1.ini")));
    MainWindow w;
    w.mnuPortSettings->trigger();
    PortSettingsDialog *ps = w.existingPortSettings();
    QCOMPARE(ps->Combo5->currentText(), QStringLiteral("1"));
    QVERIFY(ps->fileProblem().contains(QLatin1String("settings1.ini")));
    QVERIFY(ps->FileStatus->isVisible());
    // Unchanged, the start texts it fell back on are not saved over the file.
    ps->close();
    QTRY_VERIFY(!w.existingPortSettings());
    w.mnuPortSettings->trigger();
    ps = w.existingPortSettings();
    QTest::keyClicks(ps->IPAddress, QStringLiteral("9"));
    ps->close(); // changed: the first close tries, shows the problem and stays
    QVERIFY(w.existingPortSettings());
    QVERIFY(ps->fileProblem().contains(QLatin1String("Close again")));
    ps->close();
    QTRY_VERIFY(!w.existingPortSettings());
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("settings1.ini"))).isDir());
}

void TestMainWindow::connectBeforeDialogUsesFile()
{
    TestDir dir;
    LoopbackReader reader;
    QVERIFY(dir.write(QStringLiteral("settings1.ini"), "TCP/IP\r\n127.0.0.1\r\n9600\r\n" + reader.portText().toLatin1() + "\r\n"));
    MainWindow w;
    w.Command1_Click();
    QVERIFY(w.existingPortSettings());
    QVERIFY(!w.existingPortSettings()->isVisible());
    QTRY_COMPARE(w.Connect_Error->text(), QStringLiteral("Connected to 127.0.0.1 Port ") + reader.portText());
}

void TestMainWindow::closingMainWindowSavesSettings()
{
    TestDir dir;
    {
        MainWindow w;
        w.show();
        w.portSettings(false)->Combo1->setEditText(QStringLiteral("38400"));
        w.close();
    }
    QCOMPARE(dir.read(QStringLiteral("settings1.ini")), QByteArray("1\r\n192.168.0.2\r\n38400\r\n10000\r\n"));
}

void TestMainWindow::closingMainWindowEndsTheProgram()
{
    TestDir dir;
    auto *w = new MainWindow;
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    w->portSettings(false);     // loaded, hidden
    w->setupTag(true);          // loaded, shown
    w->readerConfig(false);     // loaded, hidden
    QTimer::singleShot(0, w, &QWidget::close);
    // A dialog left behind would keep the event loop running: give up after 5 s.
    QTimer giveUp;
    giveUp.setSingleShot(true);
    connect(&giveUp, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    giveUp.start(5000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(dir.read(QStringLiteral("settings1.ini")), QByteArray("1\r\n192.168.0.2\r\n9600\r\n10000\r\n"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
