#pragma once

#include <QByteArray>
#include <optional>

namespace zanto {

// The data bytes a tag data text stands for: "/" followed by two upper-case hex
// digits is one byte of that value; every other character (a "/" that starts no
// valid escape included) is one byte of its own code. The text is 8-bit: one
// character, one byte.
QByteArray parseTagData(const QByteArray &text);

// The byte count shown while typing; always parseTagData(text).size().
qsizetype tagDataByteCount(const QByteArray &text);

// The largest data length whose length characters stay within 8 bits
// (48 + L / 10 must not pass 255).
inline constexpr qsizetype MaxTagWriteBytes = 2079;

// Normal form without the final CR: "W0", tens character (48 + L / 10), units
// character (48 + L % 10), the data bytes, then the code. Nothing when the data is
// longer than MaxTagWriteBytes.
std::optional<QByteArray> buildTagWriteCommand(const QByteArray &text, const QByteArray &code);

// Short form without the final CR: "w", the character 48 + number of characters
// of the text, the text as it stands ("/" is nothing special), then the code.
// Nothing when the count character would leave 8 bits.
std::optional<QByteArray> buildShortTagWriteCommand(const QByteArray &text, const QByteArray &code);

} // namespace zanto
