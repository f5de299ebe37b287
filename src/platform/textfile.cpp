#include "platform/textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace zanto {

static QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

bool fileExists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

QString createIfMissing(const QString &path)
{
    if (QFileInfo::exists(path))
        return {};
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return QObject::tr("Cannot create %1: %2").arg(fileName(path), file.errorString());
    return {};
}

FileLines readLineFile(const QString &path, const FileReadLimits &limits)
{
    FileLines result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.problem = QObject::tr("Cannot read %1: %2").arg(fileName(path), file.errorString());
        return result;
    }
    const qint64 size = file.size();
    const bool tooLarge = limits.maxFileSize >= 0 && size > limits.maxFileSize;
    if (tooLarge && !limits.readPrefixOfLargeFile) {
        result.problem = QObject::tr("%1 is larger than %2 KiB; not read").arg(fileName(path)).arg(limits.maxFileSize / 1024);
        return result;
    }
    QByteArray content = file.read(tooLarge ? limits.maxFileSize : qMax<qint64>(size, 0) + 1);
    if (tooLarge) // a line cut by the limit is no line of the file
        content.truncate(content.lastIndexOf('\n') + 1);
    if (file.error() != QFileDevice::NoError) {
        result.problem = QObject::tr("Cannot read %1: %2").arg(fileName(path), file.errorString());
        return result;
    }
    const ParsedLines parsed = parseLines(content, {limits.maxLines, limits.maxLineLength});
    result.lines = parsed.lines;
    if (parsed.stoppedEarly)
        result.problem = QObject::tr("%1 has a line longer than %2 KiB; read up to it").arg(fileName(path)).arg(limits.maxLineLength / 1024);
    else if (tooLarge && (limits.maxLines < 0 || result.lines.size() < limits.maxLines))
        result.problem = QObject::tr("%1 is larger than %2 KiB; read only its start").arg(fileName(path)).arg(limits.maxFileSize / 1024);
    return result;
}

QString writeLineFile(const QString &path, const QList<QByteArray> &lines)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QObject::tr("Cannot write %1: %2").arg(fileName(path), file.errorString());
    const QByteArray content = formatLines(lines);
    if (file.write(content) != content.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return QObject::tr("Cannot write %1: %2").arg(fileName(path), why);
    }
    if (!file.commit())
        return QObject::tr("Cannot write %1: %2").arg(fileName(path), file.errorString());
    return {};
}

} // namespace zanto
