#include "support/testdir.h"

#include <QFile>

TestDir::TestDir()
    : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
}

TestDir::~TestDir()
{
    QDir::setCurrent(m_previous);
}

QByteArray TestDir::read(const QString &name) const
{
    QFile file(filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool TestDir::write(const QString &name, const QByteArray &content) const
{
    QFile file(filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(content) == content.size();
}
