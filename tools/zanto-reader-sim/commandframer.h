#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <functional>

// One command as the reader sees it: the text before its end, or the news
// that a line grew past the limit and was thrown away.
struct CommandFrame {
    QByteArray line;
    bool overlong = false;
};

// Cuts the byte stream of one link into commands. CR ends a command, and so
// does LF (so CR LF from a terminal gives one command); empty lines are
// dropped. A tag write may carry CR and LF inside its data, so inside the
// length its frame announces they are data, not ends. A line never grows past
// MaxLineLength: the rest of it is skipped and reported once its end comes.
class CommandFramer
{
public:
    static constexpr qsizetype MaxLineLength = 4096;

    // Hands each command to the sink as soon as its end is seen, so a read
    // full of commands never becomes a list of them. The sink returns false to
    // stop: the bytes after that command are dropped (the link is gone).
    void feed(QByteArrayView bytes, const std::function<bool(const CommandFrame &)> &sink);

private:
    bool endsHere(char byte) const;

    QByteArray m_line;
    bool m_discarding = false;
};
