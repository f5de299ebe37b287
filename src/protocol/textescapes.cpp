#include "protocol/textescapes.h"

#include "protocol/latin1.h"

namespace zanto {

namespace {

bool isUpperHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

} // namespace

QByteArray escapedText(const QByteArray &bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const bool control = isControlCharacter(b);
        const bool slashReadAsEscape = b == '/' && i + 2 < bytes.size() && isUpperHexDigit(bytes[i + 1]) && isUpperHexDigit(bytes[i + 2]);
        if (control || slashReadAsEscape) {
            out += '/';
            out += digits[b >> 4];
            out += digits[b & 0x0F];
        } else {
            out += char(b);
        }
    }
    return out;
}

} // namespace zanto
