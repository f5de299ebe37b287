#include "support/hostilefolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

QString errorText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A copy of the null device (1,3) in our own folder: reading it gives nothing,
// writing it swallows everything, and it is ours to lose.
QString makeDevice(const QByteArray &where)
{
    if (geteuid() != 0)
        return QStringLiteral("a device node needs root");
    if (::mknod(where.constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
        return QStringLiteral("mknod: ") + errorText();
    return {};
}

} // namespace

HostileFolder::HostileFolder()
{
    QDir(m_dir.path()).mkpath(QStringLiteral("work"));
    QDir(m_dir.path()).mkpath(QStringLiteral("outside"));
    QFile victim(outsidePath() + QStringLiteral("/victim.txt"));
    if (victim.open(QIODevice::WriteOnly))
        victim.write(VictimContent);
}

QString HostileFolder::path() const
{
    return m_dir.filePath(QStringLiteral("work"));
}

QString HostileFolder::outsidePath() const
{
    return m_dir.filePath(QStringLiteral("outside"));
}

QString HostileFolder::plant(Plant plant, const QByteArray &name) const
{
    const QByteArray where = QFile::encodeName(path()) + '/' + name;
    const QByteArray outside = QFile::encodeName(outsidePath());
    const auto link = [&](const QByteArray &target) {
        return ::symlink(target.constData(), where.constData()) == 0 ? QString() : QStringLiteral("symlink: ") + errorText();
    };
    switch (plant) {
    case LinkToOutsideFile:
        return link(outside + "/victim.txt");
    case DanglingLink:
        return link(outside + "/created.txt");
    case LinkToDevice: {
        // /dev/null only when not root: then nothing could replace it.
        if (geteuid() != 0)
            return link("/dev/null");
        const QByteArray device = outside + "/null-device";
        if (::access(device.constData(), F_OK) != 0) {
            if (const QString why = makeDevice(device); !why.isEmpty())
                return why;
        }
        return link(device);
    }
    case Fifo:
        return ::mkfifo(where.constData(), 0600) == 0 ? QString() : QStringLiteral("mkfifo: ") + errorText();
    case DeviceNode:
        return makeDevice(where);
    case Directory:
        return ::mkdir(where.constData(), 0700) == 0 ? QString() : QStringLiteral("mkdir: ") + errorText();
    case Socket: {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (size_t(where.size()) >= sizeof address.sun_path)
            return QStringLiteral("the path is too long for a socket");
        std::memcpy(address.sun_path, where.constData(), size_t(where.size()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
        const QString why = bound ? QString() : QStringLiteral("socket: ") + errorText();
        if (fd >= 0)
            ::close(fd); // the socket file stays; nobody listens on it
        return why;
    }
    }
    return QStringLiteral("unknown plant");
}

QByteArray HostileFolder::snapshot() const
{
    return "work:\n" + folderSnapshot(path()) + "outside:\n" + folderSnapshot(outsidePath());
}

QByteArray folderSnapshot(const QString &path)
{
    QByteArray out;
    const QStringList names =
        QDir(path).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        const QByteArray where = QFile::encodeName(path + QLatin1Char('/') + name);
        struct stat st;
        out += QFile::encodeName(name) + ' ';
        if (::lstat(where.constData(), &st) != 0) {
            out += "gone\n";
            continue;
        }
        if (S_ISREG(st.st_mode)) {
            QFile file(QString::fromLocal8Bit(where));
            out += "file " + (file.open(QIODevice::ReadOnly) ? file.readAll().toPercentEncoding() : "?");
        } else if (S_ISLNK(st.st_mode)) {
            char target[4096];
            const ssize_t n = ::readlink(where.constData(), target, sizeof target);
            out += "link -> " + QByteArray(target, n > 0 ? n : 0);
        } else if (S_ISDIR(st.st_mode)) {
            out += "directory";
        } else if (S_ISFIFO(st.st_mode)) {
            out += "fifo";
        } else if (S_ISSOCK(st.st_mode)) {
            out += "socket";
        } else if (S_ISCHR(st.st_mode)) {
            out += "character device " + QByteArray::number(major(st.st_rdev)) + ',' + QByteArray::number(minor(st.st_rdev));
        } else {
            out += "other";
        }
        out += '\n';
    }
    return out;
}

bool returnsInTime(const std::function<void()> &call, const QString &fifoFolder, int seconds)
{
    std::packaged_task<void()> task(call);
    std::future<void> done = task.get_future();
    std::thread thread(std::move(task));
    const bool inTime = done.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready;
    // A reader blocked opening a FIFO goes on once a writer has opened it, and
    // one blocked reading it once the writer has closed it.
    for (int attempt = 0; done.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready; ++attempt) {
        if (attempt == 50)
            qFatal("a call stuck in a FIFO could not be freed");
        const QDir folder(fifoFolder);
        for (const QString &name : folder.entryList(QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)) {
            const QByteArray where = QFile::encodeName(folder.filePath(name));
            struct stat st;
            if (::lstat(where.constData(), &st) != 0 || !S_ISFIFO(st.st_mode))
                continue;
            const int fd = ::open(where.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0)
                ::close(fd);
        }
    }
    thread.join();
    done.get(); // rethrows what the call threw
    return inTime;
}
