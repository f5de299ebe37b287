#pragma once

// The configuration string built from the dialog's texts and read back from
// the reader's reply. Both directions walk the layout tables of configlayout.h;
// the frames around the string (write command, reply) are in commands.h.

#include "protocol/commands.h"
#include "protocol/configlayout.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace zanto {

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

// A configuration string on its own, its mode told by its length alone (17, 23,
// 31 or 28), as a reply would tell it; the prefix and letters are not examined.
std::optional<DecodedConfig> decodeConfigString(const QByteArray &configString);

// Applies a decoded reply to a set of texts (mode name included).
void applyDecoded(const DecodedConfig &decoded, ConfigFields &fields);

// The text a reply gave a field, if it gave one (never for the mode, which a
// reply tells by its shape).
const std::optional<QByteArray> &decodedText(const DecodedConfig &decoded, ConfigField field);

} // namespace zanto
