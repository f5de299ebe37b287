#pragma once

// How zantoctl prints what the reader sent: every byte shown, one line a
// burst, whatever the bytes are.

#include "protocol/configlayout.h"

#include <QByteArray>

namespace zantoctl {

// 8-bit text from the reader or a file as a terminal line shows it: control
// characters (C0, DEL, C1) as /XX, as the window's copied rows write them, the
// rest as characters in the terminal's encoding.
QByteArray shownText(const QByteArray &latin1);

// A JSON string of 8-bit text: every character as itself, but quotes,
// backslashes and the control characters (C0, DEL, C1), which are escaped.
QByteArray jsonString(const QByteArray &latin1);

// One burst: the time its first byte arrived (local, ISO 8601, milliseconds),
// the bytes in hexadecimal as the grid shows them, and the text; or the same
// as a JSON object. A burst cut short (no pause ended it) says so.
QByteArray burstLine(const QByteArray &bytes, qint64 firstArrivalMs, bool json, bool cutShort = false);

// The twelve fields as "Caption: text" lines in file order, or as one JSON
// object keyed by the fields' names.
QByteArray configLines(const zanto::ConfigFields &fields);
QByteArray configJson(const zanto::ConfigFields &fields);

} // namespace zantoctl
