#include "protocol/configstring.h"

#include <algorithm>

namespace zanto {

// ---- code tables -------------------------------------------------------------
// Codes are kept whole, letter included, exactly as they stand in the string.

const std::array<CodeText, 4> FrequencyCodes = {{
    {"C01", "Frequency hopping default sub-bands"},
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

// The dialog's twelve controls in file order, with the captions the user sees
// (messages name a field the way the dialog labels it).
struct FieldInfo {
    ConfigField field;
    const char *controlName;
    const char *caption;
};
constexpr std::array<FieldInfo, ConfigFieldCount> FieldInfos = {{
    {ConfigField::ReaderName, "ReaderName", "ReaderName"},
    {ConfigField::Mode, "Mode", "Mode"},
    {ConfigField::BaudRate, "BaudRate", "Baud Rate"},
    {ConfigField::RS485Mode, "RS485Mode", "RS485 Port Mode"},
    {ConfigField::Frequency, "Frequency", "Frequency"},
    {ConfigField::TermChar, "TermChar", "Term Char(HEX)"},
    {ConfigField::HeadChar, "HeadChar", "Head Char(HEX)"},
    {ConfigField::StringLength, "StringLength", "Fixed String Length"},
    {ConfigField::HandShake, "HandShake", "Handshake(HEX)"},
    {ConfigField::Heartbeat, "Heartbeat", "Heartbeat"},
    {ConfigField::TagsToRead, "TagsToRead", "Tags to read for LON"},
    {ConfigField::ReadRange, "ReadRange", "Read Range"},
}};

const FieldInfo &fieldInfo(ConfigField field)
{
    const auto index = static_cast<std::size_t>(field);
    Q_ASSERT(index < FieldInfos.size() && FieldInfos[index].field == field);
    return FieldInfos[index];
}

struct ModeInfo {
    ReaderMode mode;
    const char *name;
};
constexpr std::array<ModeInfo, 4> ModeInfos = {{
    {ReaderMode::Standard, "Standard"},
    {ReaderMode::Enhanced, "Enhanced"},
    {ReaderMode::Track, "Track"},
    {ReaderMode::Universal, "Universal"},
}};

// Reply shapes: the only things a reply is recognised by.
struct ReplyShape {
    ReaderMode mode;
    qsizetype length;
    const char *digits;
};
constexpr std::array<ReplyShape, 4> ReplyShapes = {{
    {ReaderMode::Standard, 22, "0017"},
    {ReaderMode::Enhanced, 28, "0023"},
    {ReaderMode::Track, 36, "0031"},
    {ReaderMode::Universal, 33, "0028"},
}};

// The write command has two length digits.
constexpr qsizetype MaxConfigStringLength = 99;

std::string_view view(const QByteArray &bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

QByteArray bytes(std::string_view text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

template<std::size_t N>
const CodeText *findByText(const std::array<CodeText, N> &table, const QByteArray &text)
{
    const auto it = std::find_if(table.begin(), table.end(),
                                 [&](const CodeText &row) { return row.text == view(text); });
    return it == table.end() ? nullptr : &*it;
}

template<std::size_t N>
const CodeText *findByCode(const std::array<CodeText, N> &table, const QByteArray &code)
{
    const auto it = std::find_if(table.begin(), table.end(),
                                 [&](const CodeText &row) { return row.code == view(code); });
    return it == table.end() ? nullptr : &*it;
}

// A typed text goes into a one-line message: control characters are shown as
// \xHH so a stray CR from a loaded file cannot break the line, and a very long
// text is cut so the message stays readable.
QString quoted(const QByteArray &text)
{
    constexpr qsizetype shown = 40;
    QString out = QStringLiteral("\"");
    const qsizetype n = std::min(text.size(), shown);
    for (qsizetype i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x20 || b == 0x7F) {
            static constexpr char digits[] = "0123456789ABCDEF";
            out += QLatin1String("\\x");
            out += QLatin1Char(digits[b >> 4]);
            out += QLatin1Char(digits[b & 0x0F]);
        } else {
            out += QChar(char16_t(b)); // Latin-1: the byte value is the character code
        }
    }
    if (text.size() > shown)
        out += QStringLiteral("...");
    out += QLatin1Char('"');
    return out;
}

ConfigBuildResult refuse(ConfigField field, const QString &problem)
{
    ConfigBuildResult result;
    result.ok = false;
    result.badField = field;
    result.problem = problem;
    return result;
}

QString noCode(ConfigField field, const QByteArray &text)
{
    return QStringLiteral("%1 %2 has no code").arg(QLatin1String(fieldInfo(field).caption), quoted(text));
}

QList<QByteArray> textsOf(auto const &table)
{
    QList<QByteArray> out;
    for (const auto &row : table)
        out.append(bytes(row.text));
    return out;
}

void appendTwoDigitNumbers(QList<QByteArray> &list, int from, int to)
{
    for (int i = from; i <= to; ++i)
        list.append(QByteArray::number(i).rightJustified(2, '0'));
}

} // namespace

QByteArray &fieldText(ConfigFields &fields, ConfigField field)
{
    switch (field) {
    case ConfigField::ReaderName: return fields.readerName;
    case ConfigField::Mode: return fields.mode;
    case ConfigField::BaudRate: return fields.baudRate;
    case ConfigField::RS485Mode: return fields.rs485Mode;
    case ConfigField::Frequency: return fields.frequency;
    case ConfigField::TermChar: return fields.termChar;
    case ConfigField::HeadChar: return fields.headChar;
    case ConfigField::StringLength: return fields.stringLength;
    case ConfigField::HandShake: return fields.handShake;
    case ConfigField::Heartbeat: return fields.heartbeat;
    case ConfigField::TagsToRead: return fields.tagsToRead;
    case ConfigField::ReadRange: return fields.readRange;
    }
    Q_UNREACHABLE();
    return fields.readerName;
}

const QByteArray &fieldText(const ConfigFields &fields, ConfigField field)
{
    return fieldText(const_cast<ConfigFields &>(fields), field);
}

const char *fieldControlName(ConfigField field)
{
    return fieldInfo(field).controlName;
}

const char *modeName(ReaderMode mode)
{
    for (const auto &info : ModeInfos) {
        if (info.mode == mode)
            return info.name;
    }
    return "Standard";
}

std::optional<ReaderMode> modeFromName(const QByteArray &name)
{
    for (const auto &info : ModeInfos) {
        if (name == info.name)
            return info.mode;
    }
    return std::nullopt;
}

// ---- dialog lists ------------------------------------------------------------

QList<QByteArray> modeEntries()
{
    QList<QByteArray> out;
    for (const auto &info : ModeInfos)
        out.append(info.name);
    return out;
}

QList<QByteArray> frequencyEntries()
{
    QList<QByteArray> out = textsOf(FrequencyCodes);
    appendTwoDigitNumbers(out, 5, 97);
    return out;
}

QList<QByteArray> readRangeEntries()
{
    return textsOf(ReadRangeCodes);
}

QList<QByteArray> baudRateEntries()
{
    return {"4800", "9600", "19200", "38400", "57600", "115200"};
}

QList<QByteArray> rs485ModeEntries()
{
    return {"2-wire", "4-wire"};
}

QList<QByteArray> stringLengthEntries()
{
    QList<QByteArray> out = textsOf(StringLengthCodes);
    for (char kind : {'V', 'F'}) {
        for (char digit = '1'; digit <= '5'; ++digit)
            out.append(QByteArray(1, kind) + digit);
    }
    appendTwoDigitNumbers(out, 1, 71);
    return out;
}

QList<QByteArray> heartbeatEntries()
{
    return textsOf(HeartbeatCodes);
}

QList<QByteArray> tagsToReadEntries()
{
    QList<QByteArray> out = textsOf(TagsToReadCodes);
    for (char digit = '1'; digit <= '9'; ++digit)
        out.append(QByteArray(1, digit));
    return out;
}

// ---- encoding ----------------------------------------------------------------

ConfigBuildResult BuildConfigString(const ConfigFields &fields)
{
    // Texts that map to no code are refused rather than replaced by a code from an
    // earlier send: sending a configuration the user cannot see in the dialog
    // would be worse than saying which field is wrong.
    const std::optional<ReaderMode> mode = modeFromName(fields.mode);
    if (!mode) {
        return refuse(ConfigField::Mode,
                      QStringLiteral("Mode %1 is not one of Standard, Enhanced, Track, Universal")
                          .arg(quoted(fields.mode)));
    }

    // Checked in the order the codes stand in the string.
    const CodeText *range = findByText(ReadRangeCodes, fields.readRange);
    if (!range)
        return refuse(ConfigField::ReadRange, noCode(ConfigField::ReadRange, fields.readRange));

    const auto baud = std::find_if(BaudCodes.begin(), BaudCodes.end(), [&](const BaudCode &row) {
        return row.baudRate == view(fields.baudRate) && row.rs485Mode == view(fields.rs485Mode);
    });
    if (baud == BaudCodes.end()) {
        return refuse(ConfigField::BaudRate,
                      QStringLiteral("Baud Rate %1 with RS485 Port Mode %2 has no code")
                          .arg(quoted(fields.baudRate), quoted(fields.rs485Mode)));
    }

    // Only Universal carries the heartbeat; elsewhere its text is never used, so
    // a stray text there must not stop the send.
    const CodeText *heartbeat = findByText(HeartbeatCodes, fields.heartbeat);
    if (*mode == ReaderMode::Universal && !heartbeat)
        return refuse(ConfigField::Heartbeat, noCode(ConfigField::Heartbeat, fields.heartbeat));

    const CodeText *frequency = findByText(FrequencyCodes, fields.frequency);
    const CodeText *stringLength = findByText(StringLengthCodes, fields.stringLength);
    const CodeText *tags = findByText(TagsToReadCodes, fields.tagsToRead);

    // Each piece remembers the field it came from, so an over-long string can be
    // blamed on the field that contributed the most to it.
    struct Piece {
        ConfigField field;
        QByteArray code;
    };
    const Piece name{ConfigField::ReaderName, "S" + fields.readerName};
    const Piece freq{ConfigField::Frequency, frequency ? bytes(frequency->code) : "C" + fields.frequency};
    const Piece rangePiece{ConfigField::ReadRange, bytes(range->code)};
    const Piece baudPiece{ConfigField::BaudRate, bytes(baud->code)};
    const Piece length{ConfigField::StringLength,
                       stringLength ? bytes(stringLength->code) : "L" + fields.stringLength};
    const Piece term{ConfigField::TermChar, "T" + fields.termChar};
    const Piece head{ConfigField::HeadChar, "H" + fields.headChar};
    const Piece hand{ConfigField::HandShake, "X" + fields.handShake};
    const Piece tagsPiece{ConfigField::TagsToRead, tags ? bytes(tags->code) : "M" + fields.tagsToRead};
    const Piece beat{ConfigField::Heartbeat, heartbeat ? bytes(heartbeat->code) : QByteArray()};

    QByteArray prefix = "$$$$";
    QList<const Piece *> pieces{&name, &freq, &rangePiece, &baudPiece};
    switch (*mode) {
    case ReaderMode::Standard:
        break;
    case ReaderMode::Enhanced:
        pieces << &length << &term;
        break;
    case ReaderMode::Track:
        pieces << &length << &term << &head << &hand << &tagsPiece;
        break;
    case ReaderMode::Universal:
        prefix = "UUUU";
        pieces << &length << &term << &head << &beat;
        break;
    }

    QByteArray string = prefix;
    for (const Piece *piece : pieces)
        string += piece->code;

    if (string.size() > MaxConfigStringLength) {
        // Blame the piece that takes the most room: with table codes of at most
        // three characters that is always one of the texts copied as typed, and it
        // is the one whose shortening helps most. Ties go to the earlier piece.
        const Piece *longest = pieces.first();
        for (const Piece *piece : pieces) {
            if (piece->code.size() > longest->code.size())
                longest = piece;
        }
        return refuse(longest->field,
                      QStringLiteral("The configuration string would be %1 characters long, more "
                                     "than the 99 the write command can carry; %2 %3 is the longest part")
                          .arg(string.size())
                          .arg(QLatin1String(fieldInfo(longest->field).caption),
                               quoted(fieldText(fields, longest->field))));
    }

    ConfigBuildResult result;
    result.ok = true;
    result.string = string;
    return result;
}

std::optional<QByteArray> buildConfigWriteCommand(const QByteArray &configString)
{
    const qsizetype n = configString.size();
    if (n > MaxConfigStringLength)
        return std::nullopt;
    QByteArray command = "C0";
    command.append(static_cast<char>('0' + n / 10));
    command.append(static_cast<char>('0' + n % 10));
    command.append(configString);
    return command;
}

QByteArray configReadRequest()
{
    return "L";
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

// ---- decoding ----------------------------------------------------------------

std::optional<DecodedConfig> decodeConfigReply(const QByteArray &receivedText)
{
    const auto shape = std::find_if(ReplyShapes.begin(), ReplyShapes.end(), [&](const ReplyShape &s) {
        return receivedText.size() == s.length && receivedText.startsWith(s.digits);
    });
    if (shape == ReplyShapes.end())
        return std::nullopt;

    // Positions below count from 1 in the reply, hence the "- 1".
    const auto at = [&receivedText](qsizetype position, qsizetype count) {
        return receivedText.mid(position - 1, count);
    };
    const ReaderMode mode = shape->mode;

    DecodedConfig decoded;
    decoded.mode = mode;
    decoded.readerName = at(10, 5);

    const QByteArray frequencyCode = at(15, 3);
    if (frequencyCode == "C02") {
        // Read only: shown as the default text, which is written back as C01.
        decoded.frequency = bytes(FrequencyCodes[0].text);
    } else if (const CodeText *row = findByCode(FrequencyCodes, frequencyCode)) {
        decoded.frequency = bytes(row->text);
    } else {
        decoded.frequency = at(16, 2);
    }

    if (const CodeText *row = findByCode(ReadRangeCodes, at(18, 2)))
        decoded.readRange = bytes(row->text);

    const QByteArray baudCode = at(20, 2);
    for (const BaudCode &row : BaudCodes) {
        if (row.code == view(baudCode)) {
            decoded.baudRate = bytes(row.baudRate);
            decoded.rs485Mode = bytes(row.rs485Mode);
            break;
        }
    }

    if (mode == ReaderMode::Standard)
        return decoded;

    if (const CodeText *row = findByCode(StringLengthCodes, at(22, 3)))
        decoded.stringLength = bytes(row->text);
    else
        decoded.stringLength = at(23, 2);
    decoded.termChar = at(26, 2);

    if (mode == ReaderMode::Enhanced)
        return decoded;

    decoded.headChar = at(29, 2);

    if (mode == ReaderMode::Track) {
        decoded.handShake = at(32, 2);
        if (const CodeText *row = findByCode(TagsToReadCodes, at(34, 2)))
            decoded.tagsToRead = bytes(row->text);
        else
            decoded.tagsToRead = at(35, 1);
    } else {
        if (const CodeText *row = findByCode(HeartbeatCodes, at(31, 2)))
            decoded.heartbeat = bytes(row->text);
    }
    return decoded;
}

void applyDecoded(const DecodedConfig &decoded, ConfigFields &fields)
{
    fields.mode = modeName(decoded.mode);
    const auto set = [](QByteArray &target, const std::optional<QByteArray> &value) {
        if (value)
            target = *value;
    };
    set(fields.readerName, decoded.readerName);
    set(fields.frequency, decoded.frequency);
    set(fields.readRange, decoded.readRange);
    set(fields.baudRate, decoded.baudRate);
    set(fields.rs485Mode, decoded.rs485Mode);
    set(fields.stringLength, decoded.stringLength);
    set(fields.termChar, decoded.termChar);
    set(fields.headChar, decoded.headChar);
    set(fields.handShake, decoded.handShake);
    set(fields.tagsToRead, decoded.tagsToRead);
    set(fields.heartbeat, decoded.heartbeat);
}

} // namespace zanto
