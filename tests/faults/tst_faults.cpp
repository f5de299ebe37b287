// What a reader, a cable or a disk can do to the tool: links that die in the
// middle of things, readers that never answer, files that cannot be written.
// After each, the tool keeps working and the next Connect works.
#include "app/mainwindow.h"
#include "ethernet/ethernetsettingsdialog.h"
#include "widgets/receivedgrid.h"
#include "settings/portsettingsdialog.h"
#include "support/harness.h"
#include "support/restricteddir.h"
#include "support/testdir.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

#include <sys/stat.h>

using namespace zanto;

class TestFaults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void ptyClosedMidBurstKeepsTheBytes();
    void tcpResetMidConfigReply();
    void refusedThenReconnect();
    void readerThatNeverAnswers();
    void bothLinksOneDies_data();
    void bothLinksOneDies();
    void settingsInReadOnlyDirectory();
    void settingsOnFullDisk_data();
    void settingsOnFullDisk();
    void closingWithAFailedSave();
    void unreadSettingsSaidAtConnect();
};

void TestFaults::ptyClosedMidBurstKeepsTheBytes()
{
    TestDir dir;
    MainWindow w;
    w.Text1->setText(QStringLiteral("100"));
    {
        PtyPair pty;
        QVERIFY(connectSerial(w, pty));
        QVERIFY(pty.write("HALF A REP"));
        QTest::qWait(20); // the bytes are in, the burst is still gathering
        pty.closeMaster();
        QTRY_VERIFY(!w.link()->serialOpen());
    }
    QTRY_COMPARE(w.Receive_Count->text(), QStringLiteral("1"));
    QCOMPARE(w.MSFlexGrid1->receivedModel()->store().row(0).bytes(), QByteArray("HALF A REP"));
    // Disconnect, then a new cable: it works again.
    w.Command1_Click();
    PtyPair again;
    QVERIFY(connectSerial(w, again));
    w.Command3_Click();
    QCOMPARE(again.readAtLeast(2), QByteArray("G\r"));
}

void TestFaults::tcpResetMidConfigReply()
{
    TestDir dir;
    LoopbackReader reader;
    MainWindow w;
    w.Text1->setText(QStringLiteral("50"));
    QVERIFY(connectTcp(w, reader));
    reader.send("0017$$$$SXXX"); // half a Standard reply, then the reader resets
    QTest::qWait(10);
    reader.resetClient();
    QTRY_COMPARE(w.Receive_Count->text(), QStringLiteral("1"));
    QCOMPARE(w.MSFlexGrid1->receivedModel()->store().row(0).bytes(), QByteArray("0017$$$$SXXX"));
    QVERIFY(!w.existingReaderConfig()); // half a reply is no reply
    QTRY_VERIFY(!w.Connect_Error->text().startsWith(QLatin1String("Connected")));
    QVERIFY(!w.link()->tcpConnected());
    w.Command1_Click();
    QVERIFY(connectTcp(w, reader));
    w.Command4_Click();
    QVERIFY(reader.waitForBytes(2));
    QCOMPARE(reader.received().right(2), QByteArray("N\r"));
}

void TestFaults::refusedThenReconnect()
{
    TestDir dir;
    LoopbackReader reader;
    const QString port = reader.portText();
    reader.stopListening();
    MainWindow w;
    selectTcp(w, port);
    w.Command1_Click();
    QTRY_VERIFY(!w.Connect_Error->text().startsWith(QLatin1String("Attempting")));
    QVERIFY(!w.link()->tcpConnected());
    w.Command3_Click(); // nowhere to go: dropped without a word
    w.Command1_Click();
    QCOMPARE(w.Command1->text(), QStringLiteral("Connect"));
    LoopbackReader back;
    QVERIFY(connectTcp(w, back));
}

void TestFaults::readerThatNeverAnswers()
{
    TestDir dir;
    LoopbackReader reader;
    MainWindow w;
    w.Text1->setText(QStringLiteral("30"));
    QVERIFY(connectTcp(w, reader));
    for (int i = 0; i < 20; ++i)
        w.S_Click();
    QVERIFY(reader.waitForBytes(40));
    QTest::qWait(150);
    // No time-out, no message, no row: the window is as it was and still works.
    QCOMPARE(w.Connect_Error->text(), QStringLiteral("Connected to 127.0.0.1 Port ") + reader.portText());
    QCOMPARE(w.MSFlexGrid1->rows(), 1);
    QCOMPARE(w.Receive_Count->text(), QString());
    reader.send("late\r\n");
    QTRY_COMPARE(w.Receive_Count->text(), QStringLiteral("1"));
}

void TestFaults::bothLinksOneDies_data()
{
    QTest::addColumn<bool>("serialDies");
    QTest::newRow("serial dies") << true;
    QTest::newRow("tcp dies") << false;
}

void TestFaults::bothLinksOneDies()
{
    QFETCH(bool, serialDies);
    TestDir dir;
    PtyPair pty;
    LoopbackReader reader;
    MainWindow w;
    QVERIFY(connectBoth(w, pty, reader));
    if (serialDies) {
        pty.closeMaster();
        QTRY_VERIFY(!w.link()->serialOpen());
    } else {
        reader.resetClient();
        QTRY_VERIFY(!w.link()->tcpConnected());
    }
    // The link that is left carries every rule's commands.
    w.Command10_Click(); // both-links rule
    w.Command3_Click();  // TCP-first rule
    if (serialDies) {
        QVERIFY(reader.waitForBytes(7));
        QCOMPARE(reader.received(), QByteArray("LOFF\rG\r"));
    } else {
        QCOMPARE(pty.readAtLeast(7), QByteArray("LOFF\rG\r"));
    }
    // And the dead one comes back on the next Connect.
    if (serialDies) {
        PtyPair again;
        selectSerial(w, again.linkPath());
        w.Command1_Click(); // Disconnect: closes the (lost) serial port
        QVERIFY(connectSerial(w, again));
        w.Command10_Click();
        QCOMPARE(again.readAtLeast(5), QByteArray("LOFF\r"));
    } else {
        w.Command1_Click(); // Disconnect the broken TCP side
        QVERIFY(connectTcp(w, reader));
        reader.clearReceived();
        w.Command10_Click();
        QVERIFY(reader.waitForBytes(5));
        QCOMPARE(reader.received(), QByteArray("LOFF\r"));
    }
}

void TestFaults::settingsInReadOnlyDirectory()
{
    const QByteArray kept = "TCP/IP\r\n127.0.0.1\r\n19200\r\n4001\r\n";
    RestrictedDir dir(RestrictedDir::ReadOnly, {{QStringLiteral("settings1.ini"), kept}});
    if (!dir.isValid())
        QSKIP(qPrintable(dir.why()));
    MainWindow w;
    w.mnuPortSettings->trigger();
    PortSettingsDialog *ps = w.existingPortSettings();
    QCOMPARE(ps->Combo5->currentText(), QStringLiteral("TCP/IP"));
    QCOMPARE(ps->Combo1->currentText(), QStringLiteral("19200"));
    ps->Combo1->setEditText(QStringLiteral("9600"));
    ps->close();
    QVERIFY(ps->fileProblem().contains(QLatin1String("settings1.ini")));
    ps->close();
    QTRY_VERIFY(!w.existingPortSettings());
    QCOMPARE(dir.read(QStringLiteral("settings1.ini")), kept);

    // Without any file in a read-only directory: the start texts, and a word.
    RestrictedDir empty(RestrictedDir::ReadOnly);
    MainWindow w2;
    w2.mnuPortSettings->trigger();
    QCOMPARE(w2.existingPortSettings()->Combo5->currentText(), QStringLiteral("1"));
    QVERIFY(w2.existingPortSettings()->fileProblem().contains(QLatin1String("settings1.ini")));
}

void TestFaults::settingsOnFullDisk_data()
{
    QTest::addColumn<bool>("ethernet"); // settings2.ini through Ethernet Settings, else settings1.ini
    QTest::addColumn<int>("size");      // of the new value
    QTest::newRow("settings1.ini, more than the disk holds") << false << 20000;
    QTest::newRow("settings1.ini, a few bytes") << false << 4;
    QTest::newRow("settings2.ini, more than the disk holds") << true << 20000;
    QTest::newRow("settings2.ini, a few bytes") << true << 4;
}

// A few bytes fit any write buffer: the disk says no only when they are
// flushed, which must still keep the old file.
void TestFaults::settingsOnFullDisk()
{
    QFETCH(bool, ethernet);
    QFETCH(int, size);
    const QString name = ethernet ? QStringLiteral("settings2.ini") : QStringLiteral("settings1.ini");
    const QByteArray kept = ethernet ? "10.1.1.1\r\n255.0.0.0\r\n10.1.1.254\r\n" : "2\r\n127.0.0.1\r\n19200\r\n4001\r\n";
    RestrictedDir dir(RestrictedDir::Full, {{name, kept}});
    if (!dir.isValid())
        QSKIP(qPrintable(dir.why()));
    MainWindow w;
    QString problem;
    if (ethernet) {
        EthernetSettingsDialog *e = w.ethernetSettings(true);
        QCOMPARE(e->IPAddress->text(), QStringLiteral("10.1.1.1"));
        e->Gateway->setText(QString(size, QLatin1Char('1')));
        e->close();
        problem = e->fileProblem();
        e->close();
        QTRY_VERIFY(!w.existingEthernetSettings());
    } else {
        PortSettingsDialog *ps = w.portSettings(true);
        ps->PortNumber->setText(QString(size, QLatin1Char('9')));
        ps->close();
        problem = ps->fileProblem();
        ps->close();
        QTRY_VERIFY(!w.existingPortSettings());
    }
    QVERIFY2(problem.contains(name + QLatin1String(" not written: No space left on device; the old file is unchanged")),
             qPrintable(problem));
    // The old file is whole: never emptied, never half written.
    QCOMPARE(dir.read(name), kept);
}

// The main window closing with a save that fails stays open once and says so.
void TestFaults::closingWithAFailedSave()
{
    const QByteArray kept = "TCP/IP\r\n127.0.0.1\r\n19200\r\n4001\r\n";
    RestrictedDir dir(RestrictedDir::Full, {{QStringLiteral("settings1.ini"), kept}});
    if (!dir.isValid())
        QSKIP(qPrintable(dir.why()));
    MainWindow w;
    w.show();
    QLineEdit *port = w.portSettings(false)->PortNumber;
    port->selectAll();
    QTest::keyClicks(port, QStringLiteral("4002"));
    QCOMPARE(port->text(), QStringLiteral("4002"));
    QVERIFY(!w.close());
    QVERIFY(w.isVisible() && w.existingPortSettings());
    QVERIFY2(w.Connect_Error->text().startsWith("settings1.ini not written: No space left on device; the old file is unchanged.")
                 && w.Connect_Error->text().endsWith("Close again to discard."),
             qPrintable(w.Connect_Error->text()));
    QVERIFY(w.close());
    QCOMPARE(dir.read(QStringLiteral("settings1.ini")), kept);
}

// A settings1.ini that cannot be read is said at the first Connect, which then
// uses nothing; the next Connect uses what Port Settings shows. The file is
// not overwritten with start texts.
void TestFaults::unreadSettingsSaidAtConnect()
{
    TestDir dir;
    QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("settings1.ini")).constData(), 0644) == 0);
    PtyPair pty;
    {
        MainWindow w;
        w.Command1->click();
        QVERIFY2(w.Connect_Error->text().startsWith("settings1.ini not used: it is a FIFO.")
                     && w.Connect_Error->text().endsWith("Connect again to use the values in Port Settings."),
                 qPrintable(w.Connect_Error->text()));
        QCOMPARE(w.Command1->text(), QStringLiteral("Connect"));
        QVERIFY(!w.link()->serialOpen() && w.link()->tcp.state() == TcpClient::Closed);
        selectSerial(w, pty.linkPath());
        w.Command1->click();
        QCOMPARE(w.Connect_Error->text(), "Connect to Comm " + pty.linkPath() + " Good");
        w.close();
    }
    QVERIFY(QFileInfo(dir.filePath("settings1.ini")).isFile() == false);
    QCOMPARE(QFileInfo(dir.filePath("settings1.ini")).exists(), true);
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
