#include "benchsupport.h"

#include <QByteArray>
#include <QFile>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

static double statusField(const char *key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

double residentMiB() { return statusField("VmRSS:"); }
double peakResidentMiB() { return statusField("VmHWM:"); }

void resetPeakResident()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

static QByteArray pattern()
{
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (int i = 0; i < chunk.size(); ++i)
        chunk[i] = char(0x20 + (i * 7) % 90);
    return chunk;
}

LoopbackSender::LoopbackSender(qint64 total)
{
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(m_listen, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    ::listen(m_listen, 1);
    socklen_t len = sizeof addr;
    ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this, total] {
        const int fd = ::accept(m_listen, nullptr, nullptr);
        if (fd < 0)
            return;
        const QByteArray chunk = pattern();
        qint64 left = total;
        while (left > 0) {
            const ssize_t n = ::send(fd, chunk.constData(), size_t(qMin<qint64>(left, chunk.size())), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            left -= n;
        }
        ::shutdown(fd, SHUT_WR);
        // Let the reader drain before the socket goes.
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 5000);
        ::close(fd);
    });
}

LoopbackSender::~LoopbackSender()
{
    ::shutdown(m_listen, SHUT_RDWR);
    if (m_thread.joinable())
        m_thread.join();
    ::close(m_listen);
}

FdSender::FdSender(int fd, qint64 total)
{
    m_thread = std::thread([fd, total] {
        const QByteArray chunk = pattern();
        qint64 left = total;
        while (left > 0) {
            const ssize_t n = ::write(fd, chunk.constData(), size_t(qMin<qint64>(left, chunk.size())));
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 100);
                continue;
            }
            if (n <= 0)
                break;
            left -= n;
        }
    });
}

FdSender::~FdSender()
{
    if (m_thread.joinable())
        m_thread.join();
}
