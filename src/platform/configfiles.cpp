#include "platform/configfiles.h"

#include "platform/textfile.h"
#include "protocol/latin1.h"
#include "protocol/linefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace zanto {

namespace {

// The reason comes first, so that a narrow label still shows it; the name
// follows with every control or formatting character as '?', since it may
// hold the very character that is the trouble.
Failure<QString> refusedName(const QString &readerName, const QString &why)
{
    QString shown;
    for (QChar c : readerName) {
        const bool hidden = isControlCharacter(c.unicode()) || c.category() == QChar::Other_Format
                            || c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph;
        shown += hidden ? QChar(u'?') : c;
    }
    return failure(QObject::tr("Not written: %1 cannot be in a file name (ReaderName \"%2\")").arg(why, shown));
}

} // namespace

Result<QString> configFileName(const QString &readerName)
{
    for (QChar c : readerName) {
        const char16_t u = c.unicode();
        if (u == u'/' || u == u'\\')
            return refusedName(readerName, QStringLiteral("'%1'").arg(c));
        // C1 controls are Latin-1 characters too, but a file list shows them
        // as nothing or as boxes, and U+0085 is a line end to some programs.
        if (isControlCharacter(u))
            return refusedName(readerName, QObject::tr("a control character (%1)").arg(codePointName(u)));
        if (u > 0xFF)
            return refusedName(readerName, QObject::tr("%1, a character outside 8 bits,").arg(codePointName(u)));
    }
    // Without separators ".." cannot climb anywhere, but a name that is nothing
    // but dots is the directory itself or its parent on some systems, and a file
    // list full of "..x" names helps nobody: a name holding ".." is refused.
    if (readerName.contains(QLatin1String("..")))
        return refusedName(readerName, QStringLiteral("\"..\""));
    return readerName + QLatin1String(ConfigFileSuffix);
}

QList<QByteArray> configFileLines(const ConfigFields &fields)
{
    // ConfigField is declared in file order: line k is field k.
    QList<QByteArray> lines;
    lines.reserve(ConfigFieldCount);
    for (ConfigField field : AllConfigFields)
        lines.append(fields[field]);
    return lines;
}

QList<std::pair<ConfigField, QByteArray>> configFileAssignments(const QList<QByteArray> &lines)
{
    QList<std::pair<ConfigField, QByteArray>> out;
    const qsizetype n = std::min<qsizetype>(lines.size(), ConfigFieldCount);
    for (qsizetype k = 0; k < n; ++k)
        out.append({static_cast<ConfigField>(k), lines[k]});
    return out;
}

Result<QList<QByteArray>, FileReadFailure> readConfigFile(const QString &directory, const QByteArray &rawName)
{
    const QString name = shownFileName(rawName);
    // One byte more than allowed is read, so a file that grows while it is
    // read is still caught.
    const Result<FileBytes, FileReadFailure> file = readFileBytes(directory, rawName, MaxConfigFileSize);
    const auto refuse = [](FileKind kind, const QString &reason, const QString &message) {
        return failure(FileReadFailure{kind, reason, message});
    };
    if (!file) {
        const FileReadFailure &why = file.error();
        if (why.kind == FileKind::Missing)
            return refuse(why.kind, why.reason, QObject::tr("Not loaded: %1 is no longer there").arg(name));
        if (why.kind != FileKind::Regular && why.kind != FileKind::Unknown)
            return refuse(why.kind, why.reason,
                          QObject::tr("Not loaded: %1 is %2, not a regular file").arg(name, fileKindText(why.kind)));
        return refuse(why.kind, why.reason, QObject::tr("Not loaded: cannot read %1: %2").arg(name, why.reason));
    }
    if (file->cut) {
        return refuse(FileKind::Regular, QString(),
                      QObject::tr("Not loaded: %1 is larger than %2 KiB, no configuration file")
                          .arg(name)
                          .arg(MaxConfigFileSize / 1024));
    }
    const ParsedLines parsed = parseLines(file->content, {ConfigFieldCount, MaxConfigLineLength});
    if (parsed.stoppedEarly) {
        return refuse(FileKind::Regular, QString(),
                      QObject::tr("Not loaded: %1 has a line longer than %2 characters, no configuration file")
                          .arg(name)
                          .arg(MaxConfigLineLength));
    }
    return parsed.lines;
}

QList<ConfigFileEntry> configFileEntries(const QString &directory)
{
    QList<ConfigFileEntry> entries;
    // Read with readdir rather than QDir: QDir decodes every name as UTF-8 and
    // turns bytes that are not into U+FFFD, so such a file could neither be
    // listed faithfully nor opened again by the name it was listed under.
    DIR *dir = ::opendir(QFile::encodeName(directory.isEmpty() ? QStringLiteral(".") : directory).constData());
    if (!dir)
        return entries;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!name.endsWith(ConfigFileSuffix))
            continue;
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat st;
            isDirectory = ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        }
        if (!isDirectory)
            entries.append({name, shownFileName(name)});
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const ConfigFileEntry &a, const ConfigFileEntry &b) { return a.rawName < b.rawName; });
    return entries;
}

} // namespace zanto
