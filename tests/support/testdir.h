#pragma once

#include <QDir>
#include <QTemporaryDir>

// Makes a fresh temporary directory the working directory for as long as it
// lives: the tool reads and writes its files in the current directory.
class TestDir
{
public:
    TestDir();
    ~TestDir();
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QByteArray read(const QString &name) const;
    bool write(const QString &name, const QByteArray &content) const;

private:
    QString m_previous;
    QTemporaryDir m_dir;
};
