#include "readersim.h"

#include "ptylink.h"
#include "tcplink.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTcpSocket>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// How much may wait for a slow reader before tag lines are dropped: a TCP
// client can take a lot, a serial line very little.
constexpr qint64 StreamBacklog = 64 * 1024;
constexpr qint64 FloodBacklogTcp = 1024 * 1024;
constexpr qint64 FloodBacklogPty = 64 * 1024;
// Bytes queued per link per flood round, so commands still get answered.
constexpr qint64 FloodRound = 256 * 1024;
constexpr quint64 MaxLinesPerTick = 2000;

// Bytes as a log can show them: printable ASCII as is, the rest escaped, long
// texts cut.
QString printable(QByteArrayView bytes)
{
    constexpr qsizetype Shown = 100;
    QString out;
    for (qsizetype i = 0; i < bytes.size() && i < Shown; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\r')
            out += QLatin1String("\\r");
        else if (c == '\n')
            out += QLatin1String("\\n");
        else if (c == '\\')
            out += QLatin1String("\\\\");
        else if (c >= 0x20 && c < 0x7F)
            out += QLatin1Char(char(c));
        else
            out += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
    }
    if (bytes.size() > Shown)
        out += QStringLiteral("... (%1 bytes)").arg(bytes.size());
    return out;
}

void announce(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

} // namespace

ReaderSim::ReaderSim(const SimOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_reader(options.refuseWrites   ? SimulatedReader::Writes::Refused
               : options.ignoreWrites ? SimulatedReader::Writes::Ignored
                                      : SimulatedReader::Writes::Kept)
{
    m_streamTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_streamTimer, &QTimer::timeout, this, &ReaderSim::streamTick);
    m_floodTimer.setInterval(2);
    connect(&m_floodTimer, &QTimer::timeout, this, &ReaderSim::floodTick);
}

ReaderSim::~ReaderSim()
{
    removeLink();
}

zanto::Done ReaderSim::start()
{
    if (m_options.pty) {
        if (zanto::Done started = startPty(); !started)
            return started;
    }
    if (m_options.tcpPort) {
        if (zanto::Done started = startTcp(); !started)
            return started;
    }

    if (m_options.streamHz > 0) {
        // Ticks of at most 100 ms and at least 1 ms; each tick sends the lines
        // that are due by the clock, so any rate works, fractional or far
        // above what one timer could tick.
        m_streamTimer.start(std::clamp(int(1000.0 / m_options.streamHz), 1, 100));
        m_streamClock.start();
        log(QStringLiteral("streaming %1 tag reads a second").arg(m_options.streamHz));
    }
    if (m_options.flood) {
        m_floodTimer.start();
        log(QStringLiteral("flooding every link with tag reads"));
    }
    if (m_options.ignoreWrites)
        log(QStringLiteral("configuration writes are answered but not kept"));
    if (m_options.refuseWrites)
        log(QStringLiteral("configuration writes are refused"));
    return {};
}

zanto::Done ReaderSim::startTcp()
{
    connect(&m_server, &QTcpServer::newConnection, this, &ReaderSim::acceptClients);
    if (!m_server.listen(m_options.listenAddress, *m_options.tcpPort)) {
        return zanto::failure(QStringLiteral("cannot listen on %1 port %2: %3")
                                  .arg(m_options.listenAddress.toString())
                                  .arg(*m_options.tcpPort)
                                  .arg(m_server.errorString()));
    }
    const quint16 port = m_server.serverPort();
    if (!m_options.portFile.isEmpty()) {
        // Written whole and renamed into place, so a script polling for the
        // file never reads half a number.
        QSaveFile file(m_options.portFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray::number(port)) < 0 || !file.commit())
            return zanto::failure(QStringLiteral("cannot write the port to %1: %2").arg(m_options.portFile, file.errorString()));
    }
    QString address = m_server.serverAddress().toString();
    if (m_server.serverAddress().protocol() == QAbstractSocket::IPv6Protocol)
        address = QLatin1Char('[') + address + QLatin1Char(']');
    announce(QStringLiteral("tcp: %1:%2").arg(address).arg(port));
    return {};
}

zanto::Done ReaderSim::startPty()
{
    zanto::Result<std::unique_ptr<PtyLink>> made = PtyLink::create();
    if (!made)
        return zanto::failure(made.error());
    m_pty = std::move(*made);
    if (!m_options.linkPath.isEmpty()) {
        if (zanto::Done linked = makeLink(); !linked)
            return linked;
    }
    watch(m_pty.get());
    announce(QStringLiteral("pty: %1").arg(m_pty->slavePath()));
    return {};
}

zanto::Done ReaderSim::makeLink()
{
    const QByteArray path = QFile::encodeName(m_options.linkPath);
    const QByteArray target = QFile::encodeName(m_pty->slavePath());
    struct stat info {};
    if (::lstat(path.constData(), &info) == 0 && !S_ISLNK(info.st_mode)) {
        // Only ever replace a link: this path may be something the user cares about.
        return zanto::failure(QStringLiteral("%1 exists and is not a symbolic link; not replacing it").arg(m_options.linkPath));
    }
    // Made beside it and renamed over it, so the path never goes missing for a
    // tool that polls it.
    const QByteArray temporary = path + ".tmp" + QByteArray::number(::getpid());
    ::unlink(temporary.constData());
    if (::symlink(target.constData(), temporary.constData()) != 0
        || ::rename(temporary.constData(), path.constData()) != 0) {
        const QString why = QString::fromLocal8Bit(strerror(errno));
        ::unlink(temporary.constData());
        return zanto::failure(QStringLiteral("cannot make the link %1: %2").arg(m_options.linkPath, why));
    }
    m_linkMade = true;
    return {};
}

void ReaderSim::removeLink()
{
    if (!m_linkMade || !m_pty)
        return;
    m_linkMade = false;
    // Someone may have pointed the path elsewhere meanwhile; leave that alone.
    if (QFileInfo(m_options.linkPath).symLinkTarget() == QFileInfo(m_pty->slavePath()).absoluteFilePath())
        QFile::remove(m_options.linkPath);
}

void ReaderSim::acceptClients()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        // One client at a time, the newest wins: a tool that reconnects after
        // a crash must not find the reader still busy with its ghost.
        if (m_tcp) {
            log(QStringLiteral("tcp: a new client replaces the old one"));
            m_tcp->abandon();
            m_tcp->deleteLater();
        }
        log(QStringLiteral("tcp: client %1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort()));
        m_tcp = new TcpLink(socket, this);
        watch(m_tcp);
        connect(m_tcp, &SimLink::closed, this, [this, link = m_tcp.data()] {
            log(QStringLiteral("tcp: client gone"));
            if (m_tcp == link)
                m_tcp = nullptr;
            link->deleteLater();
        });
    }
}

void ReaderSim::watch(SimLink *link)
{
    connect(link, &SimLink::commandReceived, this, [this, link](const CommandFrame &frame) { answer(link, frame); });
    connect(link, &SimLink::overflowed, this, [this, link](bool dropped) {
        if (dropped) {
            log(QStringLiteral("%1: the client sends commands but does not take the answers (over %2 bytes "
                               "waiting); dropped")
                    .arg(link->name())
                    .arg(SimLink::MaxReplyBacklog));
        } else if (++m_repliesDropped % 1000 == 1) {
            log(QStringLiteral("%1: nobody takes the answers; dropping them").arg(link->name()));
        }
    });
    if (m_options.flood)
        connect(link, &SimLink::writable, this, &ReaderSim::floodTick);
}

void ReaderSim::answer(SimLink *link, const CommandFrame &frame)
{
    const ReaderReply reply = frame.overlong ? SimulatedReader::overlongLine() : m_reader.answer(frame.line);
    log(QStringLiteral("%1 < %2").arg(link->name(), frame.overlong ? QStringLiteral("(line too long, dropped)")
                                                                   : printable(frame.line)));
    log(QStringLiteral("%1 > %2").arg(link->name(), printable(reply.text)));
    link->sendReply(reply.text, m_options.splitMs, reply.hangUp);
}

QList<SimLink *> ReaderSim::openLinks() const
{
    QList<SimLink *> links;
    if (m_tcp && m_tcp->isOpen())
        links.append(m_tcp);
    if (m_pty)
        links.append(m_pty.get());
    return links;
}

QByteArray ReaderSim::nextTagLine()
{
    // A plausible PC word and EPC whose last six bytes count the reads, so a
    // lost or repeated line shows.
    return "TAG 3000E2001234" + QByteArray::number(m_tagCounter++, 16).toUpper().rightJustified(12, '0') + "\r\n";
}

void ReaderSim::streamTick()
{
    const auto due = quint64(double(m_streamClock.elapsed()) * m_options.streamHz / 1000.0);
    if (due <= m_streamSent)
        return;
    // After a stall (a suspended process, a busy machine) catch up by at most
    // a tenth of a second of reads instead of bursting out everything missed;
    // and never build more per tick than any link could take anyway.
    const auto burst = std::clamp<quint64>(quint64(m_options.streamHz / 10), 1, MaxLinesPerTick);
    quint64 count = due - m_streamSent;
    if (count > burst)
        count = burst;
    m_streamSent = due;

    const QList<SimLink *> links = openLinks();
    if (links.isEmpty())
        return;
    QByteArray lines;
    for (quint64 i = 0; i < count; ++i)
        lines += nextTagLine();
    for (SimLink *link : links) {
        if (!link->sendUnsolicited(lines, StreamBacklog) && ++m_streamDropped % 1000 == 1)
            log(QStringLiteral("%1: nobody takes the tag reads; dropping them").arg(link->name()));
    }
}

void ReaderSim::floodTick()
{
    for (SimLink *link : openLinks()) {
        const qint64 bound = link == m_pty.get() ? FloodBacklogPty : FloodBacklogTcp;
        for (qint64 queued = 0; queued < FloodRound && link->backlog() < bound;) {
            QByteArray lines;
            for (int i = 0; i < 64; ++i)
                lines += nextTagLine();
            if (!link->sendUnsolicited(lines, bound))
                break;
            queued += lines.size();
        }
    }
}

void ReaderSim::log(const QString &text) const
{
    if (m_options.quiet)
        return;
    std::fputs(qPrintable(text + QLatin1Char('\n')), stderr);
}
