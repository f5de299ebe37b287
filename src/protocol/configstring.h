#pragma once

// The configuration string built from the dialog's texts and read back from
// the reader's reply. Both directions walk the layout tables of configlayout.h;
// the frames around the string (write command, reply) are in commands.h.

#include "protocol/commands.h"
#include "protocol/configlayout.h"
#include "protocol/result.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace zanto {

// ---- encoding ----------------------------------------------------------------
// Why a configuration cannot be sent: one line, and the field to mark when one
// is to blame.
struct ConfigProblem {
    QString text;
    std::optional<ConfigField> field;
};

// The configuration string for the mode named by fields[Mode]. Texts that map
// to no code (baud/port mode pair, read range, heartbeat where the mode carries
// it, an unknown mode name), a line break in a field the mode carries, and a
// string of 100 characters or more (whose length the write command cannot
// carry in two digits) refuse the build.
Result<QByteArray, ConfigProblem> BuildConfigString(const ConfigFields &fields);

// The configuration write as Send Setup to Reader sends it: the string built
// from the texts inside its "C0" frame, or the one-line refusal ("Not sent:
// ...") that says why not. The dialog and zantoctl both send through this.
Result<QByteArray, ConfigProblem> configWriteCommand(const ConfigFields &fields);

// ---- decoding ----------------------------------------------------------------
// What a reply carries: the mode, and a text for each field the reply sets
// (fields a mode does not carry, and codes outside the tables that leave a
// field unchanged, have none; Mode has none either: a reply tells it by its
// shape).
struct DecodedConfig {
    ReaderMode mode = ReaderMode::Standard;
    std::array<std::optional<QByteArray>, ConfigFieldCount> texts;

    const std::optional<QByteArray> &operator[](ConfigField field) const
    {
        return texts[static_cast<std::size_t>(field)];
    }
    std::optional<QByteArray> &operator[](ConfigField field) { return texts[static_cast<std::size_t>(field)]; }
};

// Recognises a configuration reply by its length and its four length digits
// only ("0017"/22, "0023"/28, "0031"/36, "0028"/33). Anything else: nothing.
std::optional<DecodedConfig> decodeConfigReply(const QByteArray &receivedText);

// A configuration string on its own, its mode told by its length alone (17, 23,
// 31 or 28), as a reply would tell it; the prefix and letters are not examined.
std::optional<DecodedConfig> decodeConfigString(const QByteArray &configString);

// Applies a decoded reply to a set of texts (mode name included).
void applyDecoded(const DecodedConfig &decoded, ConfigFields &fields);

} // namespace zanto
