#include "protocol/configstring.h"

#include <algorithm>

namespace zanto {

namespace {

using F = ConfigField;

std::string_view view(const QByteArray &bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

QByteArray bytes(std::string_view text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// Text to code: read-only codes are never written.
const CodeText *findByText(std::span<const CodeText> table, const QByteArray &text)
{
    const auto it = std::find_if(table.begin(), table.end(),
                                 [&](const CodeText &row) { return !row.readOnly && row.text == view(text); });
    return it == table.end() ? nullptr : &*it;
}

const CodeText *findByCode(std::span<const CodeText> table, const QByteArray &code)
{
    const auto it = std::find_if(table.begin(), table.end(),
                                 [&](const CodeText &row) { return row.code == view(code); });
    return it == table.end() ? nullptr : &*it;
}

const BaudCode *findBaudPair(const QByteArray &baudRate, const QByteArray &rs485Mode)
{
    const auto it = std::find_if(BaudCodes.begin(), BaudCodes.end(), [&](const BaudCode &row) {
        return row.baudRate == view(baudRate) && row.rs485Mode == view(rs485Mode);
    });
    return it == BaudCodes.end() ? nullptr : &*it;
}

const BaudCode *findBaudCode(const QByteArray &code)
{
    const auto it = std::find_if(BaudCodes.begin(), BaudCodes.end(),
                                 [&](const BaudCode &row) { return row.code == view(code); });
    return it == BaudCodes.end() ? nullptr : &*it;
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

QString caption(ConfigField field)
{
    return QLatin1String(fieldCaption(field));
}

Failure<ConfigProblem> refuse(ConfigField field, const QString &problem)
{
    return failure(ConfigProblem{problem, field});
}

// One field's code in the string, or the refusal that says why it has none.
struct Piece {
    ConfigField field;
    QByteArray code;
};
Result<Piece> encodeSegment(const StringSegment &segment, const ConfigFields &fields)
{
    const QByteArray &text = fields[segment.field];
    const QByteArray typed = segment.letter + text;
    switch (segment.coding) {
    case Coding::Copied:
        return Piece{segment.field, typed};
    case Coding::ListedOrCopied: {
        const CodeText *row = findByText(segment.codes, text);
        return Piece{segment.field, row ? bytes(row->code) : typed};
    }
    case Coding::Listed:
        if (const CodeText *row = findByText(segment.codes, text))
            return Piece{segment.field, bytes(row->code)};
        return failure(QStringLiteral("%1 %2 has no code").arg(caption(segment.field), quoted(text)));
    case Coding::BaudPair:
        if (const BaudCode *row = findBaudPair(fields[F::BaudRate], fields[F::RS485Mode]))
            return Piece{segment.field, bytes(row->code)};
        return failure(QStringLiteral("%1 %2 with %3 %4 has no code")
                           .arg(caption(F::BaudRate), quoted(fields[F::BaudRate]), caption(F::RS485Mode),
                                quoted(fields[F::RS485Mode])));
    }
    Q_UNREACHABLE();
    return failure(QString());
}

// Reads one field's code (letter included) into the decoded texts.
void decodeSegment(const StringSegment &segment, const QByteArray &code, DecodedConfig &decoded)
{
    const QByteArray afterLetter = code.mid(1);
    switch (segment.coding) {
    case Coding::Copied:
        decoded[segment.field] = afterLetter;
        return;
    case Coding::ListedOrCopied: {
        // The letter itself is not examined when the code is not in the table.
        const CodeText *row = findByCode(segment.codes, code);
        decoded[segment.field] = row ? bytes(row->text) : afterLetter;
        return;
    }
    case Coding::Listed:
        if (const CodeText *row = findByCode(segment.codes, code))
            decoded[segment.field] = bytes(row->text);
        return;
    case Coding::BaudPair:
        if (const BaudCode *row = findBaudCode(code)) {
            decoded[F::BaudRate] = bytes(row->baudRate);
            decoded[F::RS485Mode] = bytes(row->rs485Mode);
        }
        return;
    }
}

DecodedConfig decodeLaidOut(ReaderMode mode, const QByteArray &configString)
{
    // The string has exactly its mode's length, so every field is where the
    // layout puts it; what stands there is not checked.
    const ModeLayout &layout = modeLayout(mode);
    DecodedConfig decoded;
    decoded.mode = mode;
    auto index = static_cast<qsizetype>(layout.prefix.size());
    for (ConfigField field : layout.fields) {
        const StringSegment &segment = *stringSegment(field);
        decodeSegment(segment, configString.mid(index, 1 + segment.width), decoded);
        index += 1 + segment.width;
    }
    return decoded;
}

} // namespace

// ---- encoding ----------------------------------------------------------------

Result<QByteArray, ConfigProblem> BuildConfigString(const ConfigFields &fields)
{
    // Texts that map to no code are refused rather than replaced by a code from an
    // earlier send: sending a configuration the user cannot see in the dialog
    // would be worse than saying which field is wrong.
    const std::optional<ReaderMode> mode = modeFromName(fields[F::Mode]);
    if (!mode) {
        return refuse(F::Mode, QStringLiteral("%1 %2 is not one of %3")
                                   .arg(caption(F::Mode), quoted(fields[F::Mode]),
                                        QString::fromLatin1(modeEntries().join(", "))));
    }

    // Refusals come in the order the codes stand in the string; fields the mode
    // does not carry are never looked at, whatever they hold.
    const ModeLayout &layout = modeLayout(*mode);
    QList<Piece> pieces;
    for (ConfigField field : layout.fields) {
        // A CR (or LF) from a loaded file or a reply would end the write
        // command early at the reader and leave the rest as a command of its own.
        const QByteArray &text = fields[field];
        if (text.contains('\r') || text.contains('\n')) {
            return refuse(field, QStringLiteral("%1 %2 holds a line break, which would end the command early")
                                     .arg(caption(field), quoted(text)));
        }
        const Result<Piece> piece = encodeSegment(*stringSegment(field), fields);
        if (!piece)
            return refuse(field, piece.error());
        pieces.append(*piece);
    }

    QByteArray string = bytes(layout.prefix);
    for (const Piece &piece : pieces)
        string += piece.code;

    if (string.size() > MaxConfigStringLength) {
        // Blame the piece that takes the most room: with table codes of at most
        // three characters that is always one of the texts copied as typed, and it
        // is the one whose shortening helps most. Ties go to the earlier piece.
        const Piece *longest = &pieces.first();
        for (const Piece &piece : pieces) {
            if (piece.code.size() > longest->code.size())
                longest = &piece;
        }
        return refuse(longest->field,
                      QStringLiteral("The configuration string would be %1 characters long, more "
                                     "than the 99 the write command can carry; %2 %3 is the longest part")
                          .arg(string.size())
                          .arg(caption(longest->field), quoted(fields[longest->field])));
    }
    return string;
}

Result<QByteArray, ConfigProblem> configWriteCommand(const ConfigFields &fields)
{
    Result<QByteArray, ConfigProblem> built = BuildConfigString(fields);
    if (!built)
        return failure(ConfigProblem{QStringLiteral("Not sent: %1").arg(built.error().text), built.error().field});
    // The build refuses what the two length digits cannot carry.
    return *buildConfigWriteCommand(*built);
}

// ---- decoding ----------------------------------------------------------------

std::optional<DecodedConfig> decodeConfigReply(const QByteArray &receivedText)
{
    const std::optional<ConfigReply> reply = parseConfigReply(receivedText);
    if (!reply)
        return std::nullopt;
    return decodeLaidOut(reply->mode, reply->configString);
}

std::optional<DecodedConfig> decodeConfigString(const QByteArray &configString)
{
    for (const ModeLayout &layout : modeLayouts()) {
        if (configString.size() == configStringLength(layout.mode))
            return decodeLaidOut(layout.mode, configString);
    }
    return std::nullopt;
}

void applyDecoded(const DecodedConfig &decoded, ConfigFields &fields)
{
    fields[F::Mode] = modeName(decoded.mode);
    for (ConfigField field : AllConfigFields) {
        if (const std::optional<QByteArray> &value = decoded[field])
            fields[field] = *value;
    }
}

} // namespace zanto
