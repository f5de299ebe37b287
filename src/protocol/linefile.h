#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace zanto {

// Files are 8-bit text, one value per line. Lines end with CR LF when written;
// on reading CR LF and a bare LF both end a line (a final line without an end
// counts too).
void appendLine(QByteArray &out, QByteArrayView line);

struct LineLimits {
    int maxLines = -1;             // lines wanted; reading stops after them (-1: all)
    qsizetype maxLineLength = -1;  // a longer line stops the reading there (-1: none)
};

struct ParsedLines {
    QList<QByteArray> lines; // the lines read, without their line ends
    bool stoppedEarly = false; // a line over the limit stopped the reading
};

ParsedLines parseLines(const QByteArray &content, const LineLimits &limits = {});

} // namespace zanto
