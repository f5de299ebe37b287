#include "config/configfiles.h"

#include "protocol/linefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <algorithm>

namespace zanto {

namespace {

QString codePoint(char32_t c)
{
    return QStringLiteral("U+%1").arg(quint32(c), 4, 16, QLatin1Char('0')).toUpper();
}

QString refusedName(const QString &readerName, const QString &why)
{
    // The name itself may hold the control character that is the trouble, so it
    // is shown only when it is printable.
    QString shown;
    for (QChar c : readerName)
        shown += (c.unicode() < 0x20 || c.unicode() == 0x7F) ? QChar(u'?') : c;
    return QObject::tr("Not written: ReaderName \"%1\" cannot name a file, %2").arg(shown, why);
}

} // namespace

ConfigFileName configFileName(const QString &readerName)
{
    ConfigFileName result;
    for (QChar c : readerName) {
        const char16_t u = c.unicode();
        if (u == u'/' || u == u'\\')
            return {{}, refusedName(readerName, QObject::tr("it holds '%1'").arg(c))};
        if (u < 0x20 || u == 0x7F)
            return {{}, refusedName(readerName, QObject::tr("it holds the control character %1").arg(codePoint(u)))};
        if (u > 0xFF)
            return {{}, refusedName(readerName, QObject::tr("it holds %1, a character outside 8 bits").arg(codePoint(u)))};
    }
    // Without separators ".." cannot climb anywhere, but a name that is nothing
    // but dots is the directory itself or its parent on some systems, and a file
    // list full of "..x" names helps nobody: a name holding ".." is refused.
    if (readerName.contains(QLatin1String("..")))
        return {{}, refusedName(readerName, QObject::tr("it holds \"..\""))};
    result.fileName = readerName + QLatin1String(ConfigFileSuffix);
    return result;
}

QList<QByteArray> configFileLines(const ConfigFields &fields)
{
    // ConfigField is declared in file order: line k is field k.
    QList<QByteArray> lines;
    lines.reserve(ConfigFieldCount);
    for (int k = 0; k < ConfigFieldCount; ++k)
        lines.append(fieldText(fields, static_cast<ConfigField>(k)));
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

ConfigFileContent readConfigFile(const QString &path)
{
    ConfigFileContent result;
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (!info.exists()) {
        result.problem = QObject::tr("Not loaded: %1 is no longer there").arg(name);
        return result;
    }
    // Opening a FIFO or a device to read it could wait for ever.
    if (!info.isFile()) {
        result.problem = QObject::tr("Not loaded: %1 is not a file").arg(name);
        return result;
    }
    const QString tooLarge = QObject::tr("Not loaded: %1 is larger than %2 KiB, no configuration file")
                                 .arg(name)
                                 .arg(MaxConfigFileSize / 1024);
    if (info.size() > MaxConfigFileSize) {
        result.problem = tooLarge;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.problem = QObject::tr("Not loaded: cannot read %1: %2").arg(name, file.errorString());
        return result;
    }
    // One byte more than allowed, so a file that grew since it was measured is
    // still caught.
    const QByteArray content = file.read(MaxConfigFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        result.problem = QObject::tr("Not loaded: cannot read %1: %2").arg(name, file.errorString());
        return result;
    }
    if (content.size() > MaxConfigFileSize) {
        result.problem = tooLarge;
        return result;
    }
    const ParsedLines parsed = parseLines(content, {ConfigFieldCount, MaxConfigLineLength});
    if (parsed.stoppedEarly) {
        result.problem = QObject::tr("Not loaded: %1 has a line longer than %2 characters, no configuration file")
                             .arg(name)
                             .arg(MaxConfigLineLength);
        return result;
    }
    result.lines = parsed.lines;
    return result;
}

QStringList configFileNames(const QString &directory)
{
    // Hidden files count: an empty ReaderName writes ".zq", and it must show.
    // Without QDir::System, FIFOs, sockets, devices and broken links stay out.
    const QDir dir(directory, QLatin1String("*") + QLatin1String(ConfigFileSuffix), QDir::NoSort,
                   QDir::Files | QDir::Hidden);
    QStringList names = dir.entryList();
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace zanto
