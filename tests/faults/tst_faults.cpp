// What a reader, a cable or a disk can do to the tool: links that die in the
// middle of things, readers that never answer, files that cannot be written.
// After each, the tool keeps working and the next Connect works. The tool is
// worked as a technician works it: menus, keys and clicks.
#include "widgets/receivedgrid.h"
#include "widgets/receivedmodel.h"
#include "support/harness.h"
#include "support/restricteddir.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>
#include <QWindow>

#include <sys/stat.h>

using zanto::ReceivedGrid;

namespace {

const QString PortSet = QStringLiteral("PortSet");

// The close box of a window's frame: the close the window system asks for.
// True when the window went.
bool closeBox(QWidget *window)
{
    return window->windowHandle() && window->windowHandle()->close();
}

QPushButton *connectButton(const Tool &t)
{
    return t.button(QStringLiteral("Command1"));
}

ReceivedGrid *grid(const Tool &t)
{
    return t.control<ReceivedGrid>(QStringLiteral("MSFlexGrid1"));
}

// The bytes of a row of the grid, as its model holds them.
QByteArray rowBytes(const Tool &t, int row)
{
    return grid(t)->receivedModel()->store().row(row).bytes();
}

} // namespace

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
    Tool t;
    QVERIFY(t.setQuietInterval(100));
    {
        PtyPair pty;
        QVERIFY(connectSerial(t, pty));
        QVERIFY(pty.write("HALF A REP"));
        QTest::qWait(20); // the bytes are in, the burst is still gathering
        pty.closeMaster();
        QTRY_VERIFY(!t.link()->serialOpen());
    }
    QTRY_COMPARE(t.text(QStringLiteral("Receive_Count")), QStringLiteral("1"));
    QCOMPARE(rowBytes(t, 0), QByteArray("HALF A REP"));
    // Disconnect, then a new cable: it works again.
    QVERIFY(ui::click(connectButton(t)));
    PtyPair again;
    QVERIFY(connectSerial(t, again));
    QVERIFY(ui::click(t.button(QStringLiteral("Command3"))));
    QCOMPARE(again.readAtLeast(2), QByteArray("G\r"));
}

void TestFaults::tcpResetMidConfigReply()
{
    Tool t;
    LoopbackReader reader;
    QVERIFY(t.setQuietInterval(50));
    QVERIFY(connectTcp(t, reader));
    reader.send("0017$$$$SXXX"); // half a Standard reply, then the reader resets
    QTest::qWait(10);
    reader.resetClient();
    QTRY_COMPARE(t.text(QStringLiteral("Receive_Count")), QStringLiteral("1"));
    QCOMPARE(rowBytes(t, 0), QByteArray("0017$$$$SXXX"));
    QVERIFY(!ui::dialog(&t.w, QStringLiteral("ReaderConfig"))); // half a reply is no reply
    QTRY_VERIFY(!t.status().startsWith(QLatin1String("Connected")));
    QVERIFY(!t.link()->tcpConnected());
    QVERIFY(ui::click(connectButton(t)));
    QVERIFY(connectTcp(t, reader));
    QVERIFY(ui::click(t.button(QStringLiteral("Command4"))));
    QVERIFY(reader.waitForBytes(2));
    QCOMPARE(reader.received().right(2), QByteArray("N\r"));
}

void TestFaults::refusedThenReconnect()
{
    LoopbackReader reader;
    const QString port = reader.portText();
    reader.stopListening();
    Tool t;
    QVERIFY(selectTcp(t, port));
    QVERIFY(ui::click(connectButton(t)));
    QTRY_VERIFY(!t.status().startsWith(QLatin1String("Attempting")));
    QVERIFY(!t.link()->tcpConnected());
    QVERIFY(ui::click(t.button(QStringLiteral("Command3")))); // nowhere to go: dropped without a word
    QVERIFY(ui::click(connectButton(t)));
    QCOMPARE(t.text(QStringLiteral("Command1")), QStringLiteral("Connect"));
    LoopbackReader back;
    QVERIFY(connectTcp(t, back));
}

void TestFaults::readerThatNeverAnswers()
{
    Tool t;
    LoopbackReader reader;
    QVERIFY(t.setQuietInterval(30));
    QVERIFY(connectTcp(t, reader));
    for (int i = 0; i < 20; ++i)
        QVERIFY(ui::click(t.button(QStringLiteral("S"))));
    QVERIFY(reader.waitForBytes(40));
    QTest::qWait(150);
    // No time-out, no message, no row: the window is as it was and still works.
    QCOMPARE(t.status(), QStringLiteral("Connected to 127.0.0.1 Port ") + reader.portText());
    QCOMPARE(grid(t)->rows(), 1);
    QCOMPARE(t.text(QStringLiteral("Receive_Count")), QString());
    reader.send("late\r\n");
    QTRY_COMPARE(t.text(QStringLiteral("Receive_Count")), QStringLiteral("1"));
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
    Tool t;
    PtyPair pty;
    LoopbackReader reader;
    // LOFF is in view in Universal mode.
    QVERIFY(ui::click(t.control(QStringLiteral("OptUniversal"))));
    QPushButton *loff = t.button(QStringLiteral("Command10"));
    QVERIFY(connectBoth(t, pty, reader));
    if (serialDies) {
        pty.closeMaster();
        QTRY_VERIFY(!t.link()->serialOpen());
    } else {
        reader.resetClient();
        QTRY_VERIFY(!t.link()->tcpConnected());
    }
    // The link that is left carries every rule's commands.
    QVERIFY(ui::click(loff));                                  // both-links rule
    QVERIFY(ui::click(t.button(QStringLiteral("Command3")))); // TCP-first rule
    if (serialDies) {
        QVERIFY(reader.waitForBytes(7));
        QCOMPARE(reader.received(), QByteArray("LOFF\rG\r"));
    } else {
        QCOMPARE(pty.readAtLeast(7), QByteArray("LOFF\rG\r"));
    }
    // And the dead one comes back on the next Connect.
    if (serialDies) {
        PtyPair again;
        QVERIFY(selectSerial(t, again.linkPath()));
        QVERIFY(ui::click(connectButton(t))); // Disconnect: closes the (lost) serial port
        QVERIFY(connectSerial(t, again));
        QVERIFY(ui::click(loff));
        QCOMPARE(again.readAtLeast(5), QByteArray("LOFF\r"));
    } else {
        QVERIFY(ui::click(connectButton(t))); // Disconnect the broken TCP side
        QVERIFY(connectTcp(t, reader));
        reader.clearReceived();
        QVERIFY(ui::click(loff));
        QVERIFY(reader.waitForBytes(5));
        QCOMPARE(reader.received(), QByteArray("LOFF\r"));
    }
}

void TestFaults::settingsInReadOnlyDirectory()
{
    const QByteArray kept = "TCP/IP\r\n127.0.0.1\r\n19200\r\n4001\r\n";
    {
        Tool t;
        // The window works in the folder it is in when Port Settings is read.
        RestrictedDir dir(RestrictedDir::ReadOnly, {{QStringLiteral("settings1.ini"), kept}});
        if (!dir.isValid())
            QSKIP(qPrintable(dir.why()));
        QDialog *ps = t.portSettings();
        QVERIFY(ps);
        QCOMPARE(ui::text(ui::find(ps, QStringLiteral("Combo5"))), QStringLiteral("TCP/IP"));
        QCOMPARE(ui::text(ui::find(ps, QStringLiteral("Combo1"))), QStringLiteral("19200"));
        QVERIFY(ui::typeAndLeave(ui::find(ps, QStringLiteral("Combo1")), QStringLiteral("9600")));
        QVERIFY(!closeBox(ps));
        const QString problem = ui::text(ui::find(ps, QStringLiteral("FileStatus")));
        QVERIFY2(problem.contains(QLatin1String("settings1.ini")), qPrintable(problem));
        QVERIFY(closeBox(ps));
        QTRY_VERIFY(!ui::dialog(&t.w, PortSet));
        QCOMPARE(dir.read(QStringLiteral("settings1.ini")), kept);
    }

    // Without any file in a read-only directory: the start texts, and a word.
    Tool t;
    RestrictedDir empty(RestrictedDir::ReadOnly);
    QVERIFY(empty.isValid());
    QDialog *ps = t.portSettings();
    QVERIFY(ps);
    QCOMPARE(ui::text(ui::find(ps, QStringLiteral("Combo5"))), QStringLiteral("1"));
    const QString problem = ui::text(ui::find(ps, QStringLiteral("FileStatus")));
    QVERIFY2(problem.contains(QLatin1String("settings1.ini")), qPrintable(problem));
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
    // Ethernet Settings shows no field to type into: the value to write back
    // is the one its file holds.
    const QByteArray kept = ethernet ? "10.1.1.1\r\n255.0.0.0\r\n" + QByteArray(size, '1') + "\r\n"
                                     : QByteArray("2\r\n127.0.0.1\r\n19200\r\n4001\r\n");
    Tool t;
    RestrictedDir dir(RestrictedDir::Full, {{name, kept}});
    if (!dir.isValid())
        QSKIP(qPrintable(dir.why()));
    QDialog *d = nullptr;
    if (ethernet) {
        d = t.ethernet();
        QVERIFY(d);
        QCOMPARE(ui::text(ui::find(d, QStringLiteral("IPAddress"))), QStringLiteral("10.1.1.1"));
        QCOMPARE(ui::text(ui::find(d, QStringLiteral("Gateway"))), QString(size, QLatin1Char('1')));
    } else {
        d = t.portSettings();
        QVERIFY(d);
        QLineEdit *port = ui::find<QLineEdit>(d, QStringLiteral("PortNumber"));
        if (size > 100) { // pasted: a user types no 20000 characters
            QApplication::clipboard()->setText(QString(size, QLatin1Char('9')));
            QVERIFY(ui::focus(port));
            QTest::keyClick(port, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(port, Qt::Key_V, Qt::ControlModifier);
        } else {
            QVERIFY(ui::type(port, QString(size, QLatin1Char('9'))));
        }
        QCOMPARE(port->text(), QString(size, QLatin1Char('9')));
    }
    const QString dialogName = d->objectName();
    QVERIFY(!closeBox(d));
    const QString problem = ui::text(ui::find(d, QStringLiteral("FileStatus")));
    QVERIFY(closeBox(d));
    QTRY_VERIFY(!ui::dialog(&t.w, dialogName));
    QVERIFY2(problem.contains(name + QLatin1String(" not written: No space left on device; the old file is unchanged")),
             qPrintable(problem));
    // The old file is whole: never emptied, never half written.
    QCOMPARE(dir.read(name), kept);
}

// The main window closing with a save that fails stays open once and says so.
void TestFaults::closingWithAFailedSave()
{
    const QByteArray kept = "TCP/IP\r\n127.0.0.1\r\n19200\r\n4001\r\n";
    Tool t;
    RestrictedDir dir(RestrictedDir::Full, {{QStringLiteral("settings1.ini"), kept}});
    if (!dir.isValid())
        QSKIP(qPrintable(dir.why()));
    // Port Settings open, its port changed and not yet saved.
    QDialog *ps = t.portSettings();
    QVERIFY(ps);
    QWidget *port = ui::find(ps, QStringLiteral("PortNumber"));
    QVERIFY(ui::type(port, QStringLiteral("4002")));
    QCOMPARE(ui::text(port), QStringLiteral("4002"));
    QVERIFY(!closeBox(&t.w));
    QVERIFY(t.w.isVisible() && ui::dialog(&t.w, PortSet));
    QVERIFY2(t.status().startsWith("settings1.ini not written: No space left on device; the old file is unchanged.")
                 && t.status().endsWith("Close again to discard."),
             qPrintable(t.status()));
    QVERIFY(closeBox(&t.w));
    QCOMPARE(dir.read(QStringLiteral("settings1.ini")), kept);
}

// A settings1.ini that cannot be read is said at the first Connect, which then
// uses nothing; the next Connect uses what Port Settings shows. The file is
// not overwritten with start texts.
void TestFaults::unreadSettingsSaidAtConnect()
{
    // The folder outlives the window, to show what the window left in it.
    TestDir dir;
    QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("settings1.ini")).constData(), 0644) == 0);
    PtyPair pty;
    {
        Tool t;
        QVERIFY(QDir::setCurrent(dir.path())); // started in the folder that holds it
        // No Port Settings open: Connect reads settings1.ini first.
        QVERIFY(ui::click(connectButton(t)));
        QVERIFY2(t.status().startsWith("settings1.ini not used: it is a FIFO.")
                     && t.status().endsWith("Connect again to use the values in Port Settings."),
                 qPrintable(t.status()));
        QCOMPARE(t.text(QStringLiteral("Command1")), QStringLiteral("Connect"));
        QVERIFY(!t.link()->serialOpen() && !t.link()->tcpConnected());
        QVERIFY(selectSerial(t, pty.linkPath()));
        QVERIFY(ui::click(connectButton(t)));
        QCOMPARE(t.status(), "Connect to Comm " + pty.linkPath() + " Good");
        closeBox(&t.w);
    }
    QVERIFY(QFileInfo(dir.filePath("settings1.ini")).isFile() == false);
    QCOMPARE(QFileInfo(dir.filePath("settings1.ini")).exists(), true);
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
