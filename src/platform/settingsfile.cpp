#include "platform/settingsfile.h"

#include "platform/textfile.h"
#include "protocol/latin1.h"

#include <QDir>
#include <QObject>

namespace zanto {

SettingsFile::SettingsFile(const QString &directory, const QString &fileName, int lineCount)
    : m_directory(directory)
    , m_fileName(fileName)
    , m_lineCount(lineCount)
{
}

QString SettingsFile::path() const
{
    return QDir(m_directory).filePath(m_fileName);
}

Result<QList<QByteArray>> SettingsFile::load()
{
    m_loadProblem.clear();
    const QString file = path();
    if (const Done created = createIfMissing(file); !created) {
        m_loadProblem = created.error();
        return failure(m_loadProblem);
    }
    FileReadLimits limits;
    limits.maxLines = m_lineCount;
    Result<QList<QByteArray>> lines = readLineFile(file, limits);
    if (!lines)
        m_loadProblem = lines.error();
    return lines;
}

Done SettingsFile::save(const QList<QString> &values, bool userChanged)
{
    if (!m_loadProblem.isEmpty() && !userChanged)
        return Done();
    QList<QByteArray> lines;
    for (const QString &value : values) {
        const Result<QByteArray> bytes = toBytes(value);
        if (!bytes) {
            return failure(QObject::tr("%1 not written: \"%2\" holds %3, a character outside 8 bits")
                               .arg(m_fileName, value, bytes.error()));
        }
        lines.append(*bytes);
    }
    return writeLineFile(path(), lines);
}

} // namespace zanto
