#pragma once

#include <QByteArray>

namespace zanto {

// " 0D 41": for every byte a blank and two upper-case hex digits. Only the first
// maxBytes bytes are formatted when maxBytes >= 0 (cells paint a bounded prefix).
QByteArray hexText(const QByteArray &bytes, qsizetype maxBytes = -1);

// The received bytes as the text column shows them: every code 0 dropped,
// everything else (control characters included) kept in place.
QByteArray displayText(const QByteArray &bytes, qsizetype maxBytes = -1);

} // namespace zanto
