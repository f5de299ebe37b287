#include "commandframer.h"

std::optional<qsizetype> tagWriteDataLength(QByteArrayView text)
{
    if (text.size() < 4 || !text.startsWith("W0"))
        return std::nullopt;
    const auto tens = static_cast<unsigned char>(text[2]);
    const auto units = static_cast<unsigned char>(text[3]);
    // The tool lets the tens character run past '9' for 100 bytes and more, so
    // only the lower bound is a real rule.
    if (tens < '0' || units < '0')
        return std::nullopt;
    return qsizetype(tens - '0') * 10 + qsizetype(units - '0');
}

bool CommandFramer::endsHere(char byte) const
{
    if (byte != '\r' && byte != '\n')
        return false;
    // Inside a tag write's data every byte value is data, CR and LF included.
    if (const auto length = tagWriteDataLength(m_line))
        return m_line.size() >= 4 + *length;
    return true;
}

QList<CommandFrame> CommandFramer::feed(QByteArrayView bytes)
{
    QList<CommandFrame> frames;
    for (const char byte : bytes) {
        if (!m_discarding && endsHere(byte)) {
            if (!m_line.isEmpty())
                frames.append({m_line, false});
            m_line.clear();
            continue;
        }
        if (m_discarding) {
            if (byte == '\r' || byte == '\n') {
                frames.append({{}, true});
                m_discarding = false;
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
    return frames;
}
