#include "protocol/latin1.h"

namespace zanto {

Result<QByteArray> toBytes(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() > 0xFF)
            return failure(codePointName(c.unicode()));
    }
    return text.toLatin1();
}

QString fromBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

QString codePointName(char32_t c)
{
    return QStringLiteral("U+%1").arg(quint32(c), 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace zanto
