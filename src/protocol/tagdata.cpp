#include "protocol/tagdata.h"

namespace zanto {

namespace {

// Only "0"-"9" and upper-case "A"-"F" make an escape; "/ff" is three plain bytes.
int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Walks the text once; the callback receives every data byte in order. Shared by
// the parser and the counter so the two can never disagree.
template<typename Sink>
void forEachDataByte(const QByteArray &text, Sink &&sink)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = text[i];
        // An escape needs both digits inside the text.
        if (c != '/' || i + 2 >= n) {
            sink(c);
            continue;
        }
        const int high = hexDigitValue(text[i + 1]);
        const int low = hexDigitValue(text[i + 2]);
        if (high >= 0 && low >= 0) {
            sink(static_cast<char>(high * 16 + low));
            i += 2;
        } else {
            // The slash stands for itself; the characters after it are read afresh,
            // so "//41" is a slash followed by an escape.
            sink(c);
        }
    }
}

} // namespace

QByteArray parseTagData(const QByteArray &text)
{
    QByteArray data;
    data.reserve(text.size());
    forEachDataByte(text, [&data](char b) { data.append(b); });
    return data;
}

qsizetype tagDataByteCount(const QByteArray &text)
{
    qsizetype count = 0;
    forEachDataByte(text, [&count](char) { ++count; });
    return count;
}

Result<QByteArray> buildTagWriteCommand(const QByteArray &text, const QByteArray &code)
{
    return buildTagWriteFrame(parseTagData(text), code);
}

} // namespace zanto
