#include "protocol/hexformat.h"

namespace zanto {

QByteArray hexText(const QByteArray &bytes, qsizetype maxBytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    const qsizetype n = (maxBytes >= 0 && maxBytes < bytes.size()) ? maxBytes : bytes.size();
    QByteArray out(n * 3, Qt::Uninitialized);
    char *p = out.data();
    for (qsizetype i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        *p++ = ' ';
        *p++ = digits[b >> 4];
        *p++ = digits[b & 0x0F];
    }
    return out;
}

QByteArray displayText(const QByteArray &bytes, qsizetype maxBytes)
{
    const qsizetype n = (maxBytes >= 0 && maxBytes < bytes.size()) ? maxBytes : bytes.size();
    QByteArray out;
    out.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        if (bytes[i] != '\0')
            out.append(bytes[i]);
    }
    return out;
}

} // namespace zanto
