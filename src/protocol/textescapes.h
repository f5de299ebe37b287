#pragma once

#include <QByteArray>

namespace zanto {

// Received bytes as one line of text that shows every byte: control characters
// (C0, DEL and C1) and NUL become "/XX" with two upper-case hex digits, the
// escape the tag data field reads, and a "/" that would otherwise be read as
// the start of such an escape becomes "/2F". Reading the result back with the
// tag data escapes gives the bytes again, so a copied row can be sent again.
QByteArray escapedText(const QByteArray &bytes);

} // namespace zanto
