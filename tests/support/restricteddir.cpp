#include "support/restricteddir.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

RestrictedDir::RestrictedDir(Kind kind, const QList<QPair<QString, QByteArray>> &files)
    : m_previous(QDir::currentPath())
{
    const QByteArray where = QFile::encodeName(m_dir.path());
    if (geteuid() == 0) {
        if (::mount("tmpfs", where.constData(), "tmpfs", 0, "size=64k,mode=0755") != 0) {
            m_why = QStringLiteral("cannot mount a tmpfs: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        m_mounted = true;
    }
    for (const auto &file : files) {
        QFile f(m_dir.filePath(file.first));
        if (!f.open(QIODevice::WriteOnly) || f.write(file.second) != file.second.size()) {
            m_why = QStringLiteral("cannot prepare %1").arg(file.first);
            return;
        }
    }
    if (kind == ReadOnly) {
        if (m_mounted) {
            if (::mount("tmpfs", where.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k") != 0) {
                m_why = QStringLiteral("cannot remount read-only");
                return;
            }
        } else {
            QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
    } else {
        if (!m_mounted) {
            m_why = QStringLiteral("a full disk needs a tmpfs, which needs root");
            return;
        }
        // Fill what is left, so the next write finds no room.
        QFile filler(m_dir.filePath(QStringLiteral(".filler")));
        filler.open(QIODevice::WriteOnly);
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
    }
    QDir::setCurrent(m_dir.path());
    m_valid = true;
}

RestrictedDir::~RestrictedDir()
{
    QDir::setCurrent(m_previous);
    const QByteArray where = QFile::encodeName(m_dir.path());
    if (m_mounted)
        ::umount2(where.constData(), MNT_DETACH);
    else
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QByteArray RestrictedDir::read(const QString &name) const
{
    QFile file(m_dir.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}
