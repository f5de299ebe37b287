#include "ptylink.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

zanto::Result<std::unique_ptr<PtyLink>> PtyLink::create(QObject *parent)
{
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        return zanto::failure(QStringLiteral("cannot create a pseudo-terminal: %1").arg(QString::fromLocal8Bit(strerror(errno))));
    }
    char name[PATH_MAX] = {};
    termios settings{};
    // Raw: no echo of the tool's commands back at it, no CR/LF translation,
    // every byte value passes as it is.
    const bool ok = ttyname_r(slave, name, sizeof name) == 0 && tcgetattr(slave, &settings) == 0;
    if (ok) {
        cfmakeraw(&settings);
        tcsetattr(slave, TCSANOW, &settings);
    }
    if (!ok) {
        const QString why = QString::fromLocal8Bit(strerror(errno));
        ::close(master);
        ::close(slave);
        return zanto::failure(QStringLiteral("cannot set up the pseudo-terminal: %1").arg(why));
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    return std::unique_ptr<PtyLink>(new PtyLink(master, slave, QString::fromLocal8Bit(name), parent));
}

PtyLink::PtyLink(int master, int slave, const QString &slavePath, QObject *parent)
    : SimLink(QStringLiteral("pty"), parent)
    , m_master(master)
    , m_slave(slave)
    , m_slavePath(slavePath)
{
    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyLink::readMaster);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] {
        flush();
        emit writable();
    });
}

PtyLink::~PtyLink()
{
    delete m_readNotifier;
    delete m_writeNotifier;
    ::close(m_master);
    ::close(m_slave);
}

void PtyLink::readMaster()
{
    char buffer[4096];
    // Bounded per wake-up so a sender that never pauses cannot keep us from
    // answering, streaming or quitting.
    for (int round = 0; round < 64; ++round) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            deliver(QByteArrayView(buffer, n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // With our own slave descriptor open this should not happen; if it
            // does, back off instead of spinning on a readable-but-failing fd.
            m_readNotifier->setEnabled(false);
            QTimer::singleShot(200, this, [this] { m_readNotifier->setEnabled(true); });
        }
        return;
    }
}

void PtyLink::writeBytes(const QByteArray &bytes)
{
    if (m_out.size() + bytes.size() > MaxPending)
        return;
    m_out.append(bytes);
    flush();
}

void PtyLink::flush()
{
    while (!m_out.isEmpty()) {
        const ssize_t n = ::write(m_master, m_out.constData(), size_t(m_out.size()));
        if (n > 0) {
            m_out.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Nobody is reading the slave (or not fast enough): wait for room.
            m_writeNotifier->setEnabled(true);
            return;
        }
        m_out.clear();
        break;
    }
    m_writeNotifier->setEnabled(false);
}
