#include "protocol/latin1.h"

namespace zanto {

namespace {

bool isEightBit(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

} // namespace

std::optional<QByteArray> toBytes(const QString &text)
{
    if (!isEightBit(text))
        return std::nullopt;
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

QString firstWideCharacter(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() > 0xFF)
            return codePointName(c.unicode());
    }
    return {};
}

} // namespace zanto
