// The reader simulator, tested as the program it is: started with QProcess,
// spoken to over 127.0.0.1 and over its pseudo-terminal, stopped by its pid.

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "support/simprocess.h"

namespace {

class SimProcess : public SimulatorProcess
{
public:
    explicit SimProcess(const QStringList &arguments)
        : SimulatorProcess(QStringLiteral(ZANTO_SIM_PATH), arguments)
    {
    }
};

// The reply to "L" of a reader that was never configured.
const QByteArray FreshConfigReply = "0017$$$$SXXXXXC01R4B1\r";
// A command whose answer is fixed and known, sent last so a test knows that
// everything before it has been answered.
// (No test row uses a 9-byte tag write.)
const QByteArray Sentinel = "W009SENTINEL!\r";
const QByteArray SentinelReply = "W OK 9\r\n";

// A TCP client on 127.0.0.1 that keeps what it received in one buffer.
class Client
{
public:
    bool connectTo(quint16 port)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        return m_socket.waitForConnected(5000);
    }

    void send(const QByteArray &bytes)
    {
        m_socket.write(bytes);
        while (m_socket.bytesToWrite() > 0 && m_socket.waitForBytesWritten(5000)) {
        }
    }

    // Reads until done(buffer) holds; false if the time ran out first.
    bool waitFor(const std::function<bool(const QByteArray &)> &done, int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        m_buffer += m_socket.readAll();
        while (!done(m_buffer)) {
            if (deadline.hasExpired() || m_socket.state() != QAbstractSocket::ConnectedState)
                return false;
            m_socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
            m_buffer += m_socket.readAll();
        }
        return true;
    }

    // The first n bytes received (waiting for them), removed from the buffer.
    QByteArray take(qsizetype n)
    {
        waitFor([n](const QByteArray &b) { return b.size() >= n; });
        const QByteArray out = m_buffer.left(n);
        m_buffer.remove(0, out.size());
        return out;
    }

    // One text line up to and including its CR LF.
    QByteArray takeLine()
    {
        waitFor([](const QByteArray &b) { return b.contains("\r\n"); });
        const qsizetype end = m_buffer.indexOf("\r\n");
        return take(end < 0 ? m_buffer.size() : end + 2);
    }

    // Everything up to the sentinel's reply, the reply itself not included.
    QByteArray takeUntilSentinel(int timeoutMs = 5000)
    {
        send(Sentinel);
        waitFor([](const QByteArray &b) { return b.endsWith(SentinelReply); }, timeoutMs);
        QByteArray out = m_buffer;
        m_buffer.clear();
        if (out.endsWith(SentinelReply))
            out.chop(SentinelReply.size());
        else
            out += "<no sentinel reply>";
        return out;
    }

    QByteArray &buffer() { return m_buffer; }
    QTcpSocket &socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_buffer;
};

// The tool's side of the serial line: the simulator's pseudo-terminal opened
// through its --link path, raw, the way a serial port is used.
class SerialEnd
{
public:
    explicit SerialEnd(const QString &path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0)
            return;
        termios settings{};
        tcgetattr(m_fd, &settings);
        cfmakeraw(&settings);
        tcsetattr(m_fd, TCSANOW, &settings);
    }
    ~SerialEnd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SerialEnd(const SerialEnd &) = delete;
    SerialEnd &operator=(const SerialEnd &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool write(const QByteArray &bytes) { return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size(); }

    // Reads until `count` bytes arrived or the time ran out.
    QByteArray read(qsizetype count, int timeoutMs = 5000)
    {
        QByteArray out;
        QDeadlineTimer deadline(timeoutMs);
        while (out.size() < count && !deadline.hasExpired()) {
            pollfd wait{m_fd, POLLIN, 0};
            if (::poll(&wait, 1, int(qMax<qint64>(1, deadline.remainingTime()))) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0)
                out.append(buffer, n);
        }
        return out;
    }

private:
    int m_fd = -1;
};

struct TagLines {
    QList<quint64> counters;
    QByteArray rest; // what was not a tag line
};

// Splits a received stream into tag reads and everything else.
TagLines splitTagLines(const QByteArray &bytes)
{
    static const QRegularExpression tag(QStringLiteral("TAG 3000E2001234([0-9A-F]{12})\r\n"));
    TagLines out;
    const QString text = QString::fromLatin1(bytes);
    qsizetype last = 0;
    for (auto it = tag.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out.rest += bytes.mid(last, m.capturedStart() - last);
        out.counters.append(m.captured(1).toULongLong(nullptr, 16));
        last = m.capturedEnd();
    }
    out.rest += bytes.mid(last);
    return out;
}

bool strictlyRising(const QList<quint64> &values)
{
    for (qsizetype i = 1; i < values.size(); ++i) {
        if (values[i] <= values[i - 1])
            return false;
    }
    return true;
}

QByteArray randomBytes(qsizetype size, quint32 seed, bool lineEndsAllowed)
{
    QRandomGenerator generator(seed);
    QByteArray out(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) {
        char c;
        do {
            c = char(generator.bounded(256));
        } while (!lineEndsAllowed && (c == '\r' || c == '\n'));
        out[i] = c;
    }
    return out;
}

} // namespace

class TestReaderSim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void announcesLoopbackPort();
    void configExchange_data();
    void configExchange();
    void otherCommands_data();
    void otherCommands();
    void lineEnds_data();
    void lineEnds();
    void randomBytesWithoutLineEnd();
    void randomBytesOfEveryValue();
    void resetDropsConnection();
    void newClientReplacesOld();
    void splitReplies();
    void stream_data();
    void stream();
    void flood();
    void ptyWithLink();
    void linkNeverReplacesAFile();
    void signalsEndCleanly_data();
    void signalsEndCleanly();
    void logUnlessQuiet_data();
    void logUnlessQuiet();
    void badCommandLine_data();
    void badCommandLine();

private:
    // One simulator for the tests that leave its configuration alone.
    std::unique_ptr<SimProcess> m_shared;
};

void TestReaderSim::initTestCase()
{
    QVERIFY2(QFileInfo::exists(QStringLiteral(ZANTO_SIM_PATH)), ZANTO_SIM_PATH);
    m_shared = std::make_unique<SimProcess>(QStringList{"--tcp", "0", "--quiet"});
    QVERIFY(m_shared->start());
}

void TestReaderSim::cleanupTestCase()
{
    if (m_shared) {
        QVERIFY2(m_shared->isRunning(), "the shared simulator died during the tests");
        QVERIFY(m_shared->stop());
    }
}

void TestReaderSim::announcesLoopbackPort()
{
    // Without --listen it must be on loopback, and stdout and the port file
    // must agree on the port.
    QCOMPARE(m_shared->announced(), "tcp: 127.0.0.1:" + QByteArray::number(m_shared->port()) + "\n");
}

void TestReaderSim::configExchange_data()
{
    QTest::addColumn<QByteArrayList>("commands");
    // Replies expected, in order; "ERR" stands for any text line starting so.
    QTest::addColumn<QByteArrayList>("replies");

    const QByteArray universal = "UUUUSABCDEC05RAB6LV1T0AH01A2";
    QTest::newRow("fresh reader") << QByteArrayList{"L"} << QByteArrayList{FreshConfigReply};
    QTest::newRow("Universal write") << QByteArrayList{"C028" + universal, "L"}
                                     << QByteArrayList{"OK\r\n", "0028" + universal + "\r"};
    QTest::newRow("Enhanced write") << QByteArrayList{"C023$$$$SRD001C98RJBELFAT0a", "L"}
                                    << QByteArrayList{"OK\r\n", "0023$$$$SRD001C98RJBELFAT0a\r"};
    QTest::newRow("Track write") << QByteArrayList{"C031$$$$STRK01C03R1B5LV3T0DH02X4AM7", "L"}
                                 << QByteArrayList{"OK\r\n", "0031$$$$STRK01C03R1B5LV3T0DH02X4AM7\r"};
    QTest::newRow("Track with default tags and string length")
        << QByteArrayList{"C031$$$$STRK02C99RBBBLF8T0DH00X48M0", "L"}
        << QByteArrayList{"OK\r\n", "0031$$$$STRK02C99RBBBLF8T0DH00X48M0\r"};
    QTest::newRow("Universal, then Standard")
        << QByteArrayList{"C028" + universal, "C017$$$$SYYYYYC99RAB0", "L"}
        << QByteArrayList{"OK\r\n", "OK\r\n", "0017$$$$SYYYYYC99RAB0\r"};
    QTest::newRow("Enhanced, then Standard")
        << QByteArrayList{"C023$$$$SRD001C98RJBELFAT0a", "L", "C017$$$$SRD002C01R4B1", "L"}
        << QByteArrayList{"OK\r\n", "0023$$$$SRD001C98RJBELFAT0a\r", "OK\r\n", "0017$$$$SRD002C01R4B1\r"};

    QTest::newRow("length digits one too many") << QByteArrayList{"C018$$$$SZZZZZC01R4B1", "L"}
                                                << QByteArrayList{"ERR", FreshConfigReply};
    QTest::newRow("length digits one too few") << QByteArrayList{"C016$$$$SZZZZZC01R4B1", "L"}
                                               << QByteArrayList{"ERR", FreshConfigReply};
    QTest::newRow("length not digits") << QByteArrayList{"C0A7$$$$SZZZZZC01R4B1", "L"}
                                       << QByteArrayList{"ERR", FreshConfigReply};
    QTest::newRow("length right, not a reply length") << QByteArrayList{"C016$$$$SZZZZC01R4B1", "L"}
                                                      << QByteArrayList{"ERR", FreshConfigReply};
    QTest::newRow("read range outside the table") << QByteArrayList{"C017$$$$SZZZZZC01RZB1", "L"}
                                                  << QByteArrayList{"ERR", FreshConfigReply};
    QTest::newRow("baud B8 is no code") << QByteArrayList{"C017$$$$SZZZZZC01R4B8", "L"}
                                        << QByteArrayList{"ERR", FreshConfigReply};
    QTest::newRow("heartbeat outside the table") << QByteArrayList{"C028UUUUSZZZZZC01R4B1LF5T0DH00A7", "L"}
                                                 << QByteArrayList{"ERR", FreshConfigReply};
    QTest::newRow("Universal prefix on a Standard string") << QByteArrayList{"C017UUUUSZZZZZC01R4B1", "L"}
                                                           << QByteArrayList{"ERR", FreshConfigReply};
    QTest::newRow("name letter missing") << QByteArrayList{"C017$$$$XZZZZZC01R4B1", "L"}
                                         << QByteArrayList{"ERR", FreshConfigReply};
    QTest::newRow("bare C0") << QByteArrayList{"C0", "L"} << QByteArrayList{"ERR", FreshConfigReply};
    QTest::newRow("C0 with one digit") << QByteArrayList{"C01", "L"} << QByteArrayList{"ERR", FreshConfigReply};
    QTest::newRow("a bad write keeps the last good one")
        << QByteArrayList{"C028" + universal, "C017$$$$SZZZZZC01RZB1", "L"}
        << QByteArrayList{"OK\r\n", "ERR", "0028" + universal + "\r"};
}

void TestReaderSim::configExchange()
{
    QFETCH(QByteArrayList, commands);
    QFETCH(QByteArrayList, replies);
    QCOMPARE(commands.size(), replies.size());

    // A fresh reader per row: the rows change its configuration.
    SimProcess sim({"--tcp", "0", "--quiet"});
    QVERIFY(sim.start());
    Client client;
    QVERIFY(client.connectTo(sim.port()));
    for (qsizetype i = 0; i < commands.size(); ++i) {
        client.send(commands[i] + '\r');
        if (replies[i] == "ERR") {
            const QByteArray line = client.takeLine();
            QVERIFY2(line.startsWith("ERR") && line.endsWith("\r\n"), line.constData());
        } else {
            QCOMPARE(client.take(replies[i].size()), replies[i]);
        }
    }
    // Nothing stray after the last reply.
    QCOMPARE(client.takeUntilSentinel(), QByteArray());
}

void TestReaderSim::otherCommands_data()
{
    QTest::addColumn<QByteArray>("command");
    // Empty: any text line that is not an error will do.
    QTest::addColumn<QByteArray>("reply");

    for (const char *command : {"G", "N", "F", "A", "S", "H", "LON", "LOFF", "M", "K", "IP"})
        QTest::newRow(command) << QByteArray(command) << QByteArray();

    QTest::newRow("tag write, 3 bytes") << QByteArray("W003ABDR4") << QByteArray("W OK 3\r\n");
    QTest::newRow("tag write, no data") << QByteArray("W000R4") << QByteArray("W OK 0\r\n");
    QTest::newRow("tag write, no code") << QByteArray("W002AB") << QByteArray("W OK 2\r\n");
    // 48 + 123 / 10 = 60, the character '<'.
    QTest::newRow("tag write, 123 bytes") << "W0<3" + QByteArray(123, 'x') + "C0" << QByteArray("W OK 123\r\n");
    QTest::newRow("tag write, CR and LF in the data") << QByteArray("W005A\rB\nCR4") << QByteArray("W OK 5\r\n");
    QByteArray everyByte;
    for (int value = 0; value < 256; ++value)
        everyByte.append(char(value));
    // 256 bytes: tens character 48 + 25 = 'I', units '6'.
    QTest::newRow("tag write, every byte value") << "W0I6" + everyByte + "R6" << QByteArray("W OK 256\r\n");
    QTest::newRow("tag write without length") << QByteArray("W0") << QByteArray("ERR W length\r\n");
    QTest::newRow("tag write, length below '0'") << QByteArray("W0 5ABCDE") << QByteArray("ERR W length\r\n");
    QTest::newRow("short write, 5 characters") << QByteArray("w512345R4") << QByteArray("w OK 5\r\n");
    QTest::newRow("short write, slash is plain") << QByteArray("w3/41R4") << QByteArray("w OK 3\r\n");
    QTest::newRow("short write, empty") << QByteArray("w0R4") << QByteArray("w OK 0\r\n");
    QTest::newRow("short write, text too short") << QByteArray("w5123") << QByteArray("ERR w length\r\n");
    QTest::newRow("short write alone") << QByteArray("w") << QByteArray("ERR w length\r\n");

    QTest::newRow("unknown letter") << QByteArray("X") << QByteArray("ERR ?\r\n");
    QTest::newRow("lower-case l") << QByteArray("l") << QByteArray("ERR ?\r\n");
    QTest::newRow("L with a blank") << QByteArray("L ") << QByteArray("ERR ?\r\n");
    QTest::newRow("LONG") << QByteArray("LONG") << QByteArray("ERR ?\r\n");
    QTest::newRow("RESET with more") << QByteArray("RESET2") << QByteArray("ERR ?\r\n");
    QTest::newRow("NUL and high bytes") << QByteArray("\0\xFF\x80", 3) << QByteArray("ERR ?\r\n");
}

void TestReaderSim::otherCommands()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);

    Client client;
    QVERIFY(client.connectTo(m_shared->port()));
    client.send(command + '\r');
    const QByteArray got = client.takeUntilSentinel();
    if (reply.isEmpty()) {
        QVERIFY2(got.endsWith("\r\n") && got.size() > 2, got.constData());
        QVERIFY2(got.indexOf("\r\n") == got.size() - 2, "one line only");
        QVERIFY2(!got.startsWith("ERR"), got.constData());
    } else {
        QCOMPARE(got, reply);
    }
}

void TestReaderSim::lineEnds_data()
{
    QTest::addColumn<QByteArrayList>("pieces"); // sent one after the other
    QTest::addColumn<QByteArray>("replies");

    QTest::newRow("CR") << QByteArrayList{"L\r"} << FreshConfigReply;
    QTest::newRow("LF") << QByteArrayList{"L\n"} << FreshConfigReply;
    QTest::newRow("CR LF is one end") << QByteArrayList{"L\r\nL\r\n"} << FreshConfigReply + FreshConfigReply;
    QTest::newRow("empty lines ignored") << QByteArrayList{"\r\r\n\n\rL\r"} << FreshConfigReply;
    QTest::newRow("command in two pieces") << QByteArrayList{"L", "\r"} << FreshConfigReply;
    QTest::newRow("tag write with CR in the data, in pieces")
        << QByteArrayList{"W004A\r", "B", "\nR4\r"} << QByteArray("W OK 4\r\n");
    QTest::newRow("line end right after tag write data")
        << QByteArrayList{"W002A\r\rL\r"} << "W OK 2\r\n" + FreshConfigReply;
    QTest::newRow("longest line kept") << QByteArrayList{QByteArray(4096, 'x') + '\r'} << QByteArray("ERR ?\r\n");
    QTest::newRow("one byte longer is dropped")
        << QByteArrayList{QByteArray(4097, 'x') + '\r'} << QByteArray("ERR line too long\r\n");
    QTest::newRow("long line in pieces, then a command")
        << QByteArrayList{QByteArray(3000, 'x'), QByteArray(3000, 'y'), "\rL\r"}
        << "ERR line too long\r\n" + FreshConfigReply;
}

void TestReaderSim::lineEnds()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(QByteArray, replies);

    Client client;
    QVERIFY(client.connectTo(m_shared->port()));
    for (const QByteArray &piece : pieces) {
        client.send(piece);
        QTest::qWait(20);
    }
    QCOMPARE(client.takeUntilSentinel(), replies);
}

void TestReaderSim::randomBytesWithoutLineEnd()
{
    Client client;
    QVERIFY(client.connectTo(m_shared->port()));
    client.send(randomBytes(100 * 1024, 1, false) + "\rL\r");
    QCOMPARE(client.takeUntilSentinel(), "ERR line too long\r\n" + FreshConfigReply);
}

void TestReaderSim::randomBytesOfEveryValue()
{
    Client client;
    QVERIFY(client.connectTo(m_shared->port()));
    // Line ends past the longest tag write's data make sure the final "L"
    // starts a line of its own whatever the noise ended with.
    client.send(randomBytes(100 * 1024, 2, true) + QByteArray(4096, '\r') + "L\r");
    const QByteArray got = client.takeUntilSentinel(15000);
    QVERIFY2(got.endsWith("\r\n" + FreshConfigReply), got.right(200).constData());
    QCOMPARE(client.socket().state(), QAbstractSocket::ConnectedState);
}

void TestReaderSim::resetDropsConnection()
{
    SimProcess sim({"--tcp", "0", "--quiet"});
    QVERIFY(sim.start());
    {
        Client client;
        QVERIFY(client.connectTo(sim.port()));
        // The reader is rebooting: the "L" behind the reset goes unanswered.
        client.send("RESET\rL\r");
        QVERIFY(client.waitFor([](const QByteArray &b) { return b.size() >= 7; }));
        if (client.socket().state() != QAbstractSocket::UnconnectedState)
            QVERIFY(client.socket().waitForDisconnected(5000));
        client.buffer() += client.socket().readAll();
        QCOMPARE(client.buffer(), QByteArray("RESET\r\n"));
    }
    Client again;
    QVERIFY(again.connectTo(sim.port()));
    again.send("L\r");
    QCOMPARE(again.take(FreshConfigReply.size()), FreshConfigReply);
}

void TestReaderSim::newClientReplacesOld()
{
    Client first;
    QVERIFY(first.connectTo(m_shared->port()));
    first.send("L\r");
    QCOMPARE(first.take(FreshConfigReply.size()), FreshConfigReply);

    Client second;
    QVERIFY(second.connectTo(m_shared->port()));
    if (first.socket().state() != QAbstractSocket::UnconnectedState)
        QVERIFY(first.socket().waitForDisconnected(5000));
    second.send("L\r");
    QCOMPARE(second.take(FreshConfigReply.size()), FreshConfigReply);
}

void TestReaderSim::splitReplies()
{
    SimProcess sim({"--tcp", "0", "--quiet", "--split", "300"});
    QVERIFY(sim.start());
    Client client;
    QVERIFY(client.connectTo(sim.port()));
    // Two commands at once: each reply comes in two pieces, and the second
    // reply must wait until the first one is complete.
    client.send("L\rS\r");
    const QByteArray second = "ZANTO READER V3.0 SIM\r\n";
    const QByteArray all = FreshConfigReply + second;
    QList<qsizetype> boundaries; // buffer sizes after each read
    QVERIFY(client.waitFor([&](const QByteArray &b) {
        if (!b.isEmpty() && (boundaries.isEmpty() || boundaries.last() != b.size()))
            boundaries.append(b.size());
        return b.size() >= all.size();
    }, 10000));
    QCOMPARE(client.buffer(), all);
    // The first half of each reply arrives on its own; the second half of the
    // first reply and the first half of the next may come together.
    const qsizetype first = FreshConfigReply.size();
    const qsizetype secondHalfStart = first + second.size() / 2;
    QCOMPARE(boundaries.first(), first / 2);
    QVERIFY(boundaries.contains(secondHalfStart));
    QCOMPARE(boundaries.last(), all.size());
    for (const qsizetype boundary : boundaries)
        QVERIFY(boundary == first / 2 || boundary == first || boundary == secondHalfStart || boundary == all.size());
}

void TestReaderSim::stream_data()
{
    QTest::addColumn<QString>("hz");
    QTest::addColumn<int>("lines"); // at least this many within the wait

    QTest::newRow("200 a second") << QStringLiteral("200") << 20;
    QTest::newRow("1000 a second") << QStringLiteral("1000") << 200;
    QTest::newRow("fractional 4.5 a second") << QStringLiteral("4.5") << 2;
}

void TestReaderSim::stream()
{
    QFETCH(QString, hz);
    QFETCH(int, lines);

    SimProcess sim({"--tcp", "0", "--quiet", "--stream", hz});
    QVERIFY(sim.start());
    Client client;
    QVERIFY(client.connectTo(sim.port()));
    QVERIFY(client.waitFor([&](const QByteArray &b) { return b.count("TAG ") >= lines; }, 5000));
    // A command in the middle of the stream is answered whole, between lines.
    client.send("L\r");
    QVERIFY(client.waitFor([](const QByteArray &b) { return b.contains(FreshConfigReply); }, 5000));
    // Cut at a line end so no half line is left over.
    QVERIFY(client.waitFor([](const QByteArray &b) { return b.endsWith("\r\n"); }));
    const TagLines split = splitTagLines(client.buffer());
    QCOMPARE(split.rest, FreshConfigReply);
    QVERIFY(split.counters.size() >= lines);
    QVERIFY(strictlyRising(split.counters));
}

void TestReaderSim::flood()
{
    SimProcess sim({"--tcp", "0", "--quiet", "--flood"});
    QVERIFY(sim.start());
    Client client;
    QVERIFY(client.connectTo(sim.port()));
    QVERIFY(client.waitFor([](const QByteArray &b) { return b.size() >= 2 * 1024 * 1024; }, 10000));
    client.send("L\r");
    QVERIFY(client.waitFor([](const QByteArray &b) { return b.contains(FreshConfigReply); }, 10000));
    QVERIFY(client.waitFor([](const QByteArray &b) { return b.endsWith("\r\n"); }));
    const TagLines split = splitTagLines(client.buffer());
    QCOMPARE(split.rest, FreshConfigReply);
    QVERIFY(strictlyRising(split.counters));
}

void TestReaderSim::ptyWithLink()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("reader"));
    // An old link from an earlier run is replaced.
    QVERIFY(QFile::link(QStringLiteral("/nonexistent"), link));
    SimProcess sim({"--pty", "--link", link, "--tcp", "0", "--quiet"});
    QVERIFY(sim.start());
    QVERIFY2(sim.ptyPath().startsWith(QLatin1String("/dev/pts/")), qPrintable(sim.ptyPath()));
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.ptyPath());

    {
        SerialEnd serial(link);
        QVERIFY(serial.isOpen());
        QVERIFY(serial.write("L\r"));
        QCOMPARE(serial.read(FreshConfigReply.size()), FreshConfigReply);
        // On a serial line a reset is only answered; the line stays.
        QVERIFY(serial.write("RESET\r"));
        QCOMPARE(serial.read(7), QByteArray("RESET\r\n"));
    }
    // The tool closing and reopening its port does not hang the reader up.
    SerialEnd serial(link);
    QVERIFY(serial.isOpen());
    const QByteArray config = "$$$$SPTY01C01R4B1";
    QVERIFY(serial.write("C017" + config + "\r"));
    QCOMPARE(serial.read(4), QByteArray("OK\r\n"));
    QVERIFY(serial.write("L\r"));
    QCOMPARE(serial.read(22), "0017" + config + "\r");

    // One reader behind both links: TCP sees what came in on the serial side.
    Client client;
    QVERIFY(client.connectTo(sim.port()));
    client.send("L\r");
    QCOMPARE(client.take(22), "0017" + config + "\r");

    QVERIFY(sim.stop());
    QVERIFY2(!QFileInfo(link).isSymLink(), "the link outlived the simulator");
}

void TestReaderSim::linkNeverReplacesAFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("precious"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep me");
    }
    QProcess process;
    process.start(QStringLiteral(ZANTO_SIM_PATH), {"--pty", "--link", path, "--quiet"});
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY(process.exitCode() != 0);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep me"));
}

void TestReaderSim::signalsEndCleanly_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestReaderSim::signalsEndCleanly()
{
    QFETCH(int, signalNumber);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("reader"));
    SimProcess sim({"--pty", "--link", link, "--quiet", "--stream", "500"});
    QVERIFY(sim.start());
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(sim.stop(signalNumber));
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestReaderSim::logUnlessQuiet_data()
{
    QTest::addColumn<bool>("quiet");
    QTest::newRow("logging") << false;
    QTest::newRow("quiet") << true;
}

void TestReaderSim::logUnlessQuiet()
{
    QFETCH(bool, quiet);
    QStringList arguments{"--tcp", "0"};
    if (quiet)
        arguments << "--quiet";
    SimProcess sim(arguments);
    QVERIFY(sim.start());
    Client client;
    QVERIFY(client.connectTo(sim.port()));
    client.send("L\r");
    QCOMPARE(client.take(FreshConfigReply.size()), FreshConfigReply);
    QVERIFY(sim.stop());
    const QByteArray log = sim.process().readAllStandardError();
    if (quiet) {
        QCOMPARE(log, QByteArray());
    } else {
        // The command and the reply are both named.
        QVERIFY2(log.contains("$$$$SXXXXXC01R4B1"), log.constData());
        QVERIFY2(QRegularExpression(QStringLiteral("\\bL$"), QRegularExpression::MultilineOption)
                     .match(QString::fromLatin1(log))
                     .hasMatch(),
                 log.constData());
    }
}

void TestReaderSim::badCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing to offer") << QStringList{};
    QTest::newRow("port too big") << QStringList{"--tcp", "65536"};
    QTest::newRow("port not a number") << QStringList{"--tcp", "x"};
    QTest::newRow("link without pty") << QStringList{"--tcp", "0", "--link", "/nonexistent/reader"};
    QTest::newRow("port file without tcp") << QStringList{"--pty", "--port-file", "/nonexistent/port"};
    QTest::newRow("listen address not an address") << QStringList{"--tcp", "0", "--listen", "not-an-address"};
    QTest::newRow("negative split") << QStringList{"--tcp", "0", "--split", "-1"};
    QTest::newRow("stream rate not a number") << QStringList{"--tcp", "0", "--stream", "fast"};
    QTest::newRow("negative stream rate") << QStringList{"--tcp", "0", "--stream", "-3"};
    QTest::newRow("unknown option") << QStringList{"--tcp", "0", "--serial", "x"};
    QTest::newRow("stray argument") << QStringList{"--tcp", "0", "extra"};
}

void TestReaderSim::badCommandLine()
{
    QFETCH(QStringList, arguments);
    QProcess process;
    process.start(QStringLiteral(ZANTO_SIM_PATH), arguments);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
    QVERIFY(!process.readAllStandardError().isEmpty());
}

QTEST_GUILESS_MAIN(TestReaderSim)
#include "tst_readersim.moc"
