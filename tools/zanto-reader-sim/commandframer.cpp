#include "commandframer.h"

#include "protocol/commands.h"

bool CommandFramer::endsHere(char byte) const
{
    if (byte != '\r' && byte != '\n')
        return false;
    // Inside a tag write's data every byte value is data, CR and LF included:
    // the line ends only once the frame holds all the data it announces.
    if (zanto::tagWriteDataLength(m_line))
        return zanto::holdsAllTagWriteData(m_line);
    return true;
}

void CommandFramer::feed(QByteArrayView bytes, const std::function<bool(const CommandFrame &)> &sink)
{
    for (const char byte : bytes) {
        if (!m_discarding && endsHere(byte)) {
            const bool more = m_line.isEmpty() || sink({m_line, false});
            m_line.clear();
            if (!more)
                return;
            continue;
        }
        if (m_discarding) {
            if (byte == '\r' || byte == '\n') {
                m_discarding = false;
                if (!sink({{}, true}))
                    return;
            }
            continue;
        }
        if (m_line.size() >= MaxLineLength) {
            // Whatever comes before the end of this line is lost anyway; keeping
            // it would only let a stuck sender grow our memory without bound.
            m_line.clear();
            m_line.squeeze();
            m_discarding = true;
            continue;
        }
        m_line.append(byte);
    }
}
