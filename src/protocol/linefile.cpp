#include "protocol/linefile.h"

#include <cstring>

namespace zanto {

void appendLine(QByteArray &out, QByteArrayView line)
{
    out.append(line);
    out.append("\r\n");
}

ParsedLines parseLines(const QByteArray &content, const LineLimits &limits)
{
    ParsedLines result;
    const char *const data = content.constData();
    const qsizetype n = content.size();
    qsizetype start = 0;

    // Every byte is looked at once by memchr and never again: each pass moves
    // start beyond the line end it found, so no content can make this loop stall.
    while (start < n) {
        if (limits.maxLines >= 0 && result.lines.size() >= limits.maxLines)
            break; // what follows is simply not wanted

        const void *found = std::memchr(data + start, '\n', static_cast<size_t>(n - start));
        const qsizetype lf = found ? static_cast<const char *>(found) - data : -1;
        qsizetype end = found ? lf : n;
        // Only a CR right before the LF belongs to the line end; a CR anywhere
        // else, a last one without LF included, is part of the value.
        if (found && end > start && data[end - 1] == '\r')
            --end;

        const qsizetype length = end - start;
        if (limits.maxLineLength >= 0 && length > limits.maxLineLength) {
            result.stoppedEarly = true;
            break;
        }
        result.lines.append(QByteArray(data + start, length));
        start = found ? lf + 1 : n;
    }
    return result;
}

} // namespace zanto
