#pragma once

#include <QString>

namespace zanto {

// The byte count the tag data text stands for (escapes decoded).
qsizetype tagTextByteCount(const QString &text);

} // namespace zanto
