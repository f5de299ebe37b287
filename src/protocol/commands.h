#pragma once

// What the tool says to the reader and what the reader says back, in both
// directions: the fixed commands with the control that sends each and its link
// rule, and the frames that carry data (tag write, its short form, the
// configuration write, the configuration reply). Every frame is built and
// parsed here, next to each other, so the tool and the simulator agree on one
// layout. Command texts come without the final CR, which the send adds.

#include "protocol/configlayout.h"
#include "protocol/linkrules.h"
#include "protocol/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <optional>
#include <span>
#include <string_view>

namespace zanto {

enum class ReaderCommand {
    Input1,        // "G"
    Input2,        // "N"
    Input1Plus,    // "F"
    BootString,    // "S"
    Lon,           // "LON"
    Loff,          // "LOFF"
    Input3,        // "A"
    H,             // "H"
    TagWrite,      // "W0", two length characters, data, code
    ShortTagWrite, // "w", count character, text, code
    ReadSetupTag,  // "M"
    WriteSetupTag, // "K"
    ReadConfig,    // "L"
    ConfigWrite,   // "C0", two length digits, configuration string
    ReadEthernet,  // "IP"
    Reboot,        // "RESET"
};

struct CommandSpec {
    ReaderCommand command;
    std::string_view text;    // a fixed command's whole text, or the characters a frame starts with
    LinkRule rule;
    bool fixed;               // the text is the whole command
};

// Every command the tool sends has its row, in enum order.
inline constexpr int ReaderCommandCount = 16;
const CommandSpec &commandSpec(ReaderCommand command);
// A fixed command's text; the leading characters of a frame.
QByteArray commandText(ReaderCommand command);
LinkRule commandRule(ReaderCommand command);

// What a received line is, as the reader tells it: a fixed command by its
// whole text, a frame by the characters it starts with; nothing otherwise.
std::optional<ReaderCommand> identifyCommand(QByteArrayView line);

// ---- tag write, normal form ------------------------------------------------------
// "W0", the tens character (48 + L / 10), the units character (48 + L % 10),
// the L data bytes, then the code.

// The largest data length whose tens character stays within 8 bits.
inline constexpr qsizetype MaxTagWriteBytes = 2079;

// The code sent behind the data: what the window's list starts with and
// offers, in list order.
inline constexpr const char *DefaultTagWriteCode = "R4";
inline constexpr std::array<const char *, 7> TagWriteCodes = {"C0", "C4", "C8", "C6", "R4", "R8", "R6"};

// Refused (with why) when the data is longer than MaxTagWriteBytes.
Result<QByteArray> buildTagWriteFrame(QByteArrayView data, QByteArrayView code);

// The data length the first four characters announce: (tens - 48) * 10 +
// (units - 48). Nothing when the text does not start with "W0" and two length
// characters of "0" or above; the rest of the text need not be there yet.
std::optional<qsizetype> tagWriteDataLength(QByteArrayView command);
// The text is a tag write that holds all the data it announces (so a CR or LF
// from here on ends it rather than being data).
bool holdsAllTagWriteData(QByteArrayView command);

struct TagWriteFrame {
    QByteArray data;
    QByteArray code; // whatever follows the data
    bool operator==(const TagWriteFrame &) const = default;
};
// Nothing when the command is not a tag write or is shorter than its data.
std::optional<TagWriteFrame> parseTagWriteCommand(QByteArrayView command);

// ---- tag write, short form -------------------------------------------------------
// "w", the character 48 + number of characters of the text, the text as it
// stands ("/" is nothing special), then the code.

// The window holds its data field to this many characters in this form.
inline constexpr qsizetype MaxShortTagWriteCharacters = 5;

// Refused (with why) when the count character would leave 8 bits.
Result<QByteArray> buildShortTagWriteCommand(const QByteArray &text, const QByteArray &code);

struct ShortTagWriteFrame {
    QByteArray text;
    QByteArray code;
    bool operator==(const ShortTagWriteFrame &) const = default;
};
std::optional<ShortTagWriteFrame> parseShortTagWriteCommand(QByteArrayView command);

// ---- configuration ---------------------------------------------------------------

// The read request: "L".
QByteArray configReadRequest();

// The longest configuration string the write command's two length digits can
// carry.
inline constexpr qsizetype MaxConfigStringLength = 99;

// "C0", two length digits, the string. Refused for a string of 100 characters
// or more.
Result<QByteArray> buildConfigWriteCommand(const QByteArray &configString);
// The string a write command carries; nothing unless the command is "C0", two
// decimal digits and exactly that many characters.
std::optional<QByteArray> parseConfigWriteCommand(QByteArrayView command);

// The reply a reader gives to "L": four length digits, the string, one final
// character.
QByteArray buildConfigReply(const QByteArray &configString, char finalChar = '\r');

struct ConfigReply {
    ReaderMode mode;
    QByteArray configString;
    char finalChar;
};
// Recognised by its total length and its four length digits only, as the
// reply shapes of the layout give them; nothing else in it is examined.
std::optional<ConfigReply> parseConfigReply(QByteArrayView receivedText);

// A configuration reply standing somewhere in received bytes that hold other
// data too (tag reads before or after it), or that came in pieces. Inside
// other data the length digits alone could be anything, so the whole shape is
// asked for: the digits, the mode's prefix, and each field's letter where the
// mode's layout puts it.
struct ReplyInStream {
    qsizetype at = 0;     // where the length digits begin
    qsizetype length = 0; // the whole reply, final character included
    ReaderMode mode = ReaderMode::Standard;
    bool complete = false; // all of it has arrived (else: its start does)
};
// The first reply that begins at or after `from`, whole or still arriving at
// the end of the bytes; nothing when no reply begins there.
std::optional<ReplyInStream> findConfigReply(QByteArrayView bytes, qsizetype from = 0);

} // namespace zanto
