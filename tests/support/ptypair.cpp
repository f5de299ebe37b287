#include "support/ptypair.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slavePath = QString::fromLocal8Bit(name);
    static int counter = 0;
    m_link = m_dir.filePath(QStringLiteral("reader%1-%2").arg(QCoreApplication::applicationPid()).arg(++counter));
    QFile::link(m_slavePath, m_link);
}

PtyPair::~PtyPair()
{
    closeMaster();
}

bool PtyPair::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    QDeadlineTimer deadline(5000);
    while (done < bytes.size() && m_master >= 0 && !deadline.hasExpired()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }
    return done == bytes.size();
}

QByteArray PtyPair::readAvailable()
{
    QByteArray out;
    if (m_master < 0)
        return out;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, n);
    }
    return out;
}

QByteArray PtyPair::readAtLeast(qsizetype count, int timeoutMs)
{
    QByteArray out;
    QDeadlineTimer deadline(timeoutMs);
    while (out.size() < count && !deadline.hasExpired()) {
        out += readAvailable();
        if (out.size() < count)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return out;
}

void PtyPair::closeMaster()
{
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}
