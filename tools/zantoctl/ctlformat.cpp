#include "ctlformat.h"

#include "protocol/hexformat.h"
#include "protocol/latin1.h"
#include "protocol/textescapes.h"

#include <QDateTime>
#include <QString>

using namespace zanto;

namespace zantoctl {

namespace {

// Local time with its offset, to the millisecond: 2024-05-01T14:03:07.125+02:00.
QByteArray isoTime(qint64 msSinceEpoch)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(msSinceEpoch);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs).toLatin1();
}

} // namespace

QByteArray shownText(const QByteArray &latin1)
{
    return QString::fromLatin1(escapedText(latin1)).toLocal8Bit();
}

QByteArray jsonString(const QByteArray &latin1)
{
    QByteArray out = "\"";
    for (const char byte : latin1) {
        const auto code = static_cast<unsigned char>(byte);
        if (code == '"' || code == '\\')
            out += '\\' + QByteArray(1, byte);
        else if (isControlCharacter(code))
            out += "\\u00" + QByteArray::number(code, 16).rightJustified(2, '0').toUpper();
        else
            out += QString(QChar(code)).toUtf8();
    }
    return out + '"';
}

QByteArray burstLine(const QByteArray &bytes, qint64 firstArrivalMs, bool json, bool cutShort)
{
    if (json) {
        return "{\"time\":\"" + isoTime(firstArrivalMs) + "\",\"hex\":\"" + bytes.toHex().toUpper()
            + "\",\"length\":" + QByteArray::number(bytes.size()) + (cutShort ? ",\"ended\":false" : "") + "}\n";
    }
    return isoTime(firstArrivalMs) + '\t' + hexText(bytes) + '\t' + shownText(bytes)
        + (cutShort ? "\t(cut short: no pause ended it)" : "") + '\n';
}

QByteArray configLines(const ConfigFields &fields)
{
    QByteArray lines;
    for (ConfigField field : AllConfigFields)
        lines += QByteArray(fieldCaption(field)) + ": " + shownText(fields[field]) + '\n';
    return lines;
}

QByteArray configJson(const ConfigFields &fields)
{
    QByteArray line = "{";
    for (ConfigField field : AllConfigFields) {
        if (line.size() > 1)
            line += ',';
        line += '"' + QByteArray(fieldControlName(field)) + "\":" + jsonString(fields[field]);
    }
    return line + "}\n";
}

} // namespace zantoctl
