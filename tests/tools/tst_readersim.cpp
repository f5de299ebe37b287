// The reader simulator, tested as the program it is: started with QProcess,
// spoken to over 127.0.0.1 and over its pseudo-terminal, stopped by its pid.
#include "support/simprocess.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTest>

#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct SimProcess : SimulatorProcess {
    explicit SimProcess(const QStringList &arguments)
        : SimulatorProcess(QStringLiteral(ZANTO_SIM_PATH), QStringList{"--tcp", "0", "--quiet"} + arguments)
    {
    }
};

// The reply to "L" of a reader that was never configured.
const QByteArray Fresh = "0017$$$$SXXXXXC01R4B1\r";
// A command with a fixed answer, sent last so everything before it has been
// answered by the time its reply arrives. No row uses a 9-byte tag write.
const QByteArray Sentinel = "W009SENTINEL!\r", SentinelReply = "W OK 9\r\n";

// A TCP client on 127.0.0.1 keeping what it received in one buffer.
struct Client {
    QTcpSocket socket;
    QByteArray buffer;

    bool connectTo(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        return socket.waitForConnected(5000);
    }
    void send(const QByteArray &bytes)
    {
        socket.write(bytes);
        while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(5000)) {
        }
    }
    // Reads until done(buffer) holds; false if the time ran out first.
    bool waitFor(const std::function<bool(const QByteArray &)> &done, int timeoutMs = 10000)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (buffer += socket.readAll(); !done(buffer); buffer += socket.readAll()) {
            if (deadline.hasExpired() || socket.state() != QAbstractSocket::ConnectedState)
                return false;
            socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        }
        return true;
    }
    // Everything up to the sentinel's reply, which is left out.
    QByteArray untilSentinel()
    {
        send(Sentinel);
        const bool ended = waitFor([](const QByteArray &b) { return b.endsWith(SentinelReply); }, 15000);
        return ended ? std::exchange(buffer, {}).chopped(SentinelReply.size()) : buffer + "<no sentinel reply>";
    }
};

// The tool's side of the serial line: the simulator's pseudo-terminal opened
// raw through its --link path, as a serial port is.
struct SerialEnd {
    int fd;
    explicit SerialEnd(const QString &path)
        : fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
        termios settings{};
        tcgetattr(fd, &settings);
        cfmakeraw(&settings);
        tcsetattr(fd, TCSANOW, &settings);
    }
    ~SerialEnd() { ::close(fd); }
    // Writes, then reads until `count` bytes arrived or five seconds passed.
    QByteArray exchange(const QByteArray &bytes, qsizetype count)
    {
        if (::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size())
            return "<write failed>";
        QByteArray out;
        char chunk[4096];
        for (QDeadlineTimer deadline(5000); out.size() < count && !deadline.hasExpired();) {
            pollfd wait{fd, POLLIN, 0};
            const ssize_t n = ::poll(&wait, 1, 50) > 0 ? ::read(fd, chunk, sizeof chunk) : 0;
            out.append(chunk, qMax<ssize_t>(n, 0));
        }
        return out;
    }
};

} // namespace

class TestReaderSim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void exchange_data();
    void exchange();
    void resetDropsConnection();
    void splitReplies();
    void streams_data();
    void streams();
    void ptyWithLink();
    void floodWithoutReading();
    void badCommandLine();
    void help();

private:
    // One simulator for the rows that leave its configuration alone.
    std::unique_ptr<SimProcess> m_shared;
};

void TestReaderSim::initTestCase()
{
    m_shared = std::make_unique<SimProcess>(QStringList{});
    QVERIFY(m_shared->start());
    // Without --listen it is on loopback only; stdout and the port file agree.
    QCOMPARE(m_shared->announced(), "tcp: 127.0.0.1:" + QByteArray::number(m_shared->port()) + "\n");
}

void TestReaderSim::cleanupTestCase()
{
    QVERIFY2(m_shared->isRunning(), "the shared simulator died during the tests");
    QVERIFY(m_shared->stop());
}

void TestReaderSim::exchange_data()
{
    QTest::addColumn<bool>("own");                // a simulator of its own: the row changes the configuration
    QTest::addColumn<QStringList>("options");     // for a simulator of its own
    QTest::addColumn<QByteArrayList>("pieces");   // sent one after the other
    // The replies in order; "ERR*" stands for any error line's text, "LINE*" for
    // any other line's, "ANY*" for anything at all.
    QTest::addColumn<QByteArray>("replies");

    const auto row = [](const char *name, const QByteArrayList &pieces, const QByteArray &replies, bool own = false,
                        const QStringList &options = {}) {
        QTest::newRow(name) << own << options << pieces << replies;
    };
    const QByteArray universal = "UUUUSABCDEC05RAB6LV1T0AH01A2", enhanced = "$$$$SRD001C98RJBELFAT0a";
    row("fresh L", {"L\r"}, Fresh);
    row("Universal write", {"C028" + universal + "\rL\r"}, "OK\r\n0028" + universal + "\r", true);
    row("Enhanced, then Standard", {"C023" + enhanced + "\rL\rC017$$$$SRD002C01R4B1\rL\r"},
        "OK\r\n0023" + enhanced + "\rOK\r\n0017$$$$SRD002C01R4B1\r", true);
    row("a bad write keeps the last good one", {"C028" + universal + "\rC017$$$$SZZZZZC01RZB1\rL\r"},
        "OK\r\nERR*\r\n0028" + universal + "\r", true);
    // Writes answered as usual, good and bad, but none kept.
    row("--ignore-writes", {"C028" + universal + "\rC017$$$$SZZZZZC01RZB1\rL\r"}, "OK\r\nERR*\r\n" + Fresh, true,
        {"--ignore-writes"});
    // Malformed writes are refused and change nothing.
    for (const char *bad : {"C018$$$$SZZZZZC01R4B1", "C0A7$$$$SZZZZZC01R4B1", "C016$$$$SZZZZC01R4B1",
                            "C017$$$$SZZZZZC01RZB1", "C017$$$$SZZZZZC01R4B8", "C028UUUUSZZZZZC01R4B1LF5T0DH00A7",
                            "C017UUUUSZZZZZC01R4B1", "C017$$$$XZZZZZC01R4B1", "C01"})
        row(bad, {QByteArray(bad) + "\rL\r"}, "ERR*\r\n" + Fresh);

    for (const char *command : {"G", "N", "F", "A", "S", "H", "LON", "LOFF", "M", "K", "IP"})
        row(command, {QByteArray(command) + '\r'}, "LINE*\r\n");
    row("tag write", {"W003ABDR4\r"}, "W OK 3\r\n");
    row("tag write, 123 bytes", {"W0<3" + QByteArray(123, 'x') + "C0\r"}, "W OK 123\r\n");
    QByteArray everyByte;
    for (int value = 0; value < 256; ++value)
        everyByte.append(char(value));
    row("tag write, every byte value", {"W0I6" + everyByte + "R6\r"}, "W OK 256\r\n");
    row("tag write without length", {"W0\r"}, "ERR W length\r\n");
    row("short write", {"w512345R4\r"}, "w OK 5\r\n");
    row("short write, slash is plain", {"w3/41R4\r"}, "w OK 3\r\n");
    row("short write, text too short", {"w5123\r"}, "ERR w length\r\n");
    for (const QByteArray &unknown : {QByteArray("l"), QByteArray("L "), QByteArray("LONG"), QByteArray("RESET2"),
                                      QByteArray("\0\xFF\x80", 3)})
        row(("unknown " + unknown.toHex()).constData(), {unknown + '\r'}, "ERR ?\r\n");

    row("LF", {"L\n"}, Fresh);
    row("CR LF is one end", {"L\r\nL\r\n"}, Fresh + Fresh);
    row("empty lines ignored", {"\r\r\n\n\rL\r"}, Fresh);
    row("command in two pieces", {"L", "\r"}, Fresh);
    row("line ends inside tag data, in pieces", {"W004A\r", "B", "\nR4\r"}, "W OK 4\r\n");
    row("line end right after tag data", {"W002A\r\rL\r"}, "W OK 2\r\n" + Fresh);
    row("longest line kept", {QByteArray(4096, 'x') + '\r'}, "ERR ?\r\n");
    row("one byte longer is dropped", {QByteArray(3000, 'x'), QByteArray(1097, 'y'), "\rL\r"},
        "ERR line too long\r\n" + Fresh);

    QRandomGenerator random(1);
    QByteArray garbage(100 * 1024, Qt::Uninitialized), noLineEnds = garbage;
    for (qsizetype i = 0; i < garbage.size(); ++i) {
        garbage[i] = char(random.bounded(256));
        noLineEnds[i] = garbage[i] == '\r' || garbage[i] == '\n' ? 'x' : garbage[i];
    }
    row("garbage without line ends, then L", {noLineEnds + "\rL\r"}, "ERR line too long\r\n" + Fresh);
    // Line ends past the longest tag data make the final "L" a line of its own.
    row("garbage of every byte, then L", {garbage + QByteArray(4096, '\r') + "L\r"}, "ANY*\r\n" + Fresh);
}

void TestReaderSim::exchange()
{
    QFETCH(bool, own);
    QFETCH(QStringList, options);
    QFETCH(QByteArrayList, pieces);
    QFETCH(QByteArray, replies);

    SimProcess sim(options);
    QVERIFY(!own || sim.start());
    Client client;
    QVERIFY(client.connectTo(own ? sim.port() : m_shared->port()));
    for (const QByteArray &piece : pieces) {
        client.send(piece);
        QTest::qWait(20);
    }
    const QByteArray got = client.untilSentinel();
    QString pattern = QRegularExpression::escape(QString::fromLatin1(replies));
    pattern.replace("ERR\\*", "ERR[^\\r\\n]*").replace("LINE\\*", "(?!ERR)[^\\r\\n]+").replace("ANY\\*", "[\\s\\S]*");
    QVERIFY2(QRegularExpression("\\A" + pattern + "\\z").match(QString::fromLatin1(got)).hasMatch(),
             qPrintable(QString::fromLatin1(got.right(300)).replace('\r', "\\r").replace('\n', "\\n")));
    QCOMPARE(client.socket.state(), QAbstractSocket::ConnectedState);
}

void TestReaderSim::resetDropsConnection()
{
    SimProcess sim({});
    QVERIFY(sim.start());
    Client client;
    QVERIFY(client.connectTo(sim.port()));
    // The reader is rebooting: the "L" behind the reset goes unanswered.
    client.send("RESET\rL\r");
    client.waitFor([](const QByteArray &) { return false; }, 5000);
    QVERIFY(client.socket.state() == QAbstractSocket::UnconnectedState || client.socket.waitForDisconnected(5000));
    QCOMPARE(client.buffer + client.socket.readAll(), QByteArray("RESET\r\n"));
    Client again;
    QVERIFY(again.connectTo(sim.port()));
    again.send("L\r");
    QCOMPARE(again.untilSentinel(), Fresh);
}

// Each reply comes in two pieces, and the next reply waits until the one before
// is complete; the second half of one and the first half of the next may come
// together.
void TestReaderSim::splitReplies()
{
    SimProcess sim({"--split", "300"});
    QVERIFY(sim.start());
    Client client;
    QVERIFY(client.connectTo(sim.port()));
    client.send("L\rS\r");
    const QByteArray second = "ZANTO READER V3.0 SIM\r\n", all = Fresh + second;
    QList<qsizetype> sizes; // the buffer's size after each read
    QVERIFY(client.waitFor([&](const QByteArray &b) {
        if (!b.isEmpty() && (sizes.isEmpty() || sizes.last() != b.size()))
            sizes.append(b.size());
        return b.size() >= all.size();
    }));
    QCOMPARE(client.buffer, all);
    const QList<qsizetype> allowed{Fresh.size() / 2, Fresh.size(), Fresh.size() + second.size() / 2, all.size()};
    QCOMPARE(sizes.first(), allowed[0]);
    QVERIFY(sizes.contains(allowed[2]));
    for (qsizetype size : sizes)
        QVERIFY2(allowed.contains(size), qPrintable(QString::number(size)));
}

void TestReaderSim::streams_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("bytes"); // of tag lines, at least, before the command
    QTest::newRow("1000 a second") << QStringList{"--stream", "1000"} << 200 * 30;
    QTest::newRow("4.5 a second") << QStringList{"--stream", "4.5"} << 2 * 30;
    QTest::newRow("flood") << QStringList{"--flood"} << 2 * 1024 * 1024;
}

// Tag lines with a rising counter; a command in the middle is answered whole,
// between two lines.
void TestReaderSim::streams()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, bytes);

    SimProcess sim(arguments);
    QVERIFY(sim.start());
    Client client;
    QVERIFY(client.connectTo(sim.port()));
    QVERIFY(client.waitFor([bytes](const QByteArray &b) { return b.size() >= bytes; }));
    client.send("L\r");
    QVERIFY(client.waitFor([](const QByteArray &b) { return b.contains(Fresh) && b.endsWith("\r\n"); }));
    static const QRegularExpression tag(QStringLiteral("TAG 3000E2001234([0-9A-F]{12})\r\n"));
    QByteArray rest;
    qint64 last = -1;
    qsizetype end = 0;
    for (auto it = tag.globalMatch(QString::fromLatin1(client.buffer)); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        rest += client.buffer.mid(end, m.capturedStart() - end);
        end = m.capturedEnd();
        const qint64 counter = m.captured(1).toLongLong(nullptr, 16);
        QVERIFY(counter > last);
        last = counter;
    }
    QCOMPARE(rest + client.buffer.mid(end), Fresh);
}

void TestReaderSim::ptyWithLink()
{
    QTemporaryDir dir;
    // Only ever a link is replaced, never a file.
    const QString precious = dir.filePath(QStringLiteral("precious"));
    QFile file(precious);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("keep me") == 7);
    file.close();
    QProcess refused;
    refused.start(QStringLiteral(ZANTO_SIM_PATH), {"--pty", "--link", precious, "--quiet"});
    QVERIFY(refused.waitForFinished(5000) && refused.exitCode() != 0);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep me"));

    const QString link = dir.filePath(QStringLiteral("reader"));
    QVERIFY(QFile::link(QStringLiteral("/nonexistent"), link)); // an old link from an earlier run is replaced
    SimProcess sim({"--pty", "--link", link});
    QVERIFY(sim.start());
    QVERIFY2(sim.ptyPath().startsWith(QLatin1String("/dev/pts/")), qPrintable(sim.ptyPath()));
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.ptyPath());
    {
        SerialEnd serial(link);
        QCOMPARE(serial.exchange("L\r", Fresh.size()), Fresh);
        // On a serial line a reset is only answered; the line stays.
        QCOMPARE(serial.exchange("RESET\r", 7), QByteArray("RESET\r\n"));
    }
    // The port closed and opened again does not hang the reader up.
    SerialEnd serial(link);
    QCOMPARE(serial.exchange("C017$$$$SPTY01C01R4B1\r", 4), QByteArray("OK\r\n"));
    QCOMPARE(serial.exchange("L\r", 22), QByteArray("0017$$$$SPTY01C01R4B1\r"));
    // One reader behind both links: TCP sees what came in on the serial side.
    Client client;
    QVERIFY(client.connectTo(sim.port()));
    client.send("L\r");
    QCOMPARE(client.untilSentinel(), QByteArray("0017$$$$SPTY01C01R4B1\r"));
    // A signal ends it cleanly, and the link goes with it.
    QVERIFY(sim.stop(SIGINT));
    QVERIFY2(!QFileInfo(link).isSymLink(), "the link outlived the simulator");
}

// A client that sends commands much faster than it takes the answers (here:
// never) must not grow the simulator without bound; it may be dropped, and
// the simulator answers the next client.
void TestReaderSim::floodWithoutReading()
{
    SimProcess sim({});
    QVERIFY(sim.start());
    // Resident memory of the simulator, from the kernel's own count.
    const auto residentMb = [pid = sim.process().processId()] {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid));
        if (!status.open(QIODevice::ReadOnly))
            return qint64(-1);
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:")) // "VmRSS:    12345 kB"
                return line.mid(6).trimmed().split(' ').first().toLongLong() / 1024;
        }
        return qint64(-1);
    };

    QTcpSocket flood;
    flood.connectToHost(QHostAddress::LocalHost, sim.port());
    QVERIFY(flood.waitForConnected(5000));
    const QByteArray chunk = QByteArray("G\r").repeated(32 * 1024);
    constexpr qint64 Total = 50 * 1024 * 1024;
    qint64 queued = 0, peakMb = 0;
    for (QDeadlineTimer deadline(60000); !deadline.hasExpired();) {
        if (flood.state() != QAbstractSocket::ConnectedState || (queued >= Total && flood.bytesToWrite() == 0))
            break;
        // Keeps at most 8 MiB in our own buffer; the rest waits in the kernel.
        if (queued < Total && flood.bytesToWrite() < 8 * 1024 * 1024) {
            flood.write(chunk);
            queued += chunk.size();
        }
        flood.waitForBytesWritten(50);
        peakMb = std::max(peakMb, residentMb());
    }
    const bool dropped = flood.state() != QAbstractSocket::ConnectedState;
    qInfo("queued %lld MiB, %s, simulator at most %lld MB resident", queued >> 20,
          dropped ? "then dropped" : "all sent", peakMb);
    QVERIFY(sim.isRunning());
#ifdef ZANTO_SANITIZED
    constexpr qint64 BoundMb = 800; // shadow memory and the freed-memory quarantine; unbounded was well past 1 GB
#else
    constexpr qint64 BoundMb = 200;
#endif
    QVERIFY2(peakMb > 0 && peakMb < BoundMb, qPrintable(QString::number(peakMb)));
    QVERIFY(dropped || queued >= Total);

    Client fresh;
    QVERIFY(fresh.connectTo(sim.port()));
    fresh.send("L\r");
    QCOMPARE(fresh.untilSentinel(), Fresh);
}

// Refused with exit code 2, a message on stderr and nothing announced.
void TestReaderSim::badCommandLine()
{
    const QList<QStringList> refused{{}, {"--tcp", "65536"}, {"--tcp", "0", "--link", "/nonexistent/reader"},
                                     {"--tcp", "0", "--listen", "not-an-address"}, {"--tcp", "0", "--stream", "-3"},
                                     {"--tcp", "0", "extra"}};
    for (const QStringList &arguments : refused) {
        QProcess process;
        process.start(QStringLiteral(ZANTO_SIM_PATH), arguments);
        QVERIFY(process.waitForFinished(5000));
        QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 2,
                 qPrintable(arguments.join(' ')));
        QCOMPARE(process.readAllStandardOutput(), QByteArray());
        QVERIFY(!process.readAllStandardError().isEmpty());
    }
}

// Every option is documented, --ignore-writes included.
void TestReaderSim::help()
{
    QProcess process;
    process.start(QStringLiteral(ZANTO_SIM_PATH), {"--help"});
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 0);
    const QByteArray text = process.readAllStandardOutput();
    for (const char *option : {"--tcp", "--pty", "--split", "--stream", "--flood", "--ignore-writes", "--quiet"})
        QVERIFY2(text.contains(option), option);
}

QTEST_GUILESS_MAIN(TestReaderSim)
#include "tst_readersim.moc"
