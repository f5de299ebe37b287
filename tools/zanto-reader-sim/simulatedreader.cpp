#include "simulatedreader.h"

#include "commandframer.h"

#include <array>
#include <string_view>

using namespace zanto;

namespace {

// Text answers end in CR LF so they read well in the tool's grid and in a
// terminal; only the configuration reply has the reader's own framing.
QByteArray line(std::string_view text)
{
    return QByteArray(text.data(), qsizetype(text.size())) + "\r\n";
}

struct FixedAnswer {
    std::string_view command;
    std::string_view reply;
    bool hangUp = false;
};

// Commands that take no argument and whose answer never changes.
constexpr std::array<FixedAnswer, 12> FixedAnswers = {{
    {"G", "IN1 0"},
    {"N", "IN2 0"},
    {"F", "IN1+ 0"},
    {"A", "IN3 0"},
    {"S", "ZANTO READER V3.0 SIM"},
    {"H", "H OK"},
    {"LON", "LON OK"},
    {"LOFF", "LOFF OK"},
    {"M", "SETUP TAG READ OK"},
    {"K", "SETUP TAG WRITE OK"},
    {"IP", "IP 127.0.0.1 MASK 255.0.0.0 GW 127.0.0.1"},
    {"RESET", "RESET", true},
}};

} // namespace

ReaderReply SimulatedReader::answer(const QByteArray &command)
{
    for (const FixedAnswer &row : FixedAnswers) {
        if (command == QByteArrayView(row.command.data(), qsizetype(row.command.size())))
            return {line(row.reply), row.hangUp};
    }
    if (command == "L")
        return configRead();
    // Argument-carrying commands; none of these prefixes is also a whole
    // fixed command, so the order of the tests does not matter.
    if (command.startsWith("C0"))
        return configWrite(command);
    if (command.startsWith("W0"))
        return tagWrite(command);
    if (command.startsWith('w'))
        return shortTagWrite(command);
    return {line("ERR ?")};
}

ReaderReply SimulatedReader::overlongLine()
{
    return {line("ERR line too long")};
}

ReaderReply SimulatedReader::configRead() const
{
    const ConfigBuildResult built = BuildConfigString(m_fields);
    // Every configuration we accept has been built once already (see
    // configWrite), so this cannot fail; answering something readable beats
    // answering nothing should that ever change.
    if (!built.ok)
        return {line("ERR config state")};
    return {buildConfigReply(built.string, '\r')};
}

ReaderReply SimulatedReader::configWrite(const QByteArray &command)
{
    if (command.size() < 4)
        return {line("ERR config")};
    const char tens = command[2];
    const char units = command[3];
    if (tens < '0' || tens > '9' || units < '0' || units > '9')
        return {line("ERR config length")};
    const QByteArray string = command.mid(4);
    if (string.size() != (tens - '0') * 10 + (units - '0'))
        return {line("ERR config length")};

    // Reuse the tool's own decoder: it recognises the string by its length in a
    // reply, which is what the reader would report back.
    const std::optional<DecodedConfig> decoded = decodeConfigReply(buildConfigReply(string));
    if (!decoded)
        return {line("ERR config")};
    ConfigFields next = m_fields;
    applyDecoded(*decoded, next);
    // Accept only what we would report back unchanged: that rejects a wrong
    // prefix, a misplaced field letter and codes outside the tables, which the
    // decoder alone skips over. A tool that builds a broken string should see
    // an error here rather than a configuration that silently differs.
    const ConfigBuildResult rebuilt = BuildConfigString(next);
    if (!rebuilt.ok || rebuilt.string != string)
        return {line("ERR config")};
    m_fields = next;
    return {line("OK")};
}

ReaderReply SimulatedReader::tagWrite(const QByteArray &command)
{
    const std::optional<qsizetype> length = tagWriteDataLength(command);
    if (!length || command.size() < 4 + *length)
        return {line("ERR W length")};
    return {line("W OK " + std::to_string(*length))};
}

ReaderReply SimulatedReader::shortTagWrite(const QByteArray &command)
{
    if (command.size() < 2 || static_cast<unsigned char>(command[1]) < '0')
        return {line("ERR w length")};
    const qsizetype count = static_cast<unsigned char>(command[1]) - '0';
    if (command.size() < 2 + count)
        return {line("ERR w length")};
    return {line("w OK " + std::to_string(count))};
}
