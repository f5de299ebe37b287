#include "protocol/configlayout.h"

#include <QtGlobal>

#include <algorithm>

namespace zanto {

using F = ConfigField;

// ---- codes -------------------------------------------------------------------
// Codes are kept whole, letter included, exactly as they stand in the string.

const std::array<CodeText, 5> FrequencyCodes = {{
    {"C01", "Frequency hopping default sub-bands"},
    // Readers report C02 for their default too; it is shown as the default and
    // so goes back as C01.
    {"C02", "Frequency hopping default sub-bands", true},
    {"C03", "Adaptive Frequency Hopping default sub-bands"},
    {"C98", "Frequency hopping all sub-bands"},
    {"C99", "Adaptive Frequency all sub-bands"},
}};

const std::array<CodeText, 14> ReadRangeCodes = {{
    {"R4", "Range 4(100%)"},
    {"R3", "Range 3(66%)"},
    {"R2", "Range 2(33%)"},
    {"R1", "Range 1(1%)"},
    {"RJ", "100%"},
    {"RI", "90%"},
    {"RH", "80%"},
    {"RG", "70%"},
    {"RF", "60%"},
    {"RE", "50%"},
    {"RD", "40%"},
    {"RC", "30%"},
    {"RB", "20%"},
    {"RA", "10%"},
}};

// Not consecutive: 115200 baud is "BB"/"BE"; "B8", "B9" and "BA" mean nothing.
const std::array<BaudCode, 12> BaudCodes = {{
    {"B0", "4800", "4-wire"},
    {"B1", "9600", "4-wire"},
    {"B2", "19200", "4-wire"},
    {"B3", "38400", "4-wire"},
    {"B4", "57600", "4-wire"},
    {"BB", "115200", "4-wire"},
    {"B5", "4800", "2-wire"},
    {"B6", "9600", "2-wire"},
    {"B7", "19200", "2-wire"},
    {"BC", "38400", "2-wire"},
    {"BD", "57600", "2-wire"},
    {"BE", "115200", "2-wire"},
}};

const std::array<CodeText, 2> StringLengthCodes = {{
    {"LF8", "Mark only"},
    {"LFA", "Data+Mark"},
}};

const std::array<CodeText, 3> HeartbeatCodes = {{
    {"A0", "No Heartbeat"},
    {"A1", "Heartbeat"},
    {"A2", "Heartbeat with handshake"},
}};

const std::array<CodeText, 1> TagsToReadCodes = {{
    {"M0", "Read Always"},
}};

namespace {

// ---- the dialog's fields, in file order ----------------------------------------
constexpr std::array<FieldSpec, ConfigFieldCount> FieldSpecs = {{
    {F::ReaderName, "ReaderName", "ReaderName", "XXXXX", 5, nullptr},
    {F::Mode, "Mode", "Mode", "Standard", NoTypingLimit, modeEntries},
    {F::BaudRate, "BaudRate", "Baud Rate", "9600", NoTypingLimit, baudRateEntries},
    {F::RS485Mode, "RS485Mode", "RS485 Port Mode", "4-wire", NoTypingLimit, rs485ModeEntries},
    {F::Frequency, "Frequency", "Frequency", "Frequency hopping default sub-bands", NoTypingLimit, frequencyEntries},
    {F::TermChar, "TermChar", "Term Char(HEX)", "0D", 2, nullptr},
    {F::HeadChar, "HeadChar", "Head Char(HEX)", "00", 2, nullptr},
    {F::StringLength, "StringLength", "Fixed String Length", "F5", NoTypingLimit, stringLengthEntries},
    {F::HandShake, "HandShake", "Handshake(HEX)", "48", 2, nullptr},
    {F::Heartbeat, "Heartbeat", "Heartbeat", "No Heartbeat", NoTypingLimit, heartbeatEntries},
    {F::TagsToRead, "TagsToRead", "Tags to read for LON", "Read Always", NoTypingLimit, tagsToReadEntries},
    {F::ReadRange, "ReadRange", "Read Range", "Range 4(100%)", NoTypingLimit, readRangeEntries},
}};

// ---- the string: each field's letter, width and coding -------------------------
constexpr std::array<StringSegment, 10> Segments = {{
    {F::ReaderName, 'S', 5, Coding::Copied, {}},
    {F::Frequency, 'C', 2, Coding::ListedOrCopied, FrequencyCodes},
    {F::ReadRange, 'R', 1, Coding::Listed, ReadRangeCodes},
    {F::BaudRate, 'B', 1, Coding::BaudPair, {}},
    {F::StringLength, 'L', 2, Coding::ListedOrCopied, StringLengthCodes},
    {F::TermChar, 'T', 2, Coding::Copied, {}},
    {F::HeadChar, 'H', 2, Coding::Copied, {}},
    {F::HandShake, 'X', 2, Coding::Copied, {}},
    {F::TagsToRead, 'M', 1, Coding::ListedOrCopied, TagsToReadCodes},
    {F::Heartbeat, 'A', 1, Coding::Listed, HeartbeatCodes},
}};

// ---- which fields each mode's string carries, in order -------------------------
constexpr ConfigField StandardFields[] = {F::ReaderName, F::Frequency, F::ReadRange, F::BaudRate};
constexpr ConfigField EnhancedFields[] = {F::ReaderName, F::Frequency, F::ReadRange, F::BaudRate,
                                          F::StringLength, F::TermChar};
constexpr ConfigField TrackFields[] = {F::ReaderName, F::Frequency, F::ReadRange, F::BaudRate, F::StringLength,
                                       F::TermChar, F::HeadChar, F::HandShake, F::TagsToRead};
constexpr ConfigField UniversalFields[] = {F::ReaderName, F::Frequency, F::ReadRange, F::BaudRate,
                                           F::StringLength, F::TermChar, F::HeadChar, F::Heartbeat};

constexpr std::array<ModeLayout, ReaderModeCount> ModeLayouts = {{
    {ReaderMode::Standard, "Standard", "$$$$", StandardFields},
    {ReaderMode::Enhanced, "Enhanced", "$$$$", EnhancedFields},
    {ReaderMode::Track, "Track", "$$$$", TrackFields},
    {ReaderMode::Universal, "Universal", "UUUU", UniversalFields},
}};

// Rows indexed by their enum value must stand in enum order.
constexpr bool inEnumOrder(const auto &table, auto key)
{
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (static_cast<std::size_t>(table[i].*key) != i)
            return false;
    }
    return true;
}
static_assert(inEnumOrder(FieldSpecs, &FieldSpec::field), "every field has its row, in file order");
static_assert(inEnumOrder(ModeLayouts, &ModeLayout::mode));

// The mode is told by the prefix and the length, the port mode rides in the
// baud code; every other field stands in the string once, as a segment.
constexpr bool hasNoSegment(ConfigField field)
{
    return field == F::Mode || field == F::RS485Mode;
}

constexpr int segmentIndex(ConfigField field)
{
    for (std::size_t i = 0; i < Segments.size(); ++i) {
        if (Segments[i].field == field)
            return int(i);
    }
    return -1;
}

constexpr bool everyFieldHasItsSegment()
{
    for (ConfigField field : AllConfigFields) {
        int count = 0;
        for (const StringSegment &segment : Segments)
            count += segment.field == field ? 1 : 0;
        if (count != (hasNoSegment(field) ? 0 : 1))
            return false;
    }
    return true;
}
static_assert(everyFieldHasItsSegment());

constexpr bool layoutsCarrySegments()
{
    for (const ModeLayout &layout : ModeLayouts) {
        for (ConfigField field : layout.fields) {
            if (segmentIndex(field) < 0)
                return false;
        }
    }
    return true;
}
static_assert(layoutsCarrySegments(), "a mode can only carry a field that has a segment");

constexpr qsizetype layoutLength(const ModeLayout &layout)
{
    auto length = static_cast<qsizetype>(layout.prefix.size());
    for (ConfigField field : layout.fields)
        length += 1 + Segments[static_cast<std::size_t>(segmentIndex(field))].width;
    return length;
}

constexpr bool replyLengthsDiffer()
{
    for (std::size_t a = 0; a < ModeLayouts.size(); ++a) {
        for (std::size_t b = a + 1; b < ModeLayouts.size(); ++b) {
            if (layoutLength(ModeLayouts[a]) == layoutLength(ModeLayouts[b]))
                return false;
        }
    }
    return true;
}
static_assert(replyLengthsDiffer(), "a reply tells its mode by its length alone");

QByteArray bytes(std::string_view text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

QList<QByteArray> writableTexts(std::span<const CodeText> table)
{
    QList<QByteArray> out;
    for (const CodeText &row : table) {
        if (!row.readOnly)
            out.append(bytes(row.text));
    }
    return out;
}

void appendTwoDigitNumbers(QList<QByteArray> &list, int from, int to)
{
    for (int i = from; i <= to; ++i)
        list.append(QByteArray::number(i).rightJustified(2, '0'));
}

// Keeps the pair list in the order the dialog offers it, each text once.
QList<QByteArray> distinct(auto member)
{
    QList<QByteArray> out;
    for (const BaudCode &row : BaudCodes) {
        const QByteArray text = bytes(row.*member);
        if (!out.contains(text))
            out.append(text);
    }
    return out;
}

} // namespace

// ---- fields ------------------------------------------------------------------

const FieldSpec &fieldSpec(ConfigField field)
{
    return FieldSpecs[static_cast<std::size_t>(field)];
}

const char *fieldControlName(ConfigField field)
{
    return fieldSpec(field).controlName;
}

const char *fieldCaption(ConfigField field)
{
    return fieldSpec(field).caption;
}

const char *fieldStartingText(ConfigField field)
{
    return fieldSpec(field).startingText;
}

int fieldTypingLimit(ConfigField field)
{
    return fieldSpec(field).typingLimit;
}

QList<QByteArray> fieldEntries(ConfigField field)
{
    const FieldSpec &spec = fieldSpec(field);
    return spec.entries ? spec.entries() : QList<QByteArray>();
}

ConfigFields::ConfigFields()
{
    for (ConfigField field : AllConfigFields)
        (*this)[field] = fieldStartingText(field);
}

// ---- dialog lists ------------------------------------------------------------

QList<QByteArray> modeEntries()
{
    QList<QByteArray> out;
    for (const ModeLayout &layout : ModeLayouts)
        out.append(layout.name);
    return out;
}

QList<QByteArray> frequencyEntries()
{
    QList<QByteArray> out = writableTexts(FrequencyCodes);
    appendTwoDigitNumbers(out, 5, 97);
    return out;
}

QList<QByteArray> readRangeEntries()
{
    return writableTexts(ReadRangeCodes);
}

QList<QByteArray> baudRateEntries()
{
    return distinct(&BaudCode::baudRate);
}

QList<QByteArray> rs485ModeEntries()
{
    // The dialog offers them in text order, 2-wire first.
    QList<QByteArray> out = distinct(&BaudCode::rs485Mode);
    std::sort(out.begin(), out.end());
    return out;
}

QList<QByteArray> stringLengthEntries()
{
    QList<QByteArray> out = writableTexts(StringLengthCodes);
    for (char kind : {'V', 'F'}) {
        for (char digit = '1'; digit <= '5'; ++digit)
            out.append(QByteArray(1, kind) + digit);
    }
    appendTwoDigitNumbers(out, 1, 71);
    return out;
}

QList<QByteArray> heartbeatEntries()
{
    return writableTexts(HeartbeatCodes);
}

QList<QByteArray> tagsToReadEntries()
{
    QList<QByteArray> out = writableTexts(TagsToReadCodes);
    for (char digit = '1'; digit <= '9'; ++digit)
        out.append(QByteArray(1, digit));
    return out;
}

// ---- the string --------------------------------------------------------------

const std::array<ModeLayout, ReaderModeCount> &modeLayouts()
{
    return ModeLayouts;
}

const ModeLayout &modeLayout(ReaderMode mode)
{
    return ModeLayouts[static_cast<std::size_t>(mode)];
}

const StringSegment *stringSegment(ConfigField field)
{
    const int index = segmentIndex(field);
    return index < 0 ? nullptr : &Segments[static_cast<std::size_t>(index)];
}

const char *modeName(ReaderMode mode)
{
    return modeLayout(mode).name;
}

std::optional<ReaderMode> modeFromName(const QByteArray &name)
{
    for (const ModeLayout &layout : ModeLayouts) {
        if (name == layout.name)
            return layout.mode;
    }
    return std::nullopt;
}

bool modeCarries(ReaderMode mode, ConfigField field)
{
    if (field == F::Mode)
        return true;
    if (field == F::RS485Mode)
        field = F::BaudRate;
    const std::span<const ConfigField> carried = modeLayout(mode).fields;
    return std::find(carried.begin(), carried.end(), field) != carried.end();
}

bool isModeDependent(ConfigField field)
{
    const auto carries = [field](const ModeLayout &layout) { return modeCarries(layout.mode, field); };
    return !std::all_of(ModeLayouts.begin(), ModeLayouts.end(), carries);
}

qsizetype configStringLength(ReaderMode mode)
{
    return layoutLength(modeLayout(mode));
}

ReplyShape replyShape(ReaderMode mode)
{
    const qsizetype length = configStringLength(mode);
    return {mode, length + 5, QByteArray::number(length).rightJustified(4, '0')};
}

} // namespace zanto
