#pragma once

// The reader's configuration as the Configure Reader dialog shows it and as the
// configuration string carries it. Every fact about it is kept in one table
// here: the dialog's twelve fields (names, captions, starting texts, typing
// limits, offered entries), the codes of each field, the letter and width of
// each field in the string, and which fields each mode's string carries. The
// encoder, the decoder, the reply shapes and the dialog's mode rule are all
// derived from these tables.

#include <QByteArray>
#include <QList>
#include <array>
#include <optional>
#include <span>
#include <string_view>

namespace zanto {

enum class ReaderMode { Standard, Enhanced, Track, Universal };
inline constexpr int ReaderModeCount = 4;

// The fields in the order configuration files keep them (line 1 to line 12).
enum class ConfigField {
    ReaderName,
    Mode,
    BaudRate,
    RS485Mode,
    Frequency,
    TermChar,
    HeadChar,
    StringLength,
    HandShake,
    Heartbeat,
    TagsToRead,
    ReadRange,
};
inline constexpr int ConfigFieldCount = 12;

// ---- the dialog's fields -----------------------------------------------------

inline constexpr int NoTypingLimit = -1;

struct FieldSpec {
    ConfigField field;
    const char *controlName;  // object name of the dialog control ("ReaderName", "RS485Mode", ...)
    const char *caption;      // the caption of its group box ("RS485 Port Mode")
    const char *startingText; // what a fresh dialog holds
    int typingLimit;          // characters the user may type, or NoTypingLimit
    QList<QByteArray> (*entries)(); // the list offered, in list order; nullptr for a plain text box
};

// Each field's row of the table.
const FieldSpec &fieldSpec(ConfigField field);

const char *fieldControlName(ConfigField field);
const char *fieldCaption(ConfigField field);
const char *fieldStartingText(ConfigField field);
int fieldTypingLimit(ConfigField field);
// Empty for the plain text boxes.
QList<QByteArray> fieldEntries(ConfigField field);

// The twelve texts of the Configure Reader dialog, as 8-bit text, indexed by
// field; a fresh set holds the starting texts.
struct ConfigFields {
    ConfigFields();
    QByteArray &operator[](ConfigField field) { return texts[static_cast<std::size_t>(field)]; }
    const QByteArray &operator[](ConfigField field) const { return texts[static_cast<std::size_t>(field)]; }
    bool operator==(const ConfigFields &) const = default;

    std::array<QByteArray, ConfigFieldCount> texts;
};

// Every field, in file order.
inline constexpr std::array<ConfigField, ConfigFieldCount> AllConfigFields = [] {
    std::array<ConfigField, ConfigFieldCount> all{};
    for (int k = 0; k < ConfigFieldCount; ++k)
        all[static_cast<std::size_t>(k)] = static_cast<ConfigField>(k);
    return all;
}();

// ---- codes -------------------------------------------------------------------

// A code as it stands in the string, letter included, and the text it stands
// for. A read-only code is understood in a reply but never written.
struct CodeText {
    std::string_view code;
    std::string_view text;
    bool readOnly = false;
};
struct BaudCode {
    std::string_view code;
    std::string_view baudRate;
    std::string_view rs485Mode;
};

extern const std::array<CodeText, 5> FrequencyCodes;
extern const std::array<CodeText, 14> ReadRangeCodes;
extern const std::array<BaudCode, 12> BaudCodes;
extern const std::array<CodeText, 2> StringLengthCodes;
extern const std::array<CodeText, 3> HeartbeatCodes;
extern const std::array<CodeText, 1> TagsToReadCodes;

// The lists the dialog offers, in list order (also reachable as fieldEntries()).
QList<QByteArray> modeEntries();          // 4
QList<QByteArray> frequencyEntries();     // 97
QList<QByteArray> readRangeEntries();     // 14
QList<QByteArray> baudRateEntries();      // 6
QList<QByteArray> rs485ModeEntries();     // 2
QList<QByteArray> stringLengthEntries();  // 83
QList<QByteArray> heartbeatEntries();     // 3
QList<QByteArray> tagsToReadEntries();    // 10

// ---- the string --------------------------------------------------------------

// How a field's text becomes its code and back.
enum class Coding {
    Copied,         // the letter and the text as it stands; read back: the characters after the letter
    Listed,         // a code of the table; a text outside it has no code, a code outside it changes nothing
    ListedOrCopied, // a code of the table, else the letter and the text; read back: the characters after the letter
    BaudPair,       // the code of the BaudRate and RS485Mode pair; a code outside the table changes neither
};

// One field of the configuration string: its letter and the characters after
// it (the width a five-character reader name gives).
struct StringSegment {
    ConfigField field; // BaudRate stands for the BaudRate and RS485Mode pair
    char letter;
    int width;
    Coding coding;
    std::span<const CodeText> codes; // Listed and ListedOrCopied only
};

struct ModeLayout {
    ReaderMode mode;
    const char *name;              // the mode's name, exact and case-sensitive
    std::string_view prefix;       // the string's first four characters
    std::span<const ConfigField> fields; // carried, in string order
};

const std::array<ModeLayout, ReaderModeCount> &modeLayouts();
const ModeLayout &modeLayout(ReaderMode mode);
// The segment of a field with a place in the string; nullptr for Mode (told by
// the prefix and the length) and RS485Mode (it rides in the baud code).
const StringSegment *stringSegment(ConfigField field);

// Mode names, exact and case-sensitive.
const char *modeName(ReaderMode mode);
std::optional<ReaderMode> modeFromName(const QByteArray &name);

// Whether the string of the mode carries the field. Mode is always carried;
// RS485Mode goes with BaudRate. This is the dialog's mode rule: a field is
// shown exactly when its mode carries it.
bool modeCarries(ReaderMode mode, ConfigField field);
// True for the fields some modes carry and others do not (the six the mode
// rule shows and hides).
bool isModeDependent(ConfigField field);

// Length of the mode's string with a five-character reader name.
qsizetype configStringLength(ReaderMode mode);
// How a configuration reply is recognised: its total length (four length
// digits, the string, one final character) and its four length digits.
struct ReplyShape {
    ReaderMode mode;
    qsizetype length;
    QByteArray digits;
};
ReplyShape replyShape(ReaderMode mode);

} // namespace zanto
