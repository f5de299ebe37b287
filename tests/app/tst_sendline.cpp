// A text of the technician's own sent from the window, where Connect will go
// said before it is pressed, and texts their boxes cut shown whole.
#include "support/harness.h"

#include <QComboBox>
#include <QListWidget>
#include <QRegularExpression>

namespace {

QDialog *openSendText(Tool &tool)
{
    return tool.open(menu::ReaderSetup, Qt::Key_T, QStringLiteral("SendText"));
}

} // namespace

class TestSendLine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sendText_data();
    void sendText();
    void historyAndNoLink();
    void connectSaysWhere_data();
    void connectSaysWhere();
    void cutTextsShowWhole();
};

void TestSendLine::sendText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QByteArray>("sent"); // on the wire, the CR included
    QTest::addColumn<QString>("shown");   // in the list of texts sent
    QTest::newRow("plain") << "LON" << "3" << QByteArray("LON\r") << "LON/0D";
    QTest::newRow("escapes") << "AB/0D/00" << "4" << QByteArray("AB\r\0\r", 5) << "AB/0D/00/0D";
    QTest::newRow("lower-case is no escape") << "/0d" << "3" << QByteArray("/0d\r") << "/0d/0D";
    QTest::newRow("a byte past 127") << "/FF" << "1" << QByteArray("\xFF\r") << QString::fromLatin1("\xFF/0D");
    QTest::newRow("nothing: a lone CR") << "" << "0" << QByteArray("\r") << "/0D";
}

// Typed, counted as typed, sent with Enter on the TCP-first link, listed
// with its time; the reader's answer said below.
void TestSendLine::sendText()
{
    QFETCH(QString, typed);
    QFETCH(QString, count);
    QFETCH(QByteArray, sent);
    QFETCH(QString, shown);
    Tool tool;
    LoopbackReader reader;
    QVERIFY(connectTcp(tool, reader));
    QDialog *d = openSendText(tool);
    QVERIFY(d);
    QWidget *text = ui::find(d, QStringLiteral("Text"));
    QVERIFY(ui::type(text, typed));
    QCOMPARE(ui::text(ui::find(d, QStringLiteral("Count"))), count);
    reader.clearReceived();
    QTest::keyClick(text, Qt::Key_Return);
    QVERIFY(reader.waitForBytes(sent.size()));
    QCOMPARE(reader.received(), sent);
    auto *list = ui::find<QListWidget>(d, QStringLiteral("Sent"));
    QCOMPARE(list->count(), 1);
    QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}  " + QRegularExpression::escape(shown) + "$")
                 .match(list->item(0)->text())
                 .hasMatch(),
             qPrintable(list->item(0)->text()));
    QVERIFY(reader.send("OK\r\n"));
    QTRY_VERIFY2(ui::text(ui::find(d, QStringLiteral("Answer"))).startsWith("The reader answered \"OK/0D/0A\" at "),
                 qPrintable(ui::text(ui::find(d, QStringLiteral("Answer")))));
}

// The texts sent come back with the arrow keys, the newest first; with no
// link open nothing goes and the dialog says so.
void TestSendLine::historyAndNoLink()
{
    Tool tool;
    QDialog *d = openSendText(tool);
    QVERIFY(d);
    auto *text = ui::find<QComboBox>(d, QStringLiteral("Text"));
    QVERIFY(ui::type(text, "G"));
    QVERIFY(ui::click(ui::find(d, QStringLiteral("Send"))));
    QCOMPARE(ui::text(ui::find(d, QStringLiteral("Answer"))), QStringLiteral("Not sent: no link is open"));
    QCOMPARE(ui::find<QListWidget>(d, QStringLiteral("Sent"))->count(), 0);

    LoopbackReader reader;
    QVERIFY(connectTcp(tool, reader));
    for (const QString &each : {QStringLiteral("N"), QStringLiteral("F"), QStringLiteral("N")}) {
        QVERIFY(ui::type(text, each));
        QTest::keyClick(text, Qt::Key_Return);
    }
    QVERIFY(reader.waitForBytes(6));
    QCOMPARE(text->count(), 2); // each text once: N, F
    QCOMPARE(text->currentText(), QString()); // clear for the next text
    QTest::keyClick(text, Qt::Key_Down); // the newest
    QCOMPARE(text->currentText(), QStringLiteral("N"));
    QTest::keyClick(text, Qt::Key_Down);
    QCOMPARE(text->currentText(), QStringLiteral("F"));

    // Twenty texts are kept: twenty new ones push N and F out.
    for (char c = 'a'; c <= 't'; ++c) {
        QVERIFY(ui::type(text, QString(QLatin1Char(c))));
        QTest::keyClick(text, Qt::Key_Return);
    }
    QVERIFY(reader.waitForBytes(6 + 2 * 20));
    QCOMPARE(text->count(), 20);
    QCOMPARE(text->itemText(0), QStringLiteral("t"));
    QCOMPARE(text->itemText(19), QStringLiteral("a"));
}

void TestSendLine::connectSaysWhere_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("target"); // @PORT: the loopback TCP port
    QTest::newRow("TCP") << "TCP/IP" << "9600" << "TCP 127.0.0.1 port @PORT";
    QTest::newRow("first serial port") << "1" << "9600" << "Comm 1 (/dev/ttyS0) at 9600 baud, 8N1";
    QTest::newRow("device path") << "/dev/ttyUSB7" << "115200" << "/dev/ttyUSB7 at 115200 baud, 8N1";
    QTest::newRow("no rate") << "/dev/ttyUSB7" << "fast" << "/dev/ttyUSB7 at \"fast\" baud (no usable rate)";
    QTest::newRow("no port") << "COM3" << "9600" << "\"COM3\", which names no serial port";
}

// Before Connect is pressed, its tooltip and the status line's say where it
// will go, as typed into Port Settings; nothing is opened to find out.
void TestSendLine::connectSaysWhere()
{
    QFETCH(QString, port);
    QFETCH(QString, baud);
    QFETCH(QString, target);
    Tool tool;
    LoopbackReader reader; // never connected to: only its port is named
    target.replace(QLatin1String("@PORT"), reader.portText());
    QDialog *ps = tool.portSettings();
    QVERIFY(ps);
    QVERIFY(ui::typeAndLeave(ui::find(ps, QStringLiteral("Combo5")), port));
    QVERIFY(ui::typeAndLeave(ui::find(ps, QStringLiteral("Combo1")), baud));
    QVERIFY(ui::typeAndLeave(ui::find(ps, QStringLiteral("IPAddress")), QStringLiteral("127.0.0.1")));
    QVERIFY(ui::typeAndLeave(ui::find(ps, QStringLiteral("PortNumber")), reader.portText()));
    QCOMPARE(tool.button(QStringLiteral("Command1"))->toolTip(), "Connect to " + target);
    QVERIFY2(tool.control(QStringLiteral("Connect_Error"))->toolTip().contains("Connect goes to " + target),
             qPrintable(tool.control(QStringLiteral("Connect_Error"))->toolTip()));
    QVERIFY(!reader.hasClient());
    QVERIFY(!tool.link()->serialOpen());
}

// A text wider than its box is its box's tooltip, while it is cut.
void TestSendLine::cutTextsShowWhole()
{
    Tool tool;
    QDialog *ps = tool.portSettings();
    QVERIFY(ps);
    auto *port = ui::find<QComboBox>(ps, QStringLiteral("Combo5"));
    const QString path = QStringLiteral("/dev/serial/by-id/usb-Adapter_Serial_0123456789-if00-port0");
    QVERIFY(ui::type(port, path));
    QCOMPARE(port->toolTip(), path);
    // The box, not the text, changing: wide enough, the text fits.
    const int width = port->width();
    port->resize(1000, port->height());
    QCOMPARE(port->toolTip(), QString());
    port->resize(width, port->height());
    QCOMPARE(port->toolTip(), path);
    QVERIFY(ui::type(port, QStringLiteral("2")));
    QCOMPARE(port->toolTip(), QString());
}

QTEST_MAIN(TestSendLine)
#include "tst_sendline.moc"
