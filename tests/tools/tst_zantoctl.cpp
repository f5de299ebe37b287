// zantoctl run as the program it is, in a temporary working folder, against
// the reader simulator over 127.0.0.1 and its pseudo-terminal, and against a
// loopback server of our own that stays silent or dies half way through a
// reply. Expected files and lines are typed by hand from the reader's tables.
#include "support/restricteddir.h"
#include "support/simprocess.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <csignal>
#include <functional>
#include <memory>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out, err;
};

// A reader that takes the command and answers each with the same bytes, or
// with nothing, and may hang up after its answer.
class FakeReader : public QObject
{
public:
    FakeReader(const QByteArray &answer, bool hangUp, quint16 port = 0)
    {
        server.listen(QHostAddress::LocalHost, port);
        connect(&server, &QTcpServer::newConnection, this, [this, answer, hangUp] {
            QTcpSocket *socket = server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket, answer, hangUp] {
                if (!socket->readAll().contains('\r'))
                    return;
                if (onCommand)
                    onCommand();
                if (!answer.isEmpty())
                    socket->write(answer);
                if (hangUp)
                    socket->disconnectFromHost();
            });
        });
    }
    QTcpServer server;
    std::function<void()> onCommand;
};

// The fake readers of the exit status table, by what they answer. "half"
// hangs up after its answer: 12 of the 22 characters of a Standard reply.
const QHash<QString, QByteArray> FakeAnswers{
    {"silent", {}},
    {"silent on 10000", {}},
    {"silent, interrupted", {}},
    {"half", "0017$$$$SXXX"},
    {"half, stays", "0017$$$$SXXX"},
    {"tag reads", "TAG 1\r\n"},
    {"name with a slash", "0017$$$$SAB/CDC01R4B1\r"},
    {"flood, then the reply", QByteArray(200 * 1024, 'x') + "\r\n0017$$$$SXXXXXC01R4B1\r"},
};

// A loopback port whose queue of connections not yet taken is full: the
// kernel drops further handshakes, so a connection there is never made nor
// refused, as with a reader's address where nothing answers.
struct FullListener {
    FullListener()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0 || ::listen(fd, 0) != 0
            || ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return;
        port = ntohs(address.sin_port);
        for (int &filler : fillers) {
            filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(filler, reinterpret_cast<sockaddr *>(&address), length);
        }
    }
    ~FullListener()
    {
        for (int filler : fillers)
            ::close(filler);
        ::close(fd);
    }
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int fillers[3] = {-1, -1, -1};
    quint16 port = 0;
};

// Files typed by hand, twelve lines: ReaderName, Mode, BaudRate, RS485Mode,
// Frequency, TermChar, HeadChar, StringLength, HandShake, Heartbeat,
// TagsToRead, ReadRange.
const QByteArray Starting = "XXXXX\r\nStandard\r\n9600\r\n4-wire\r\nFrequency hopping default sub-bands\r\n0D\r\n00\r\n"
                            "F5\r\n48\r\nNo Heartbeat\r\nRead Always\r\nRange 4(100%)\r\n";
const QByteArray Universal = "UNI04\r\nUniversal\r\n115200\r\n4-wire\r\nAdaptive Frequency Hopping default sub-bands\r\n"
                             "03\r\n02\r\nData+Mark\r\n48\r\nHeartbeat with handshake\r\nRead Always\r\n90%\r\n";

} // namespace

class TstZantoctl : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void roundTrip_data();
    void roundTrip();
    void exitStatus_data();
    void exitStatus();
    void monitorEnds_data();
    void monitorEnds();
    void liveReader_data();
    void liveReader();
    void outputCannotBeWritten_data();
    void outputCannotBeWritten();

private:
    Run run(const QStringList &arguments, const std::function<void(QProcess &)> &setUp = {});
    bool startSimulator(const QStringList &extra = {});
    QString dir(const QString &name) const { return m_dir->filePath(name); }
    void writeFile(const QString &name, const QByteArray &content) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimulatorProcess> m_sim;
};

void TstZantoctl::init()
{
    m_sim.reset();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

Run TstZantoctl::run(const QStringList &arguments, const std::function<void(QProcess &)> &setUp)
{
    QProcess process;
    process.setProgram(QStringLiteral(ZANTOCTL_PATH));
    process.setArguments(arguments);
    process.setWorkingDirectory(m_dir->path());
    QSignalSpy finished(&process, &QProcess::finished);
    if (setUp)
        setUp(process);
    process.start();
    // Waited for with the event loop running: the fake reader lives here.
    if (!finished.wait(60000)) {
        process.kill();
        process.waitForFinished();
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

bool TstZantoctl::startSimulator(const QStringList &extra)
{
    m_sim = std::make_unique<SimulatorProcess>(
        QStringLiteral(ZANTO_SIM_PATH),
        QStringList{"--tcp", "0", "--quiet", "--pty", "--link", dir(QStringLiteral("reader"))} + extra);
    return m_sim->start();
}

void TstZantoctl::writeFile(const QString &name, const QByteArray &content) const
{
    QFile file(dir(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// write-config --verify, then read-config -o into a folder: the file read back
// is named after the reader and holds, byte for byte, what the window writes
// for that reply: the starting texts with the reply's fields over them.
void TstZantoctl::roundTrip_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("fresh reader, tcp") << "tcp" << QByteArray() << "XXXXX.zq" << Starting;
    // Fields Standard does not carry come back as the starting texts.
    QTest::newRow("Standard, serial")
        << "serial"
        << QByteArray("STD01\r\nStandard\r\n19200\r\n2-wire\r\nAdaptive Frequency all sub-bands\r\n0A\r\n01\r\nV3\r\n"
                      "4C\r\nHeartbeat\r\n5\r\n10%\r\n")
        << "STD01.zq"
        << QByteArray("STD01\r\nStandard\r\n19200\r\n2-wire\r\nAdaptive Frequency all sub-bands\r\n0D\r\n00\r\nF5\r\n"
                      "48\r\nNo Heartbeat\r\nRead Always\r\n10%\r\n");
    const QByteArray enhanced = "ENH02\r\nEnhanced\r\n4800\r\n4-wire\r\n42\r\n1B\r\n00\r\nMark only\r\n48\r\n"
                                "No Heartbeat\r\nRead Always\r\nRange 2(33%)\r\n";
    QTest::newRow("Enhanced, settings1.ini TCP/IP") << "settings1.ini" << enhanced << "ENH02.zq" << enhanced;
    const QByteArray track = "TRK03\r\nTrack\r\n57600\r\n2-wire\r\nFrequency hopping all sub-bands\r\n0D\r\n7E\r\n17\r\n"
                             "06\r\nNo Heartbeat\r\n7\r\n60%\r\n";
    QTest::newRow("Track, --settings serial") << "--settings" << track << "TRK03.zq" << track;
    QTest::newRow("Universal, tcp") << "tcp" << Universal << "UNI04.zq" << Universal;
}

void TstZantoctl::roundTrip()
{
    QFETCH(QString, link);
    QFETCH(QByteArray, written);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, expected);
    QVERIFY(startSimulator());

    const QByteArray port = QByteArray::number(m_sim->port());
    QStringList linkArguments;
    if (link == QLatin1String("tcp")) {
        linkArguments = {"--tcp", QStringLiteral("127.0.0.1:%1").arg(m_sim->port())};
    } else if (link == QLatin1String("serial")) {
        linkArguments = {"--serial", dir("reader")};
    } else if (link == QLatin1String("settings1.ini")) { // the default: the current folder's
        writeFile("settings1.ini", "TCP/IP\r\n127.0.0.1\r\n\r\n" + port + "\r\n");
    } else { // a serial device path on line 1, the baud rate left to its start text
        writeFile("link.ini", dir("reader").toLocal8Bit() + "\r\n\r\n\r\n\r\n");
        linkArguments = {"--settings", dir("link.ini")};
    }

    if (!written.isEmpty()) {
        writeFile("in.zq", written);
        const Run w = run(linkArguments + QStringList{"write-config", "in.zq", "--verify"});
        QVERIFY2(w.exitCode == 0, w.err.constData());
        QVERIFY2(w.out.contains("\tOK/0D/0A\n"), w.out.constData());
    }
    QVERIFY(QDir().mkdir(dir("out")));
    const Run r = run(linkArguments + QStringList{"read-config", "-o", "out"});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    QCOMPARE(QDir(dir("out")).entryList(QDir::Files), QStringList{fileName});
    QCOMPARE(r.out, "out/" + fileName.toLatin1() + "\n"); // the file, for a script to take up
    QFile file(dir("out/" + fileName));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), expected);
}

// Arguments -> exit status -> what standard error says -> what standard
// output holds. "@TCP" is 127.0.0.1 and the port of the row's reader, "@DIR"
// the working folder.
void TstZantoctl::exitStatus_data()
{
    QTest::addColumn<QString>("reader"); // sim, sim-ignore-writes, one of FakeAnswers, closed, full, or none
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QByteArray>("zq");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stderrPhrase");
    QTest::addColumn<QString>("stdoutPattern");

    const QByteArray none;
    const QStringList tcp{"--tcp", "@TCP"};
    const QByteArray badRange = "RR001\r\nStandard\r\n9600\r\n4-wire\r\nFrequency hopping default sub-bands\r\n0D\r\n00\r\n"
                                "F5\r\n48\r\nNo Heartbeat\r\nRead Always\r\n110%\r\n";
    const QString iso = QStringLiteral("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}(Z|[+-]\\d\\d:\\d\\d)");

    // 3: bad input, said before any link is opened
    QTest::newRow("no command") << "none" << none << none << QStringList{} << 3 << "no command given" << "";
    QTest::newRow("unknown option") << "none" << none << none << QStringList{"send", "x", "--bogus"} << 3
                                    << "unknown option --bogus" << "";
    QTest::newRow("option of another command") << "none" << none << none << QStringList{"send", "x", "--verify"} << 3
                                               << "--verify does not go with send" << "";
    QTest::newRow("two links") << "none" << none << none
                               << QStringList{"--tcp", "127.0.0.1", "--serial", "@DIR/x", "monitor"} << 3
                               << "give one link only" << "";
    QTest::newRow("no settings1.ini") << "none" << none << none << QStringList{"monitor"} << 3
                                      << "settings1.ini not read" << "";
    QTest::newRow("settings1.ini TCP port") << "none" << QByteArray("TCP/IP\r\n127.0.0.1\r\n9600\r\nten\r\n") << none
                                            << QStringList{"monitor"} << 3 << "line 4: \"ten\" is no TCP port" << "";
    QTest::newRow("zq with no mode") << "closed" << none << QByteArray("NOMOD\r\nFast\r\n") << tcp + QStringList{"write-config", "in.zq"}
                                     << 3 << "Not sent: " << "";
    QTest::newRow("zq read range") << "closed" << none << badRange << tcp + QStringList{"write-config", "in.zq"} << 3
                                   << "Not sent: Read Range \"110%\" has no code" << "";
    QTest::newRow("zq missing") << "closed" << none << none << tcp + QStringList{"write-config", "none.zq"} << 3
                                << "there is no file none.zq" << "";
    QTest::newRow("tag data too long") << "closed" << none << none
                                       << tcp + QStringList{"tag-write", QString(2080, QLatin1Char('A'))} << 3
                                       << "at most 2079" << "";
    QTest::newRow("mini too long") << "closed" << none << none << tcp + QStringList{"tag-write", "123456", "--mini"}
                                   << 3 << "at most 5 characters" << "";
    QTest::newRow("outside 8 bits") << "closed" << none << none << tcp + QStringList{"send", QStringLiteral("A\u20ac")}
                                    << 3 << "U+20AC, a character outside 8 bits" << "";
    QTest::newRow("option without its value") << "none" << none << none << QStringList{"monitor", "--timeout"} << 3
                                              << "--timeout needs a value: --timeout S" << "";
    QTest::newRow("switch with a value") << "none" << none << none << QStringList{"monitor", "--json=yes"} << 3
                                         << "--json takes no value" << "";
    QTest::newRow("option twice") << "none" << none << none << QStringList{"monitor", "--for", "1", "--for=2"} << 3
                                  << "--for is given twice" << "";
    QTest::newRow("unknown command") << "none" << none << none << QStringList{"moniter"} << 3
                                     << "unknown command \"moniter\"; the commands are" << "";
    QTest::newRow("help for no command") << "none" << none << none << QStringList{"help", "moniter"} << 3
                                         << "no help for \"moniter\"" << "";
    QTest::newRow("argument to monitor") << "none" << none << none << QStringList{"monitor", "x"} << 3
                                         << "monitor takes no argument (\"x\" given)" << "";
    QTest::newRow("--baud without --serial") << "none" << none << none
                                             << QStringList{"--tcp", "127.0.0.1:1", "--baud", "19200", "monitor"} << 3
                                             << "--baud goes with --serial" << "";
    QTest::newRow("--baud not a rate") << "none" << none << none
                                       << QStringList{"--serial", "@DIR/x", "--baud", "fast", "monitor"} << 3
                                       << "--baud wants a rate such as 9600, not \"fast\"" << "";
    QTest::newRow("--serial empty") << "none" << none << none << QStringList{"--serial", "", "monitor"} << 3
                                    << "--serial wants a port number or a device path" << "";
    QTest::newRow("--tcp without its host") << "none" << none << none << QStringList{"--tcp", ":10000", "monitor"} << 3
                                            << "--tcp wants the reader's address" << "";
    QTest::newRow("settings1.ini baud rate") << "none" << QByteArray("x\r\n\r\nfast\r\n10000\r\n") << none
                                             << QStringList{"monitor"} << 3 << "line 3: \"fast\" is no baud rate" << "";
    QTest::newRow("setup-tag, neither read nor write") << "closed" << none << none << tcp + QStringList{"setup-tag", "erase"}
                                                       << 3 << "setup-tag wants one of read, write, not \"erase\"" << "";
    QTest::newRow("--code outside 8 bits") << "closed" << none << none
                                           << tcp + QStringList{"tag-write", "AB", "--code", QStringLiteral("R\u20ac")} << 3
                                           << "--code holds U+20AC, a character outside 8 bits" << "";
    QTest::newRow("send without TEXT") << "closed" << none << none << tcp + QStringList{"send"} << 3
                                       << "send wants TEXT" << "";
    QTest::newRow("bad rule") << "closed" << none << none << tcp + QStringList{"send", "x", "--rule", "first"} << 3
                              << "--rule wants" << "";
    QTest::newRow("bad button") << "closed" << none << none << tcp + QStringList{"button", "input4"} << 3
                                << "button wants one of" << "";
    QTest::newRow("--quiet-ms too long") << "closed" << none << none << tcp + QStringList{"monitor", "--quiet-ms", "60001"}
                                         << 3 << "--quiet-ms wants milliseconds from 1 to 60000" << "";
    QTest::newRow("bad timeout") << "closed" << none << none << tcp + QStringList{"monitor", "--timeout", "0"} << 3
                                 << "--timeout wants seconds" << "";
    QTest::newRow("port with a sign") << "none" << none << none << QStringList{"--tcp", "127.0.0.1:+1", "monitor"} << 3
                                      << "\"+1\" is no TCP port" << "";
    QTest::newRow("-o into no folder") << "closed" << none << none
                                       << tcp + QStringList{"read-config", "-o", "nothere/x.zq"} << 3 << "no folder"
                                       << "";
    // 0: help
    QTest::newRow("--help") << "none" << none << none << QStringList{"--help"} << 0 << ""
                            << "^Usage: zantoctl \\[LINK\\] COMMAND \\[ARGUMENT\\] \\[OPTIONS\\]\n(?s).*"
                               "^Options:\n  --quiet-ms N +a burst ends after N ms without a byte \\(default 250\\)\n"
                               "  --timeout S +seconds to wait for the link, and for an answer after each command "
                               "\\(default 3\\)\n  -h, --help +show this help\n";
    QTest::newRow("--version") << "none" << none << none << QStringList{"--version"} << 0 << "" << "^zantoctl \\d+\\.\\d+";
    QTest::newRow("help COMMAND") << "none" << none << none << QStringList{"help", "tag-write"} << 0 << ""
                                  << "^Usage: zantoctl \\[LINK\\] tag-write DATA";
    QTest::newRow("COMMAND --help") << "none" << none << none << QStringList{"monitor", "--help"} << 0 << ""
                                    << "--for S";
    // 2: no link
    QTest::newRow("connection refused") << "closed" << none << none << tcp + QStringList{"monitor"} << 2
                                        << "could not connect to 127.0.0.1" << "";
    QTest::newRow("connection never made") << "full" << none << none << tcp + QStringList{"monitor", "--timeout", "0.3"}
                                           << 2 << "no connection to 127.0.0.1 port" << "";
    QTest::newRow("IPv6 address and port") << "none" << none << none << QStringList{"--tcp", "[::1]:1", "monitor"} << 2
                                           << "could not connect to ::1 port 1" << "";
    QTest::newRow("no serial port") << "none" << none << none << QStringList{"--serial", "@DIR/none", "monitor"} << 2
                                    << "not available" << "";
    QTest::newRow("dies mid-reply") << "half" << none << none << tcp + QStringList{"read-config", "-o", "."} << 2
                                    << "no file was written" << "^$";
    // 1: no answer
    QTest::newRow("--tcp HOST: port 10000") << "silent on 10000" << none << none
                                            << QStringList{"--tcp", "127.0.0.1", "send", "x", "--wait", "0.3"} << 1
                                            << "no answer within" << "^$";
    QTest::newRow("no answer, the default timeout") << "silent" << none << none << tcp + QStringList{"send", "x"} << 1
                                                    << "no answer within 3 s" << "^$";
    QTest::newRow("no answer") << "silent" << none << none << tcp + QStringList{"send", "x", "--wait", "0.3"} << 1
                               << "no answer within" << "^$";
    QTest::newRow("verify, the reader dies before answering") << "half" << none << Universal
                                                             << tcp + QStringList{"write-config", "in.zq", "--verify"}
                                                             << 2 << "Nothing was verified" << "";
    QTest::newRow("verify, the write is never answered") << "silent" << none << Universal
                                                         << tcp + QStringList{"write-config", "in.zq", "--verify", "--timeout", "0.3"}
                                                         << 1 << "no answer to the configuration write" << "^$";
    QTest::newRow("no configuration reply") << "silent" << none << none
                                            << tcp + QStringList{"read-config", "--timeout", "0.3"} << 1
                                            << "no configuration reply within 0.3 s: nothing came" << "^$";
    QTest::newRow("a reply begun, never ended") << "half, stays" << none << none
                                                << tcp + QStringList{"read-config", "--timeout", "0.3"} << 1
                                                << "a configuration reply began but only 12 of its 22 characters came"
                                                << "^$";
    QTest::newRow("tag reads, no reply") << "tag reads" << none << none
                                         << tcp + QStringList{"read-config", "--timeout", "0.3"} << 1
                                         << "7 bytes of other data came: TAG 1/0D/0A" << "^$";
    QTest::newRow("interrupted before the answer") << "silent, interrupted" << none << none
                                                   << tcp + QStringList{"send", "x", "--timeout", "100"} << 1
                                                   << "interrupted before the answer came" << "^$";
    QTest::newRow("-o FOLDER, a reader name no file can have") << "name with a slash" << none << none
                                                                << tcp + QStringList{"read-config", "-o", "."} << 3
                                                                << "Give -o a file name instead of a folder" << "^$";
    // 4: --verify against a reader that keeps its old configuration
    QTest::newRow("verify differs") << "sim-ignore-writes" << none << Universal
                                    << tcp + QStringList{"write-config", "in.zq", "--verify"} << 4
                                    << "differs from in.zq in 9 field(s)"
                                    << "^Mode: expected \"Universal\", the reader has \"Standard\"$(?s).*"
                                       "^Term Char\\(HEX\\): expected \"03\", the reader reports none$";
    QTest::newRow("verify differs in one field") << "sim-ignore-writes" << none << "XXXXY" + Starting.mid(5)
                                                 << tcp + QStringList{"write-config", "in.zq", "--verify"} << 4
                                                 << "differs from in.zq in 1 field(s)"
                                                 << "^ReaderName: expected \"XXXXY\", the reader has \"XXXXX\"$";
    // 0: answers printed as the grid shows them
    // --wait, not the long --timeout, ends the listening.
    QTest::newRow("answer printed") << "sim" << none << none
                                    << tcp + QStringList{"send", "X", "--wait", "0.3", "--timeout", "100"} << 0 << ""
                                    << "^" + iso + "\t 45 52 52 20 3F 0D 0A\tERR \\?/0D/0A\n$";
    QTest::newRow("-- before a TEXT starting with -") << "sim" << none << none
                                                      << tcp + QStringList{"send", "--wait=0.3", "--", "-X"} << 0 << ""
                                                      << "\tERR \\?/0D/0A\n$";
    QTest::newRow("answer as JSON") << "sim" << none << none << tcp + QStringList{"send", "X", "--wait", "0.3", "--json"}
                                    << 0 << "" << "^\\{\"time\":\"" + iso + "\",\"hex\":\"455252203F0D0A\",\"length\":7\\}\n$";
    QTest::newRow("tag data escapes") << "sim" << none << none << tcp + QStringList{"tag-write", "AB/41", "--wait", "0.3"}
                                      << 0 << "" << "\tW OK 3/0D/0A\n$";
    QTest::newRow("tag write short form, five typed") << "sim" << none << none
                                                      << tcp + QStringList{"tag-write", "/41BC", "--mini", "--wait", "0.3"}
                                                      << 0 << "" << "\tw OK 5/0D/0A\n$";
    QTest::newRow("setup-tag read") << "sim" << none << none << tcp + QStringList{"setup-tag", "read"} << 0 << ""
                                    << "\tSETUP TAG READ OK/0D/0A\n$";
    QTest::newRow("setup-tag write") << "sim" << none << none << tcp + QStringList{"setup-tag", "write"} << 0 << ""
                                     << "\tSETUP TAG WRITE OK/0D/0A\n$";
    QTest::newRow("a flood of 200 KiB before the reply") << "flood, then the reply" << none << none
                                                         << tcp + QStringList{"read-config"} << 0 << ""
                                                         << "^ReaderName: XXXXX\nMode: Standard\n(.+\n){9}Read Range: Range 4\\(100%\\)\n$";
    QTest::newRow("read-config") << "sim" << none << none << tcp + QStringList{"read-config"} << 0 << ""
                                 << "^ReaderName: XXXXX\nMode: Standard\n(.+\n){9}Read Range: Range 4\\(100%\\)\n$";
    QTest::newRow("read-config JSON") << "sim" << none << none << tcp + QStringList{"read-config", "--json"} << 0 << ""
                                      << "^\\{\"ReaderName\":\"XXXXX\",\"Mode\":\"Standard\",.*\"ReadRange\":\"Range 4\\(100%\\)\"\\}\n$";
    QTest::newRow("reset closes the link") << "sim" << none << none << tcp + QStringList{"ethernet", "reset"} << 0
                                           << "restarting" << "\tRESET/0D/0A\n$";
    QTest::newRow("RESET during --wait") << "sim" << none << none << tcp + QStringList{"ethernet", "reset", "--wait", "0.5"}
                                         << 0 << "restarting" << "\tRESET/0D/0A\n$";
    QTest::newRow("--quiet-ms at its longest") << "sim" << none << none
                                               << tcp + QStringList{"monitor", "--for", "0.1", "--quiet-ms", "60000"} << 0
                                               << "" << "^$";
    QTest::newRow("monitor --for") << "sim" << none << none
                                   << tcp + QStringList{"monitor", "--for", "0.3", "--timeout", "100"} << 0 << ""
                                   << "^$";
}

void TstZantoctl::exitStatus()
{
    QFETCH(QString, reader);
    QFETCH(QByteArray, settings);
    QFETCH(QByteArray, zq);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, stderrPhrase);
    QFETCH(QString, stdoutPattern);

    std::unique_ptr<FakeReader> fake;
    std::unique_ptr<FullListener> full;
    QProcess *running = nullptr;
    quint16 port = 0;
    if (reader.startsWith(QLatin1String("sim"))) {
        QVERIFY(startSimulator(reader == QLatin1String("sim") ? QStringList{} : QStringList{"--ignore-writes"}));
        port = m_sim->port();
    } else if (FakeAnswers.contains(reader)) {
        const quint16 asked = reader == QLatin1String("silent on 10000") ? 10000 : 0;
        fake = std::make_unique<FakeReader>(FakeAnswers.value(reader), reader == QLatin1String("half"), asked);
        if (asked && !fake->server.isListening())
            QSKIP("port 10000 of 127.0.0.1 is taken");
        port = fake->server.serverPort();
        if (reader == QLatin1String("silent, interrupted"))
            fake->onCommand = [&running] { running->terminate(); };
    } else if (reader == QLatin1String("closed")) {
        QTcpServer gone; // a port nobody listens on once it closes
        QVERIFY(gone.listen(QHostAddress::LocalHost, 0));
        port = gone.serverPort();
    } else if (reader == QLatin1String("full")) {
        full = std::make_unique<FullListener>();
        QVERIFY(full->port != 0);
        port = full->port;
    }
    if (!settings.isEmpty())
        writeFile("settings1.ini", settings);
    if (!zq.isEmpty())
        writeFile("in.zq", zq);
    for (QString &argument : arguments)
        argument.replace(QLatin1String("@TCP"), QStringLiteral("127.0.0.1:%1").arg(port)).replace(QLatin1String("@DIR"), m_dir->path());

    const Run r = run(arguments, [&running](QProcess &process) { running = &process; });
    QVERIFY2(r.exitCode == exitCode, (QByteArray::number(r.exitCode) + ": " + r.err).constData());
    if (stderrPhrase.isEmpty())
        QVERIFY2(r.err.isEmpty(), r.err.constData());
    else
        QVERIFY2(QString::fromLocal8Bit(r.err).contains(stderrPhrase), r.err.constData());
    if (!stdoutPattern.isEmpty()) {
        const QRegularExpression pattern(stdoutPattern, QRegularExpression::MultilineOption);
        QVERIFY2(pattern.match(QString::fromLocal8Bit(r.out)).hasMatch(), r.out.constData());
    }
    // A configuration file appears only when a whole reply came.
    if (arguments.contains(QLatin1String("-o")) && exitCode != 0)
        QCOMPARE(QDir(m_dir->path()).entryList({"*.zq"}, QDir::Files), QStringList{});
}

// Listening over the pseudo-terminal: every line is one burst as the grid
// shows it, out as soon as the burst ends (a script follows it live), and the
// run ends 0 on SIGTERM, 2 when the reader goes away.
void TstZantoctl::monitorEnds_data()
{
    QTest::addColumn<QStringList>("reader"); // the simulator's options
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("lines"); // seen while the run goes on
    QTest::addColumn<QString>("end"); // SIGTERM, SIGINT (Ctrl+C) or the reader gone
    QTest::addColumn<int>("exitCode");
    const QStringList stream20{"--stream", "20"}, monitor{"--quiet-ms", "20", "monitor"};
    QTest::newRow("SIGTERM") << stream20 << monitor << 2 << "SIGTERM" << 0;
    QTest::newRow("reader gone") << stream20 << monitor << 2 << "reader gone" << 2;
    QTest::newRow("one answer, long --wait, Ctrl+C") << QStringList{} << QStringList{"send", "X", "--wait", "60"} << 1
                                                     << "SIGINT" << 0;
}

void TstZantoctl::monitorEnds()
{
    QFETCH(QStringList, reader);
    QFETCH(QStringList, arguments);
    QFETCH(int, lines);
    QFETCH(QString, end);
    QFETCH(int, exitCode);
    const bool readerGoes = end == QLatin1String("reader gone");
    QVERIFY(startSimulator(reader));

    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.start(QStringLiteral(ZANTOCTL_PATH), QStringList{"--serial", dir("reader")} + arguments);
    QByteArray out;
    QSignalSpy arrived(&process, &QProcess::readyReadStandardOutput);
    while (out.count('\n') < lines && arrived.wait(10000))
        out += process.readAllStandardOutput();
    QVERIFY2(out.count('\n') >= lines, process.readAllStandardError().constData());
    QCOMPARE(process.state(), QProcess::Running);

    QSignalSpy finished(&process, &QProcess::finished);
    if (readerGoes)
        m_sim->stop();
    else
        ::kill(pid_t(process.processId()), end == QLatin1String("SIGINT") ? SIGINT : SIGTERM);
    QVERIFY(finished.wait(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    if (readerGoes) {
        // The pty's far end closing is the reader's port going away, in words.
        const QByteArray said = process.readAllStandardError();
        QVERIFY2(said.contains("the link was lost: the port closed at the other end") && !said.contains("ioctl"),
                 said.constData());
    }
    out += process.readAllStandardOutput();
    const QRegularExpression line(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}(Z|[+-]\\d\\d:\\d\\d)"
                                                 "\t( [0-9A-F]{2})+\t[^\t]*$"));
    for (const QByteArray &l : out.split('\n').mid(0, out.count('\n')))
        QVERIFY2(line.match(QString::fromLocal8Bit(l)).hasMatch(), l.constData());
}

// A reader that streams tag reads, answers in two pieces or refuses writes:
// every command ends, and with a status that tells what happened.
void TstZantoctl::liveReader_data()
{
    QTest::addColumn<QStringList>("reader"); // the simulator's options
    QTest::addColumn<QStringList>("arguments"); // after the link
    QTest::addColumn<QString>("link");          // tcp or pty
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stderrPhrase");
    QTest::addColumn<QString>("stdoutPattern");
    const QStringList stream3{"--stream", "3"}, stream20{"--stream", "20"};
    const QString fields = QStringLiteral("^ReaderName: XXXXX\nMode: Standard\n(.+\n){9}Read Range: Range 4\\(100%\\)\n$");
    QTest::newRow("read-config, 3 Hz stream") << stream3 << QStringList{"read-config"} << "tcp" << 0 << "" << fields;
    QTest::newRow("read-config, 20 Hz stream, pty") << stream20 << QStringList{"read-config"} << "pty" << 0 << "" << fields;
    QTest::newRow("read-config in two pieces") << QStringList{"--split", "300"} << QStringList{"read-config"} << "tcp" << 0
                                               << "came in 2 pieces" << fields;
    QTest::newRow("write-config --verify, 20 Hz stream")
        << stream20 << QStringList{"write-config", "in.zq", "--verify"} << "tcp" << 0 << "" << "\tOK/0D/0A";
    QTest::newRow("write-config refused") << QStringList{"--refuse-writes"} << QStringList{"write-config", "in.zq"} << "tcp"
                                          << 4 << "refused the configuration (its answer is above)" << "ERR config/0D/0A";
    QTest::newRow("write-config --wait refused") << QStringList{"--refuse-writes"}
                                                 << QStringList{"write-config", "in.zq", "--wait", "0.3"} << "tcp" << 4
                                                 << "refused the configuration (its answer is above)" << "ERR config/0D/0A";
    QTest::newRow("write-config --verify refused") << QStringList{"--refuse-writes"}
                                                   << QStringList{"write-config", "in.zq", "--verify"} << "pty" << 4
                                                   << "refused the configuration: \"ERR config\"" << "";
    QTest::newRow("button, 20 Hz stream never pauses")
        << stream20 << QStringList{"button", "LON", "--timeout", "0.6"} << "tcp" << 1 << "without the pause of 250 ms"
        << "^[^\t]+\t 4C 4F 4E 20 4F 4B 0D 0A 54 41 47[^\t]*\tLON OK/0D/0ATAG [^\t]*\t\\(cut short";
    QTest::newRow("send --wait, 20 Hz stream") << stream20 << QStringList{"send", "G", "--wait", "0.5", "--quiet-ms", "20"}
                                               << "tcp" << 0 << "" << "\tIN1 0/0D/0A\n";
    QTest::newRow("send --wait, 20 Hz stream never pauses")
        << stream20 << QStringList{"send", "G", "--wait", "0.5"} << "tcp" << 0 << ""
        << "^[^\t]+\t 49 4E 31 20 30 0D 0A[^\t]*\tIN1 0/0D/0ATAG [^\t]*\t\\(cut short: no pause ended it\\)\n$";
    QTest::newRow("button name in capitals") << QStringList{} << QStringList{"button", "LOFF", "--wait", "0.3"} << "tcp"
                                             << 0 << ""
                                             << "^[^\t]+\t 4C 4F 46 46 20 4F 4B 0D 0A\tLOFF OK/0D/0A\n$";
}

void TstZantoctl::liveReader()
{
    QFETCH(QStringList, reader);
    QFETCH(QStringList, arguments);
    QFETCH(QString, link);
    QFETCH(int, exitCode);
    QFETCH(QString, stderrPhrase);
    QFETCH(QString, stdoutPattern);
    QVERIFY(startSimulator(reader));
    writeFile("in.zq", Universal);
    const QStringList via = link == QLatin1String("tcp")
        ? QStringList{"--tcp", QStringLiteral("127.0.0.1:%1").arg(m_sim->port())}
        : QStringList{"--serial", dir(QStringLiteral("reader"))};
    const Run r = run(via + arguments);
    QVERIFY2(r.exitCode == exitCode, (QByteArray::number(r.exitCode) + ": " + r.err).constData());
    QVERIFY2(QString::fromLocal8Bit(r.err).contains(stderrPhrase), r.err.constData());
    QVERIFY2(QRegularExpression(stdoutPattern, QRegularExpression::MultilineOption).match(QString::fromLocal8Bit(r.out)).hasMatch(),
             r.out.constData());
}

// What cannot be written is an error of its own, never "done".
void TstZantoctl::outputCannotBeWritten_data()
{
    QTest::addColumn<QString>("where"); // full, closed, folder
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("stderrPhrase");
    QTest::newRow("read-config on a full disk") << "full" << QStringList{"read-config"} << "No space left on device";
    QTest::newRow("answer on a full disk") << "full" << QStringList{"button", "boot"} << "No space left on device";
    QTest::newRow("help on a full disk") << "full" << QStringList{"help"} << "No space left on device";
    QTest::newRow("read-config into a pipe nobody reads") << "pipe" << QStringList{"read-config"} << "Broken pipe";
    // No socket written first (Qt ignores SIGPIPE once it writes to one).
    QTest::newRow("help into a pipe nobody reads") << "pipe" << QStringList{"help"} << "Broken pipe";
    QTest::newRow("read-config with no standard output") << "closed" << QStringList{"read-config"} << "could not be written";
    QTest::newRow("-o on a full disk") << "folder" << QStringList{"read-config", "-o", "@FULL/x.zq"} << "x.zq not written";
}

void TstZantoctl::outputCannotBeWritten()
{
    QFETCH(QString, where);
    QFETCH(QStringList, arguments);
    QFETCH(QString, stderrPhrase);
    QVERIFY(startSimulator());
    // A full disk where root can mount one; else a folder that cannot be written.
    RestrictedDir full(::geteuid() == 0 ? RestrictedDir::Full : RestrictedDir::ReadOnly);
    if (!full.isValid())
        QSKIP(qPrintable(full.why()));
    arguments.replaceInStrings(QStringLiteral("@FULL"), full.path());
    // A pipe whose reading end is gone before anything is written to it.
    int pipeEnds[2] = {-1, -1};
    QVERIFY(::pipe(pipeEnds) == 0);
    ::close(pipeEnds[0]);
    const int writeEnd = pipeEnds[1];
    const Run r = run(QStringList{"--tcp", QStringLiteral("127.0.0.1:%1").arg(m_sim->port())} + arguments, [&](QProcess &process) {
        if (where == QLatin1String("full")) {
            process.setStandardOutputFile(QStringLiteral("/dev/full"));
        } else if (where == QLatin1String("pipe")) {
            process.setChildProcessModifier([writeEnd] {
                ::dup2(writeEnd, STDOUT_FILENO);
                // As a shell starts it: SIGPIPE neither blocked nor ignored,
                // so zantoctl must ignore it itself to report the pipe.
                sigset_t pipeSignal;
                sigemptyset(&pipeSignal);
                sigaddset(&pipeSignal, SIGPIPE);
                ::sigprocmask(SIG_UNBLOCK, &pipeSignal, nullptr);
                ::signal(SIGPIPE, SIG_DFL);
            });
        } else if (where == QLatin1String("closed")) {
            process.setChildProcessModifier([] { ::close(STDOUT_FILENO); });
        }
    });
    ::close(writeEnd);
    QVERIFY2(r.exitCode == 5, (QByteArray::number(r.exitCode) + ": " + r.err).constData());
    QVERIFY2(QString::fromLocal8Bit(r.err).contains(stderrPhrase), r.err.constData());
    QVERIFY(!QFile::exists(full.path() + QStringLiteral("/x.zq")));
}

QTEST_GUILESS_MAIN(TstZantoctl)
#include "tst_zantoctl.moc"
