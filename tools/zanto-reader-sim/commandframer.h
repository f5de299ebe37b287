#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <optional>

// One command as the reader sees it: the text before its end, or the news
// that a line grew past the limit and was thrown away.
struct CommandFrame {
    QByteArray line;
    bool overlong = false;
};

// The data length a tag write ("W0", two length characters, data, code)
// announces: (c1 - 48) * 10 + (c2 - 48). Nothing when the text does not start
// with "W0" and two length characters of "0" or above.
std::optional<qsizetype> tagWriteDataLength(QByteArrayView text);

// Cuts the byte stream of one link into commands. CR ends a command, and so
// does LF (so CR LF from a terminal gives one command); empty lines are
// dropped. A tag write may carry CR and LF inside its data, so inside the
// announced data length they are data, not ends. A line never grows past
// MaxLineLength: the rest of it is skipped and reported once its end comes.
class CommandFramer
{
public:
    static constexpr qsizetype MaxLineLength = 4096;

    QList<CommandFrame> feed(QByteArrayView bytes);

private:
    bool endsHere(char byte) const;

    QByteArray m_line;
    bool m_discarding = false;
};
