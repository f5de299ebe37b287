#pragma once

#include "protocol/commands.h"

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

// Normal form without the final CR: "W0", tens character (48 + L / 10), units
// character (48 + L % 10), the data bytes, then the code. Nothing when the data is
// longer than MaxTagWriteBytes. (The frame itself, both ways, and the short form
// are in commands.h.)
Result<QByteArray> buildTagWriteCommand(const QByteArray &text, const QByteArray &code);

} // namespace zanto
