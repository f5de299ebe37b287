#include "protocol/commands.h"

#include <algorithm>
#include <array>

namespace zanto {

namespace {

using C = ReaderCommand;
using R = LinkRule;

// The reader's command vocabulary. Only the configuration write tries the
// serial port first; H, LOFF, IP and RESET go out on every open link.
constexpr std::array<CommandSpec, ReaderCommandCount> Commands = {{
    {C::Input1, "G", R::TcpFirst, true},
    {C::Input2, "N", R::TcpFirst, true},
    {C::Input1Plus, "F", R::TcpFirst, true},
    {C::BootString, "S", R::TcpFirst, true},
    {C::Lon, "LON", R::TcpFirst, true},
    {C::Loff, "LOFF", R::BothLinks, true},
    {C::Input3, "A", R::TcpFirst, true},
    {C::H, "H", R::BothLinks, true},
    {C::TagWrite, "W0", R::TcpFirst, false},
    {C::ShortTagWrite, "w", R::TcpFirst, false},
    {C::ReadSetupTag, "M", R::TcpFirst, true},
    {C::WriteSetupTag, "K", R::TcpFirst, true},
    {C::ReadConfig, "L", R::TcpFirst, true},
    {C::ConfigWrite, "C0", R::SerialFirst, false},
    {C::ReadEthernet, "IP", R::BothLinks, true},
    {C::Reboot, "RESET", R::BothLinks, true},
}};

constexpr bool inEnumOrder()
{
    for (std::size_t i = 0; i < Commands.size(); ++i) {
        if (static_cast<std::size_t>(Commands[i].command) != i)
            return false;
    }
    return true;
}
static_assert(inEnumOrder(), "commandSpec() indexes the table by the enum");

QByteArray bytes(std::string_view text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

QByteArrayView viewOf(std::string_view text)
{
    return QByteArrayView(text.data(), static_cast<qsizetype>(text.size()));
}

// A length character: the character whose code is 48 plus the digit value.
// Past 9 it leaves the digits (":" for 10, ";" for 11, ...).
char lengthChar(qsizetype value)
{
    return static_cast<char>(48 + value);
}

// The reverse, with only the lower bound as a rule: a tens character past "9"
// is how lengths from 100 on are written.
std::optional<qsizetype> lengthValue(char c)
{
    const auto code = static_cast<unsigned char>(c);
    if (code < 48)
        return std::nullopt;
    return qsizetype(code) - 48;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

const CommandSpec &commandSpec(ReaderCommand command)
{
    return Commands[static_cast<std::size_t>(command)];
}

QByteArray commandText(ReaderCommand command)
{
    return bytes(commandSpec(command).text);
}

LinkRule commandRule(ReaderCommand command)
{
    return commandSpec(command).rule;
}

std::optional<ReaderCommand> identifyCommand(QByteArrayView line)
{
    // Whole fixed commands first: "LON" is a command of its own, not a frame.
    for (const CommandSpec &row : Commands) {
        if (row.fixed && line == viewOf(row.text))
            return row.command;
    }
    for (const CommandSpec &row : Commands) {
        if (!row.fixed && line.startsWith(viewOf(row.text)))
            return row.command;
    }
    return std::nullopt;
}

// ---- tag write -----------------------------------------------------------------

Result<QByteArray> buildTagWriteFrame(QByteArrayView data, QByteArrayView code)
{
    const qsizetype length = data.size();
    // Past 2079 bytes the tens character would need a code above 255.
    if (length > MaxTagWriteBytes) {
        return failure(QStringLiteral("%1 bytes of data; the write command carries at most %2")
                           .arg(length)
                           .arg(MaxTagWriteBytes));
    }
    const QByteArrayView lead = viewOf(commandSpec(C::TagWrite).text);
    QByteArray command;
    command.reserve(lead.size() + 2 + length + code.size());
    command.append(lead);
    command.append(lengthChar(length / 10));
    command.append(lengthChar(length % 10));
    command.append(data);
    command.append(code);
    return command;
}

std::optional<qsizetype> tagWriteDataLength(QByteArrayView command)
{
    const QByteArrayView lead = viewOf(commandSpec(C::TagWrite).text);
    if (command.size() < lead.size() + 2 || !command.startsWith(lead))
        return std::nullopt;
    const std::optional<qsizetype> tens = lengthValue(command[lead.size()]);
    const std::optional<qsizetype> units = lengthValue(command[lead.size() + 1]);
    if (!tens || !units)
        return std::nullopt;
    return *tens * 10 + *units;
}

bool holdsAllTagWriteData(QByteArrayView command)
{
    const std::optional<qsizetype> length = tagWriteDataLength(command);
    return length && command.size() >= qsizetype(commandSpec(C::TagWrite).text.size()) + 2 + *length;
}

std::optional<TagWriteFrame> parseTagWriteCommand(QByteArrayView command)
{
    if (!holdsAllTagWriteData(command))
        return std::nullopt;
    const qsizetype length = *tagWriteDataLength(command);
    const qsizetype start = commandSpec(C::TagWrite).text.size() + 2;
    return TagWriteFrame{command.sliced(start, length).toByteArray(), command.sliced(start + length).toByteArray()};
}

Result<QByteArray> buildShortTagWriteCommand(const QByteArray &text, const QByteArray &code)
{
    // The field is normally held to five characters in this form; a longer text
    // set by the program still works as long as its count fits in one byte.
    const qsizetype count = text.size();
    if (48 + count > 255)
        return failure(QStringLiteral("%1 characters are too many for the short form").arg(count));
    const QByteArrayView lead = viewOf(commandSpec(C::ShortTagWrite).text);
    QByteArray command;
    command.reserve(lead.size() + 1 + count + code.size());
    command.append(lead);
    command.append(lengthChar(count));
    command.append(text);
    command.append(code);
    return command;
}

std::optional<ShortTagWriteFrame> parseShortTagWriteCommand(QByteArrayView command)
{
    const QByteArrayView lead = viewOf(commandSpec(C::ShortTagWrite).text);
    if (command.size() < lead.size() + 1 || !command.startsWith(lead))
        return std::nullopt;
    const std::optional<qsizetype> count = lengthValue(command[lead.size()]);
    const qsizetype start = lead.size() + 1;
    if (!count || command.size() < start + *count)
        return std::nullopt;
    return ShortTagWriteFrame{command.sliced(start, *count).toByteArray(),
                              command.sliced(start + *count).toByteArray()};
}

// ---- configuration -------------------------------------------------------------

QByteArray configReadRequest()
{
    return commandText(C::ReadConfig);
}

Result<QByteArray> buildConfigWriteCommand(const QByteArray &configString)
{
    const qsizetype n = configString.size();
    if (n > MaxConfigStringLength)
        return failure(QStringLiteral("the configuration string is longer than %1 characters").arg(MaxConfigStringLength));
    QByteArray command = commandText(C::ConfigWrite);
    command.append(lengthChar(n / 10));
    command.append(lengthChar(n % 10));
    command.append(configString);
    return command;
}

std::optional<QByteArray> parseConfigWriteCommand(QByteArrayView command)
{
    const QByteArrayView lead = viewOf(commandSpec(C::ConfigWrite).text);
    const qsizetype start = lead.size() + 2;
    if (command.size() < start || !command.startsWith(lead))
        return std::nullopt;
    const char tens = command[lead.size()];
    const char units = command[lead.size() + 1];
    if (!isDigit(tens) || !isDigit(units))
        return std::nullopt;
    const QByteArrayView string = command.sliced(start);
    if (string.size() != (tens - '0') * 10 + (units - '0'))
        return std::nullopt;
    return string.toByteArray();
}

QByteArray buildConfigReply(const QByteArray &configString, char finalChar)
{
    // Strings of 10000 characters or more would get more digits; no reader sends
    // such a thing, and this is only used to stand in for one.
    QByteArray reply = QByteArray::number(configString.size()).rightJustified(4, '0');
    reply.append(configString);
    reply.append(finalChar);
    return reply;
}

std::optional<ConfigReply> parseConfigReply(QByteArrayView receivedText)
{
    for (const ModeLayout &layout : modeLayouts()) {
        // Every burst comes through here: compare lengths before making digits.
        if (receivedText.size() != configStringLength(layout.mode) + 5)
            continue;
        const ReplyShape shape = replyShape(layout.mode);
        if (receivedText.startsWith(shape.digits)) {
            return ConfigReply{layout.mode, receivedText.sliced(4, shape.length - 5).toByteArray(),
                               receivedText.back()};
        }
    }
    return std::nullopt;
}

namespace {

// The bytes from `at` agree with the mode's reply as far as they go: the
// length digits, the prefix, the name's "S" and each field's letter.
bool matchesShape(QByteArrayView bytes, qsizetype at, const ModeLayout &layout, const ReplyShape &shape)
{
    const qsizetype available = qMin(bytes.size() - at, shape.length);
    const auto agrees = [&](qsizetype offset, QByteArrayView expected) {
        for (qsizetype i = 0; i < expected.size(); ++i) {
            if (offset + i < available && bytes[at + offset + i] != expected[i])
                return false;
        }
        return true;
    };
    if (!agrees(0, shape.digits) || !agrees(4, viewOf(layout.prefix)))
        return false;
    qsizetype offset = 4 + qsizetype(layout.prefix.size());
    for (ConfigField field : layout.fields) {
        const StringSegment &segment = *stringSegment(field);
        const char letter = segment.letter;
        if (!agrees(offset, QByteArrayView(&letter, 1)))
            return false;
        offset += 1 + segment.width;
    }
    return true;
}

} // namespace

std::optional<ReplyInStream> findConfigReply(QByteArrayView bytes, qsizetype from)
{
    for (qsizetype at = qMax<qsizetype>(0, from); at < bytes.size(); ++at) {
        if (bytes[at] != '0')
            continue;
        for (const ModeLayout &layout : modeLayouts()) {
            const ReplyShape shape = replyShape(layout.mode);
            // Only a start that is all there, digits included, tells its mode.
            if (bytes.size() - at < 4 || !matchesShape(bytes, at, layout, shape))
                continue;
            return ReplyInStream{at, shape.length, layout.mode, bytes.size() - at >= shape.length};
        }
    }
    return std::nullopt;
}

} // namespace zanto
