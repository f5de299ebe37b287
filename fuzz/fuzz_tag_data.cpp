// Tag data texts as typed, with their "/HH" escapes, into data bytes and the two
// forms of the tag write command.
//
// Input layout: the first byte's low four bits give the length of the code,
// taken from the end of the input; what lies between is the tag data text.

#include "fuzzcheck.h"
#include "protocol/tagdata.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

using namespace zanto;

namespace {

int upperHexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The escape rule written out a second time, as plainly as it can be said: a
// slash and two upper-case hex digits are one byte, anything else is itself.
QByteArray referenceData(const QByteArray &text)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == '/' && i + 2 < text.size() && upperHexValue(text.at(i + 1)) >= 0
            && upperHexValue(text.at(i + 2)) >= 0) {
            out += char(upperHexValue(text.at(i + 1)) * 16 + upperHexValue(text.at(i + 2)));
            i += 2;
        } else {
            out += text.at(i);
        }
    }
    return out;
}

// Every byte as its escape: the text a user would type to send exactly these bytes.
QByteArray escapedAll(const QByteArray &data)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    QByteArray out;
    for (const char c : data) {
        const auto b = static_cast<unsigned char>(c);
        out += '/';
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    if (size == 0)
        return 0;
    const auto *chars = reinterpret_cast<const char *>(bytes);
    const qsizetype available = static_cast<qsizetype>(size) - 1;
    const qsizetype codeLength = std::min<qsizetype>(bytes[0] & 0x0F, available);
    const QByteArray text(chars + 1, available - codeLength);
    const QByteArray code(chars + 1 + available - codeLength, codeLength);

    const QByteArray data = parseTagData(text);
    const qsizetype count = tagDataByteCount(text);
    FUZZ_CHECK(count == data.size());
    FUZZ_CHECK(data.size() <= text.size());
    FUZZ_CHECK((text.size() - data.size()) % 2 == 0); // each escape folds three characters into one
    FUZZ_CHECK(data == referenceData(text));
    if (!text.contains('/'))
        FUZZ_CHECK(data == text);

    // Any bytes survive being typed as escapes.
    FUZZ_CHECK(parseTagData(escapedAll(text)) == text);
    FUZZ_CHECK(parseTagData(escapedAll(data)) == data);

    const qsizetype length = data.size();
    const Result<QByteArray> command = buildTagWriteCommand(text, code);
    FUZZ_CHECK(command.ok() == (length <= 2079));
    if (command) {
        FUZZ_CHECK(command->size() == 4 + length + code.size());
        FUZZ_CHECK(command->startsWith("W0"));
        FUZZ_CHECK(static_cast<unsigned char>(command->at(2)) == 48 + length / 10);
        FUZZ_CHECK(static_cast<unsigned char>(command->at(3)) == 48 + length % 10);
        FUZZ_CHECK(command->mid(4, length) == data);
        FUZZ_CHECK(command->mid(4 + length) == code);
    }

    const Result<QByteArray> shortCommand = buildShortTagWriteCommand(text, code);
    FUZZ_CHECK(shortCommand.ok() == (48 + text.size() <= 255));
    if (shortCommand) {
        FUZZ_CHECK(shortCommand->size() == 2 + text.size() + code.size());
        FUZZ_CHECK(shortCommand->at(0) == 'w');
        FUZZ_CHECK(static_cast<unsigned char>(shortCommand->at(1)) == 48 + text.size());
        FUZZ_CHECK(shortCommand->mid(2, text.size()) == text);
        FUZZ_CHECK(shortCommand->mid(2 + text.size()) == code);
    }
    return 0;
}
