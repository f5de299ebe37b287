// The twelve Configure Reader texts, as a user or a loaded file may leave them,
// into the configuration string and the write command.
//
// Input layout: two selector bytes, then up to twelve texts separated by 0x1F in
// file order (ReaderName, Mode, BaudRate, RS485Mode, Frequency, TermChar,
// HeadChar, StringLength, HandShake, Heartbeat, TagsToRead, ReadRange). A
// missing text is empty. When bit i of the selector is set, field i is not taken
// as typed but picked the way the dialog offers it: from the field's list by the
// text's first byte, or, for the free fields, cut or padded to the width the
// string has room for. That keeps the sendable cases within the fuzzer's reach.

#include "fuzzcheck.h"
#include "protocol/configstring.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

using namespace zanto;

namespace {

std::string_view view(const QByteArray &bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

QByteArray bytes(std::string_view text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

template<typename Table>
bool hasText(const Table &table, const QByteArray &text)
{
    for (const auto &row : table) {
        if (row.text == view(text))
            return true;
    }
    return false;
}

template<typename Table>
std::optional<QByteArray> textOfCode(const Table &table, const QByteArray &code)
{
    for (const auto &row : table) {
        if (row.code == view(code))
            return bytes(row.text);
    }
    return std::nullopt;
}

bool hasBaudPair(const QByteArray &baud, const QByteArray &rs485)
{
    for (const BaudCode &row : BaudCodes) {
        if (row.baudRate == view(baud) && row.rs485Mode == view(rs485))
            return true;
    }
    return false;
}

QByteArray fitted(const QByteArray &text, qsizetype width)
{
    return text.left(width).leftJustified(width, '0');
}

QByteArray picked(ConfigField field, const QByteArray &text)
{
    const int index = text.isEmpty() ? 0 : static_cast<unsigned char>(text[0]);
    const auto fromList = [index](const QList<QByteArray> &list) { return list[index % list.size()]; };
    switch (field) {
    case ConfigField::ReaderName: return fitted(text, 5);
    case ConfigField::Mode: return fromList(modeEntries());
    case ConfigField::BaudRate: return fromList(baudRateEntries());
    case ConfigField::RS485Mode: return fromList(rs485ModeEntries());
    case ConfigField::Frequency: return fromList(frequencyEntries());
    case ConfigField::TermChar:
    case ConfigField::HeadChar:
    case ConfigField::HandShake: return fitted(text, 2);
    case ConfigField::StringLength: return fromList(stringLengthEntries());
    case ConfigField::Heartbeat: return fromList(heartbeatEntries());
    case ConfigField::TagsToRead: return fromList(tagsToReadEntries());
    case ConfigField::ReadRange: return fromList(readRangeEntries());
    }
    return text;
}

ConfigFields fieldsFrom(const std::uint8_t *data, std::size_t size)
{
    ConfigFields fields;
    unsigned selector = 0;
    if (size >= 2) {
        selector = data[0] | (unsigned(data[1]) << 8);
        data += 2;
        size -= 2;
    } else {
        size = 0;
    }
    const QByteArray rest(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QList<QByteArray> texts = rest.split('\x1F');
    for (int i = 0; i < ConfigFieldCount; ++i) {
        const auto field = static_cast<ConfigField>(i);
        const QByteArray text = texts.value(i);
        fields[field] = (selector >> i) & 1 ? picked(field, text) : text;
    }
    return fields;
}

// Room each field takes in the string: a table text becomes its code, any other
// text its letter followed by the text as typed.
struct Sizes {
    qsizetype name, frequency, range = 2, baud = 2, length, term, head, hand, tags, beat = 2;
};

Sizes sizesOf(const ConfigFields &f)
{
    Sizes s;
    s.name = 1 + f[ConfigField::ReaderName].size();
    s.frequency = hasText(FrequencyCodes, f[ConfigField::Frequency]) ? 3 : 1 + f[ConfigField::Frequency].size();
    s.length = hasText(StringLengthCodes, f[ConfigField::StringLength]) ? 3 : 1 + f[ConfigField::StringLength].size();
    s.term = 1 + f[ConfigField::TermChar].size();
    s.head = 1 + f[ConfigField::HeadChar].size();
    s.hand = 1 + f[ConfigField::HandShake].size();
    s.tags = hasText(TagsToReadCodes, f[ConfigField::TagsToRead]) ? 2 : 1 + f[ConfigField::TagsToRead].size();
    return s;
}

// The pieces in string order, each with the field it comes from.
QList<std::pair<ConfigField, qsizetype>> piecesOf(ReaderMode mode, const Sizes &s)
{
    QList<std::pair<ConfigField, qsizetype>> pieces{{ConfigField::ReaderName, s.name},
                                                    {ConfigField::Frequency, s.frequency},
                                                    {ConfigField::ReadRange, s.range},
                                                    {ConfigField::BaudRate, s.baud}};
    switch (mode) {
    case ReaderMode::Standard:
        break;
    case ReaderMode::Enhanced:
        pieces << std::pair{ConfigField::StringLength, s.length} << std::pair{ConfigField::TermChar, s.term};
        break;
    case ReaderMode::Track:
        pieces << std::pair{ConfigField::StringLength, s.length} << std::pair{ConfigField::TermChar, s.term}
               << std::pair{ConfigField::HeadChar, s.head} << std::pair{ConfigField::HandShake, s.hand}
               << std::pair{ConfigField::TagsToRead, s.tags};
        break;
    case ReaderMode::Universal:
        pieces << std::pair{ConfigField::StringLength, s.length} << std::pair{ConfigField::TermChar, s.term}
               << std::pair{ConfigField::HeadChar, s.head} << std::pair{ConfigField::Heartbeat, s.beat};
        break;
    }
    return pieces;
}

// A field the string carries is refused when it holds a line break (a CR would
// end the write command early at the reader) or, for a list-only field, when
// its text is no entry of the list.
bool refused(ConfigField field, const ConfigFields &f)
{
    const QByteArray &text = f[field];
    if (text.contains('\r') || text.contains('\n'))
        return true;
    switch (field) {
    case ConfigField::ReadRange: return !hasText(ReadRangeCodes, text);
    case ConfigField::BaudRate: return !hasBaudPair(f[ConfigField::BaudRate], f[ConfigField::RS485Mode]);
    case ConfigField::Heartbeat: return !hasText(HeartbeatCodes, text);
    default: return false;
    }
}

void checkWriteCommand(const QByteArray &string)
{
    const Result<QByteArray> command = buildConfigWriteCommand(string);
    FUZZ_CHECK(command.ok() == (string.size() < 100));
    if (!command)
        return;
    QByteArray expected = "C0";
    expected += char('0' + string.size() / 10);
    expected += char('0' + string.size() % 10);
    expected += string;
    FUZZ_CHECK(*command == expected);
}

// The text a field shows after its own string is read back, where the string
// has the exact widths a reply needs.
QByteArray frequencyReadBack(const QByteArray &text)
{
    if (hasText(FrequencyCodes, text))
        return text;
    const QByteArray code = "C" + text;
    if (code == "C02")
        return bytes(FrequencyCodes[0].text);
    return textOfCode(FrequencyCodes, code).value_or(text);
}

QByteArray stringLengthReadBack(const QByteArray &text)
{
    if (hasText(StringLengthCodes, text))
        return text;
    return textOfCode(StringLengthCodes, "L" + text).value_or(text);
}

QByteArray tagsReadBack(const QByteArray &text)
{
    if (hasText(TagsToReadCodes, text))
        return text;
    return textOfCode(TagsToReadCodes, "M" + text).value_or(text);
}

bool replyWidths(ReaderMode mode, const ConfigFields &f)
{
    const bool common = f[ConfigField::ReaderName].size() == 5
                        && (hasText(FrequencyCodes, f[ConfigField::Frequency]) || f[ConfigField::Frequency].size() == 2);
    if (!common || mode == ReaderMode::Standard)
        return common;
    if (!(hasText(StringLengthCodes, f[ConfigField::StringLength]) || f[ConfigField::StringLength].size() == 2) || f[ConfigField::TermChar].size() != 2)
        return false;
    switch (mode) {
    case ReaderMode::Enhanced: return true;
    case ReaderMode::Track:
        return f[ConfigField::HeadChar].size() == 2 && f[ConfigField::HandShake].size() == 2
               && (hasText(TagsToReadCodes, f[ConfigField::TagsToRead]) || f[ConfigField::TagsToRead].size() == 1);
    case ReaderMode::Universal: return f[ConfigField::HeadChar].size() == 2;
    case ReaderMode::Standard: break;
    }
    return true;
}

void checkRoundTrip(ReaderMode mode, const ConfigFields &f, const QByteArray &string)
{
    const std::optional<DecodedConfig> decoded = decodeConfigReply(buildConfigReply(string));
    FUZZ_CHECK(decoded.has_value() && decoded->mode == mode);
    ConfigFields back;
    applyDecoded(*decoded, back);

    FUZZ_CHECK(back[ConfigField::Mode] == f[ConfigField::Mode]);
    FUZZ_CHECK(back[ConfigField::ReaderName] == f[ConfigField::ReaderName]);
    FUZZ_CHECK(back[ConfigField::Frequency] == frequencyReadBack(f[ConfigField::Frequency]));
    FUZZ_CHECK(back[ConfigField::ReadRange] == f[ConfigField::ReadRange]);
    FUZZ_CHECK(back[ConfigField::BaudRate] == f[ConfigField::BaudRate] && back[ConfigField::RS485Mode] == f[ConfigField::RS485Mode]);
    if (mode != ReaderMode::Standard) {
        FUZZ_CHECK(back[ConfigField::StringLength] == stringLengthReadBack(f[ConfigField::StringLength]));
        FUZZ_CHECK(back[ConfigField::TermChar] == f[ConfigField::TermChar]);
    }
    if (mode == ReaderMode::Track || mode == ReaderMode::Universal)
        FUZZ_CHECK(back[ConfigField::HeadChar] == f[ConfigField::HeadChar]);
    if (mode == ReaderMode::Track) {
        FUZZ_CHECK(back[ConfigField::HandShake] == f[ConfigField::HandShake]);
        FUZZ_CHECK(back[ConfigField::TagsToRead] == tagsReadBack(f[ConfigField::TagsToRead]));
    }
    if (mode == ReaderMode::Universal)
        FUZZ_CHECK(back[ConfigField::Heartbeat] == f[ConfigField::Heartbeat]);

    // What was read back sends the very same string, but for the read-only
    // frequency code: a typed "02" goes out as C02 and comes back as the default
    // text, which goes out as C01.
    QByteArray expected = string;
    if (expected.mid(10, 3) == "C02")
        expected.replace(10, 3, "C01");
    const Result<QByteArray, ConfigProblem> again = BuildConfigString(back);
    FUZZ_CHECK(again && *again == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Any bytes at all as a string to write.
    checkWriteCommand(QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));

    const ConfigFields fields = fieldsFrom(data, size);
    const Result<QByteArray, ConfigProblem> result = BuildConfigString(fields);
    const Result<QByteArray, ConfigProblem> sent = configWriteCommand(fields);

    if (result) {
        FUZZ_CHECK(result->size() < 100);
        // The send frames exactly the string built.
        FUZZ_CHECK(sent && *sent == buildConfigWriteCommand(*result).value());
    } else {
        FUZZ_CHECK(result.error().field.has_value());
        // One line, whatever bytes the texts held.
        FUZZ_CHECK(!result.error().text.isEmpty());
        for (const QChar c : result.error().text)
            FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() != 0x7F);
        FUZZ_CHECK(!sent && sent.error().field == result.error().field);
        FUZZ_CHECK(sent.error().text == QStringLiteral("Not sent: ") + result.error().text);
    }
    const auto badField = [&result]() -> std::optional<ConfigField> {
        return result ? std::nullopt : result.error().field;
    };

    // Refusals come in the order the codes stand in the string.
    const std::optional<ReaderMode> mode = modeFromName(fields[ConfigField::Mode]);
    if (!mode) {
        FUZZ_CHECK(!result && badField() == ConfigField::Mode);
        return 0;
    }
    const QList<std::pair<ConfigField, qsizetype>> pieces = piecesOf(*mode, sizesOf(fields));
    for (const auto &piece : pieces) {
        if (refused(piece.first, fields)) {
            FUZZ_CHECK(!result && badField() == piece.first);
            return 0;
        }
    }

    qsizetype expectedSize = 4;
    for (const auto &piece : pieces)
        expectedSize += piece.second;

    if (expectedSize > 99) {
        // Too long: blamed on the largest piece, the first of equals.
        FUZZ_CHECK(!result && badField().has_value());
        qsizetype largest = 0;
        for (const auto &piece : pieces)
            largest = std::max(largest, piece.second);
        for (const auto &piece : pieces) {
            if (piece.second == largest) {
                FUZZ_CHECK(*badField() == piece.first);
                break;
            }
        }
        return 0;
    }

    FUZZ_CHECK(result.ok());
    const QByteArray &string = *result;
    FUZZ_CHECK(string.size() == expectedSize);
    FUZZ_CHECK(string.startsWith(*mode == ReaderMode::Universal ? "UUUU" : "$$$$"));
    FUZZ_CHECK(string.mid(4, 1 + fields[ConfigField::ReaderName].size()) == "S" + fields[ConfigField::ReaderName]);
    checkWriteCommand(string);

    if (replyWidths(*mode, fields))
        checkRoundTrip(*mode, fields, string);
    return 0;
}
