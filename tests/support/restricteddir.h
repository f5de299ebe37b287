#pragma once

#include <QString>
#include <QTemporaryDir>

// A working directory the tool cannot write to, or one on a nearly full disk.
// As root (whom permissions do not stop) it is a small tmpfs mounted for the
// test; otherwise a directory without write permission. Becomes the current
// directory for as long as it lives.
class RestrictedDir
{
public:
    enum Kind { ReadOnly, Full };
    // `files` are written into the directory before it is restricted.
    RestrictedDir(Kind kind, const QList<QPair<QString, QByteArray>> &files = {});
    ~RestrictedDir();
    bool isValid() const { return m_valid; }
    QString why() const { return m_why; }
    QString path() const { return m_dir.path(); }
    QByteArray read(const QString &name) const;

private:
    QTemporaryDir m_dir;
    QString m_previous;
    bool m_mounted = false;
    bool m_valid = false;
    QString m_why;
};
