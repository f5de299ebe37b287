#include "simulatedreader.h"

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
    ReaderCommand command;
    std::string_view reply;
    bool hangUp = false;
};

// Commands that take no argument and whose answer never changes.
constexpr std::array<FixedAnswer, 12> FixedAnswers = {{
    {ReaderCommand::Input1, "IN1 0"},
    {ReaderCommand::Input2, "IN2 0"},
    {ReaderCommand::Input1Plus, "IN1+ 0"},
    {ReaderCommand::Input3, "IN3 0"},
    {ReaderCommand::BootString, "ZANTO READER V3.0 SIM"},
    {ReaderCommand::H, "H OK"},
    {ReaderCommand::Lon, "LON OK"},
    {ReaderCommand::Loff, "LOFF OK"},
    {ReaderCommand::ReadSetupTag, "SETUP TAG READ OK"},
    {ReaderCommand::WriteSetupTag, "SETUP TAG WRITE OK"},
    {ReaderCommand::ReadEthernet, "IP 127.0.0.1 MASK 255.0.0.0 GW 127.0.0.1"},
    {ReaderCommand::Reboot, "RESET", true},
}};

} // namespace

ReaderReply SimulatedReader::answer(const QByteArray &command)
{
    const std::optional<ReaderCommand> kind = identifyCommand(command);
    if (!kind)
        return {line("ERR ?")};
    switch (*kind) {
    case ReaderCommand::ReadConfig:
        return configRead();
    case ReaderCommand::ConfigWrite:
        return configWrite(command);
    case ReaderCommand::TagWrite:
        return tagWrite(command);
    case ReaderCommand::ShortTagWrite:
        return shortTagWrite(command);
    default:
        break;
    }
    for (const FixedAnswer &row : FixedAnswers) {
        if (row.command == *kind)
            return {line(row.reply), row.hangUp};
    }
    return {line("ERR ?")};
}

ReaderReply SimulatedReader::overlongLine()
{
    return {line("ERR line too long")};
}

ReaderReply SimulatedReader::configRead() const
{
    const Result<QByteArray, ConfigProblem> built = BuildConfigString(m_fields);
    // Every configuration we accept has been built once already (see
    // configWrite), so this cannot fail; answering something readable beats
    // answering nothing should that ever change.
    if (!built)
        return {line("ERR config state")};
    return {buildConfigReply(*built, '\r')};
}

ReaderReply SimulatedReader::configWrite(const QByteArray &command)
{
    const std::optional<QByteArray> string = parseConfigWriteCommand(command);
    if (m_writes == Writes::Refused)
        return {line("ERR config")};
    if (!string)
        return {line(command.size() < 4 ? "ERR config" : "ERR config length")};

    // The string's length tells its mode, as it would in the reply we give back.
    const std::optional<DecodedConfig> decoded = decodeConfigString(*string);
    if (!decoded)
        return {line("ERR config")};
    ConfigFields next = m_fields;
    applyDecoded(*decoded, next);
    // Accept only what we would report back unchanged: that rejects a wrong
    // prefix, a misplaced field letter and codes outside the tables, which the
    // decoder alone skips over. A tool that builds a broken string should see
    // an error here rather than a configuration that silently differs.
    const Result<QByteArray, ConfigProblem> rebuilt = BuildConfigString(next);
    if (!rebuilt || *rebuilt != *string)
        return {line("ERR config")};
    if (m_writes == Writes::Kept)
        m_fields = next;
    return {line("OK")};
}

ReaderReply SimulatedReader::tagWrite(const QByteArray &command)
{
    const std::optional<TagWriteFrame> frame = parseTagWriteCommand(command);
    if (!frame)
        return {line("ERR W length")};
    return {line("W OK " + std::to_string(frame->data.size()))};
}

ReaderReply SimulatedReader::shortTagWrite(const QByteArray &command)
{
    const std::optional<ShortTagWriteFrame> frame = parseShortTagWriteCommand(command);
    if (!frame)
        return {line("ERR w length")};
    return {line("w OK " + std::to_string(frame->text.size()))};
}
