#pragma once

#include "protocol/result.h"

#include <QByteArray>
#include <QString>

namespace zanto {

// The one place where widget text meets 8-bit text: one character, one byte.
// A character outside 8 bits has no byte; callers refuse such texts rather than
// send or store them altered. The error names the first such character, as a
// message names it ("U+20AC").
Result<QByteArray> toBytes(const QString &text);
QString fromBytes(const QByteArray &bytes);
// A character as a message names it: "U+0085".
QString codePointName(char32_t c);
// C0, DEL and C1: characters that are no text of their own in a field, a file
// name or a copied row.
constexpr bool isControlCharacter(char16_t u)
{
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

} // namespace zanto
