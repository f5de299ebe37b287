#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <optional>
#include <string_view>

namespace zanto {

enum class ReaderMode { Standard, Enhanced, Track, Universal };

// The twelve texts of the Configure Reader dialog, as 8-bit text.
struct ConfigFields {
    QByteArray mode = "Standard";
    QByteArray readerName = "XXXXX";
    QByteArray frequency = "Frequency hopping default sub-bands";
    QByteArray readRange = "Range 4(100%)";
    QByteArray baudRate = "9600";
    QByteArray rs485Mode = "4-wire";
    QByteArray stringLength = "F5";
    QByteArray termChar = "0D";
    QByteArray headChar = "00";
    QByteArray handShake = "48";
    QByteArray heartbeat = "No Heartbeat";
    QByteArray tagsToRead = "Read Always";

    bool operator==(const ConfigFields &) const = default;
};

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

QByteArray &fieldText(ConfigFields &fields, ConfigField field);
const QByteArray &fieldText(const ConfigFields &fields, ConfigField field);
// The object name of the dialog control holding the field ("ReaderName", "RS485Mode", ...).
const char *fieldControlName(ConfigField field);

// Mode names, exact and case-sensitive.
const char *modeName(ReaderMode mode);
std::optional<ReaderMode> modeFromName(const QByteArray &name);

// ---- code tables -------------------------------------------------------------
struct CodeText {
    std::string_view code;
    std::string_view text;
};
struct BaudCode {
    std::string_view code;
    std::string_view baudRate;
    std::string_view rs485Mode;
};

// Frequency codes with a text of their own (C02 is read only; see decoder).
extern const std::array<CodeText, 4> FrequencyCodes;
extern const std::array<CodeText, 14> ReadRangeCodes;
extern const std::array<BaudCode, 12> BaudCodes;
extern const std::array<CodeText, 2> StringLengthCodes;
extern const std::array<CodeText, 3> HeartbeatCodes;
extern const std::array<CodeText, 1> TagsToReadCodes;

// The lists the dialog offers, in list order.
QList<QByteArray> modeEntries();          // 4
QList<QByteArray> frequencyEntries();     // 97
QList<QByteArray> readRangeEntries();     // 14
QList<QByteArray> baudRateEntries();      // 6
QList<QByteArray> rs485ModeEntries();     // 2
QList<QByteArray> stringLengthEntries();  // 83
QList<QByteArray> heartbeatEntries();     // 3
QList<QByteArray> tagsToReadEntries();    // 10

// ---- encoding ----------------------------------------------------------------
struct ConfigBuildResult {
    bool ok = false;
    QByteArray string;                  // the configuration string when ok
    std::optional<ConfigField> badField; // the field that stopped the build
    QString problem;                    // one line saying what is wrong
};

// The configuration string for the mode named by fields.mode. Texts that map to
// no code (baud/port mode pair, read range, heartbeat where the mode carries it,
// an unknown mode name) refuse the build, as does a string of 100 characters or
// more, whose length the write command cannot carry in two digits.
ConfigBuildResult BuildConfigString(const ConfigFields &fields);

// "C0", two length digits, the string (without the final CR). Nothing for a
// string of 100 characters or more.
std::optional<QByteArray> buildConfigWriteCommand(const QByteArray &configString);

// The read request without its CR: "L".
QByteArray configReadRequest();

// The reply a reader gives to "L": four length digits, the string, one final
// character.
QByteArray buildConfigReply(const QByteArray &configString, char finalChar = '\r');

// ---- decoding ----------------------------------------------------------------
// What a reply carries: the mode, and each field the reply sets (fields a mode
// does not carry, or codes outside the tables that leave a field unchanged,
// stay empty optionals).
struct DecodedConfig {
    ReaderMode mode = ReaderMode::Standard;
    std::optional<QByteArray> readerName, frequency, readRange, baudRate, rs485Mode, stringLength,
        termChar, headChar, handShake, tagsToRead, heartbeat;
};

// Recognises a configuration reply by its length and its four length digits
// only ("0017"/22, "0023"/28, "0031"/36, "0028"/33). Anything else: nothing.
std::optional<DecodedConfig> decodeConfigReply(const QByteArray &receivedText);

// Applies a decoded reply to a set of texts (mode name included).
void applyDecoded(const DecodedConfig &decoded, ConfigFields &fields);

} // namespace zanto
