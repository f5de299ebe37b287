// Arbitrary bytes as a reply to the configuration read request. The decoder must
// recognise a reply by its length and length digits alone, read every field from
// its fixed position, and leave alone whatever a code outside the tables means.

#include "fuzzcheck.h"
#include "protocol/configstring.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

using namespace zanto;

namespace {

struct Shape {
    ReaderMode mode;
    qsizetype length;
    std::string_view digits;
};
constexpr Shape Shapes[] = {
    {ReaderMode::Standard, 22, "0017"},
    {ReaderMode::Enhanced, 28, "0023"},
    {ReaderMode::Track, 36, "0031"},
    {ReaderMode::Universal, 33, "0028"},
};

// Longer than any slice of a reply and equal to no table text, so a field still
// holding it after applyDecoded was provably not touched.
const QByteArray Untouched = "\x01untouched\x01";

ConfigFields untouchedFields()
{
    ConfigFields fields;
    for (int i = 0; i < ConfigFieldCount; ++i)
        fields[static_cast<ConfigField>(i)] = Untouched;
    return fields;
}

// The reply's bytes at a 1-based position, as the reply layout counts them.
struct Reply {
    const std::uint8_t *data;
    std::size_t size;

    QByteArray at(std::size_t position, std::size_t count) const
    {
        FUZZ_CHECK(position >= 1 && position - 1 + count <= size);
        return QByteArray(reinterpret_cast<const char *>(data) + position - 1,
                          static_cast<qsizetype>(count));
    }
};

template<typename Table>
std::optional<QByteArray> textOf(const Table &table, const QByteArray &code)
{
    for (const auto &row : table) {
        if (row.code == std::string_view(code.constData(), static_cast<std::size_t>(code.size())))
            return QByteArray(row.text.data(), static_cast<qsizetype>(row.text.size()));
    }
    return std::nullopt;
}

// What each field must hold after the reply is applied to untouchedFields().
ConfigFields expectedFields(const Shape &shape, const Reply &reply)
{
    ConfigFields fields = untouchedFields();
    fields[ConfigField::Mode] = modeName(shape.mode);
    fields[ConfigField::ReaderName] = reply.at(10, 5);

    const QByteArray frequencyCode = reply.at(15, 3);
    if (frequencyCode == "C02")
        fields[ConfigField::Frequency] = textOf(FrequencyCodes, "C01").value();
    else
        fields[ConfigField::Frequency] = textOf(FrequencyCodes, frequencyCode).value_or(reply.at(16, 2));

    if (auto text = textOf(ReadRangeCodes, reply.at(18, 2)))
        fields[ConfigField::ReadRange] = *text;

    const QByteArray baudCode = reply.at(20, 2);
    for (const BaudCode &row : BaudCodes) {
        if (row.code == std::string_view(baudCode.constData(), 2)) {
            fields[ConfigField::BaudRate] = QByteArray(row.baudRate.data(), qsizetype(row.baudRate.size()));
            fields[ConfigField::RS485Mode] = QByteArray(row.rs485Mode.data(), qsizetype(row.rs485Mode.size()));
        }
    }
    if (shape.mode == ReaderMode::Standard)
        return fields;

    fields[ConfigField::StringLength] = textOf(StringLengthCodes, reply.at(22, 3)).value_or(reply.at(23, 2));
    fields[ConfigField::TermChar] = reply.at(26, 2);
    if (shape.mode == ReaderMode::Enhanced)
        return fields;

    fields[ConfigField::HeadChar] = reply.at(29, 2);
    if (shape.mode == ReaderMode::Track) {
        fields[ConfigField::HandShake] = reply.at(32, 2);
        fields[ConfigField::TagsToRead] = textOf(TagsToReadCodes, reply.at(34, 2)).value_or(reply.at(35, 1));
    } else if (auto text = textOf(HeartbeatCodes, reply.at(31, 2))) {
        fields[ConfigField::Heartbeat] = *text;
    }
    return fields;
}

// The fields each mode's string carries, in the order they stand in it.
QList<ConfigField> carriedFields(ReaderMode mode)
{
    using F = ConfigField;
    QList<F> fields{F::ReaderName, F::Frequency, F::ReadRange, F::BaudRate};
    switch (mode) {
    case ReaderMode::Standard: break;
    case ReaderMode::Enhanced: fields << F::StringLength << F::TermChar; break;
    case ReaderMode::Track:
        fields << F::StringLength << F::TermChar << F::HeadChar << F::HandShake << F::TagsToRead;
        break;
    case ReaderMode::Universal:
        fields << F::StringLength << F::TermChar << F::HeadChar << F::Heartbeat;
        break;
    }
    return fields;
}

std::optional<ConfigField> firstLineBreak(ReaderMode mode, const ConfigFields &fields)
{
    for (const ConfigField field : carriedFields(mode)) {
        const QByteArray &text = fields[field];
        if (text.contains('\r') || text.contains('\n'))
            return field;
    }
    return std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray received(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::optional<DecodedConfig> decoded = decodeConfigReply(received);

    const Shape *shape = nullptr;
    for (const Shape &s : Shapes) {
        if (received.size() == s.length
            && std::string_view(received.constData(), std::min<std::size_t>(size, 4)) == s.digits)
            shape = &s;
    }
    // Length and digits decide alone, both ways.
    FUZZ_CHECK(decoded.has_value() == (shape != nullptr));
    if (!decoded)
        return 0;
    FUZZ_CHECK(decoded->mode == shape->mode);

    const Reply reply{data, size};
    // The name is copied as it stands, whatever its bytes.
    FUZZ_CHECK((*decoded)[ConfigField::ReaderName].has_value() && *(*decoded)[ConfigField::ReaderName] == reply.at(10, 5));

    ConfigFields fields = untouchedFields();
    applyDecoded(*decoded, fields);
    const ConfigFields expected = expectedFields(*shape, reply);
    for (int i = 0; i < ConfigFieldCount; ++i) {
        const auto field = static_cast<ConfigField>(i);
        FUZZ_CHECK(fields[field] == expected[field]);
    }

    // Over the dialog's defaults, any recognised reply gives texts that build a
    // string of the same shape, and that string read back builds itself again:
    // receive, send, receive settles at once.
    ConfigFields shown;
    applyDecoded(*decoded, shown);
    const Result<QByteArray, ConfigProblem> built = BuildConfigString(shown);
    // A CR or LF inside a field is shown as received but never sent back: it
    // would end the write command early. The first such field is the one blamed.
    if (const std::optional<ConfigField> broken = firstLineBreak(shape->mode, shown)) {
        FUZZ_CHECK(!built && built.error().field == broken);
        return 0;
    }
    FUZZ_CHECK(built.ok());
    FUZZ_CHECK(built->size() == shape->length - 5);
    FUZZ_CHECK(built->mid(5, 5) == reply.at(10, 5));

    const QByteArray again = buildConfigReply(*built, received.back());
    FUZZ_CHECK(again.size() == shape->length && again.startsWith(QByteArray(shape->digits.data(), 4)));
    const std::optional<DecodedConfig> decodedAgain = decodeConfigReply(again);
    FUZZ_CHECK(decodedAgain && decodedAgain->mode == shape->mode);
    ConfigFields shownAgain;
    applyDecoded(*decodedAgain, shownAgain);
    // The one code that moves: a frequency slice "02" under a letter other than
    // C is sent as the read-only C02, which reads back as the default text.
    QByteArray settled = *built;
    if (settled.mid(10, 3) == "C02") {
        FUZZ_CHECK(reply.at(15, 3) != "C02" && reply.at(16, 2) == "02");
        settled.replace(10, 3, "C01");
    }
    const Result<QByteArray, ConfigProblem> builtAgain = BuildConfigString(shownAgain);
    FUZZ_CHECK(builtAgain && *builtAgain == settled);
    return 0;
}
