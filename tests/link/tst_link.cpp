// The link without a window: what the Port Settings texts stand for, what the
// link says when they cannot be used, the rate it opens a serial port at, and
// how it takes a reader that never pauses. No widget.
#include "link/readerlink.h"
#include "link/receivepipeline.h"
#include "support/loopbackreader.h"
#include "support/ptypair.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace zanto;

class TestLink : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parameters_data();
    void parameters();
    void unusableTextsAreSaid_data();
    void unusableTextsAreSaid();
    void serialOpensAtTheTypedRate();
    void floodLeavesTheLoopTurning();
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
    QVERIFY(!link.serialOpen() && !link.tcpConnected());
}

void TestLink::serialOpensAtTheTypedRate()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    ReceivePipeline pipeline;
    ReaderLink link(&pipeline);
    link.setParameters(linkParametersFrom(pty.linkPath(), "38400", "127.0.0.1", "10000"));
    QVERIFY(link.openLink());
    termios line {};
    QCOMPARE(::tcgetattr(pty.masterFd(), &line), 0);
    QCOMPARE(cfgetospeed(&line), speed_t(B38400));
}

// A reader that sends faster than the window takes its bytes: the link takes
// a bounded share at each arrival and lets the event loop go round between
// them, so the window keeps painting and answering while the data never stops.
void TestLink::floodLeavesTheLoopTurning()
{
    // The reader: a server on 127.0.0.1 whose thread writes as fast as the
    // connection takes it, for two seconds, then closes.
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QVERIFY(server >= 0 && ::bind(server, reinterpret_cast<sockaddr *>(&address), length) == 0 && ::listen(server, 1) == 0);
    QVERIFY(::getsockname(server, reinterpret_cast<sockaddr *>(&address), &length) == 0);
    std::atomic<bool> writing{false}, done{false};
    std::thread reader([&] {
        pollfd waiting{server, POLLIN, 0};
        const int client = ::poll(&waiting, 1, 10000) == 1 ? ::accept(server, nullptr, nullptr) : -1;
        const QByteArray piece(1024 * 1024, 'x');
        writing = true;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (client >= 0 && std::chrono::steady_clock::now() < end
               && ::send(client, piece.constData(), size_t(piece.size()), MSG_NOSIGNAL) > 0) {
        }
        writing = false;
        if (client >= 0)
            ::close(client);
        done = true;
    });
    const auto joined = qScopeGuard([&] {
        reader.join();
        ::close(server);
    });

    ReceivePipeline pipeline;
    // Only the newest rows are kept, as the grid keeps them.
    connect(&pipeline, &ReceivePipeline::burstEnded, &pipeline,
            [&] { pipeline.store().dropFront(pipeline.store().rowsOverBudget(4 * 1024 * 1024)); });
    const QString port = QString::number(ntohs(address.sin_port));
    ReaderLink link(&pipeline);
    link.setParameters(linkParametersFrom("TCP/IP", "9600", "127.0.0.1", port));
    qint64 bytes = 0;
    QElapsedTimer sinceTurn; // started by the first byte
    connect(&link, &ReaderLink::bytesArrived, &link, [&](QByteArrayView piece) {
        if (bytes == 0 && !piece.isEmpty())
            sinceTurn.start();
        bytes += piece.size();
        // The window's work on each piece, stood in for by a pause: the reader
        // stays ahead of the window whatever this machine's speed.
        QThread::usleep(ulong(piece.size() / 20));
    });
    int turns = 0; // of the event loop, while bytes keep coming
    qint64 longestStall = 0;
    QTimer tick;
    tick.setInterval(10);
    connect(&tick, &QTimer::timeout, &tick, [&] {
        if (!sinceTurn.isValid() || !writing)
            return;
        ++turns;
        longestStall = qMax(longestStall, sinceTurn.restart());
    });
    tick.start();
    QVERIFY(link.openLink());
    QTRY_VERIFY_WITH_TIMEOUT(done, 30000);

    QVERIFY2(bytes > 4 * 1024 * 1024, qPrintable(QString::number(bytes)));
    QVERIFY2(turns >= 5, qPrintable(QStringLiteral("%1 turns of the event loop in a flood").arg(turns)));
    QVERIFY2(longestStall < 2000, qPrintable(QStringLiteral("the event loop stood still for %1 ms").arg(longestStall)));
}

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
