// The link as values: what the Port Settings texts stand for, and what the
// link says when they cannot be used. No window, no widget.
#include "link/readerlink.h"
#include "link/receivepipeline.h"
#include "support/loopbackreader.h"
#include "support/ptypair.h"

#include <QSignalSpy>
#include <QTest>

using namespace zanto;

class TestLink : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parameters_data();
    void parameters();
    void unusableTextsAreSaid_data();
    void unusableTextsAreSaid();
};

void TestLink::parameters_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("tcpPort");
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<int>("baudValue"); // 0: no usable rate
    QTest::addColumn<int>("portValue"); // 0: no TCP port
    QTest::newRow("defaults") << "1" << "9600" << "10000" << false << 9600 << 10000;
    QTest::newRow("TCP/IP") << "TCP/IP" << "115200" << "1" << true << 115200 << 1;
    QTest::newRow("tcp/ip is a serial port") << "tcp/ip" << "9600" << "65535" << false << 9600 << 65535;
    QTest::newRow("TCP port 0") << "TCP/IP" << "9600" << "0" << true << 9600 << 0;
    QTest::newRow("TCP port 65536") << "TCP/IP" << "9600" << "65536" << true << 9600 << 0;
    QTest::newRow("TCP port 10k") << "TCP/IP" << "9600" << "10k" << true << 9600 << 0;
    QTest::newRow("TCP port empty") << "TCP/IP" << "9600" << "" << true << 9600 << 0;
    QTest::newRow("baud not a number") << "1" << "fast" << "10000" << false << 0 << 10000;
    QTest::newRow("baud empty") << "1" << "" << "10000" << false << 0 << 10000;
    QTest::newRow("baud negative") << "1" << "-9600" << "10000" << false << 0 << 10000;
    QTest::newRow("baud zero") << "1" << "0" << "10000" << false << 0 << 10000;
    QTest::newRow("blank inside the baud") << "1" << "96 00" << "10000" << false << 0 << 10000;
    QTest::newRow("blank before the baud") << "1" << " 9600" << "10000" << false << 0 << 10000;
    QTest::newRow("comma in the baud") << "1" << "9600,1" << "10000" << false << 0 << 10000;
    QTest::newRow("100 million baud") << "1" << "100000000" << "10000" << false << 100000000 << 10000;
    QTest::newRow("beyond 100 million") << "1" << "100000001" << "10000" << false << 0 << 10000;
}

void TestLink::parameters()
{
    QFETCH(QString, port);
    QFETCH(QString, baud);
    QFETCH(QString, tcpPort);
    QFETCH(bool, tcp);
    QFETCH(int, baudValue);
    QFETCH(int, portValue);
    const LinkParameters p = linkParametersFrom(port, baud, QStringLiteral("127.0.0.1"), tcpPort);
    QCOMPARE(p.tcp, tcp);
    QCOMPARE(p.baud.value_or(0), baudValue);
    QCOMPARE(int(p.tcpPort.value_or(0)), portValue);
    // The texts go along as typed, for the status line.
    QCOMPARE(p.portText, port);
    QCOMPARE(p.baudText, baud);
    QCOMPARE(p.tcpPortText, tcpPort);
}

void TestLink::unusableTextsAreSaid_data()
{
    QTest::addColumn<QString>("port"); // "pty": the test's own pseudo-terminal
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("tcpPort");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("detail");
    QTest::newRow("bad baud") << "pty" << "abc" << "" << "Comm pty not available" << "Baud rate \"abc\" is not usable";
    QTest::newRow("no such device") << "/dev/zanto-test-none" << "9600" << ""
                                    << "Comm /dev/zanto-test-none not available" << "No such file or directory";
    QTest::newRow("TCP port 0") << "TCP/IP" << "9600" << "0" << "Port number \"0\" is not a TCP port (1 to 65535)" << "";
}

// Nothing opens, nothing is dialled; the status says why.
void TestLink::unusableTextsAreSaid()
{
    QFETCH(QString, port);
    QFETCH(QString, baud);
    QFETCH(QString, tcpPort);
    QFETCH(QString, status);
    QFETCH(QString, detail);
    PtyPair pty;
    const QString portText = port == "pty" ? pty.linkPath() : port;
    ReceivePipeline pipeline;
    ReaderLink link(&pipeline);
    link.setParameters(linkParametersFrom(portText, baud, QStringLiteral("127.0.0.1"), tcpPort));
    QSignalSpy said(&link, &ReaderLink::status);
    QVERIFY(!link.openLink());
    QCOMPARE(said.count(), 1);
    QCOMPARE(said.first().at(0).toString(), QString(status).replace("pty", portText));
    QVERIFY2(said.first().at(1).toString().contains(detail), qPrintable(said.first().at(1).toString()));
    QVERIFY(!link.serialOpen());
    QVERIFY(link.tcpClosed());
}

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
