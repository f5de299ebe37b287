#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace zanto {

// The one place where widget text meets 8-bit text: one character, one byte.
// A character outside 8 bits has no byte; callers refuse such texts rather than
// send or store them altered.
std::optional<QByteArray> toBytes(const QString &text);
QString fromBytes(const QByteArray &bytes);
bool isEightBit(const QString &text);
// The first character outside 8 bits, for messages ("U+20AC").
QString firstWideCharacter(const QString &text);

} // namespace zanto
