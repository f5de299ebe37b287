// 8-bit line files: parsing under limits, formatting back, and reading real
// files with the limits the settings and configuration files use.
//
// Input layout: byte 0 picks the line count limit, byte 1 the line length limit,
// byte 2 whether and how the content is also read as a file (bits 0-1), whether
// a file over the size limit is read in part (bit 2) and a tail length (bits
// 3-7), byte 3 a file size limit; the rest is the content.

#include "fuzzcheck.h"
#include "platform/textfile.h"
#include "protocol/linefile.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

using namespace zanto;

namespace {

std::string g_path;
int g_fd = -1;

void removeFile()
{
    if (g_fd >= 0)
        ::unlink(g_path.c_str());
}

// The line rule written out a second time: LF ends a line, a CR right before it
// belongs to the end, a last line without LF counts when it is not empty. Lines
// are taken up to the count limit and stop at the first one over the length
// limit; the scan stops there too, so large files with few wanted lines stay
// cheap.
ParsedLines referenceParse(const QByteArray &content, const LineLimits &limits)
{
    ParsedLines result;
    const qsizetype n = content.size();
    qsizetype start = 0;
    while (start < n) {
        if (limits.maxLines >= 0 && result.lines.size() >= limits.maxLines)
            break;
        const qsizetype lf = content.indexOf('\n', start);
        const bool ended = lf >= 0;
        const qsizetype end = ended ? lf : n;
        const qsizetype length = end - start - (ended && end > start && content.at(end - 1) == '\r' ? 1 : 0);
        if (limits.maxLineLength >= 0 && length > limits.maxLineLength) {
            result.stoppedEarly = true;
            break;
        }
        result.lines.append(content.mid(start, length));
        start = end + 1;
    }
    return result;
}

void checkParse(const QByteArray &content, const LineLimits &limits)
{
    const ParsedLines parsed = parseLines(content, limits);
    const ParsedLines expected = referenceParse(content, limits);
    FUZZ_CHECK(parsed.lines == expected.lines);
    FUZZ_CHECK(parsed.stoppedEarly == expected.stoppedEarly);
    for (const QByteArray &line : parsed.lines) {
        FUZZ_CHECK(!line.contains('\n'));
        FUZZ_CHECK(limits.maxLineLength < 0 || line.size() <= limits.maxLineLength);
    }
    FUZZ_CHECK(limits.maxLines < 0 || parsed.lines.size() <= limits.maxLines);

    // Whatever was read writes out and reads back the same, under the same limits.
    QByteArray written;
    for (const QByteArray &line : parsed.lines)
        appendLine(written, line);
    const ParsedLines reread = parseLines(written, limits);
    FUZZ_CHECK(reread.lines == parsed.lines && !reread.stoppedEarly);
    FUZZ_CHECK(written.size() == [&] {
        qsizetype total = 0;
        for (const QByteArray &line : parsed.lines)
            total += line.size() + 2;
        return total;
    }());

    // Without limits nothing is lost but line ends: joined again with LF, the
    // lines are the content with its CR LF pairs as LF.
    if (limits.maxLines < 0 && limits.maxLineLength < 0) {
        QByteArray joined = parsed.lines.join('\n');
        if (content.endsWith('\n'))
            joined += '\n';
        QByteArray normalised = content;
        normalised.replace("\r\n", "\n");
        FUZZ_CHECK(joined == normalised);
    }
}

// Overwritten in place and then cut to size rather than emptied first: giving
// the blocks back and taking them again for every input is slow on a real disk.
void writeFile(const QByteArray &content)
{
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t n = ::pwrite(g_fd, content.constData() + done, static_cast<size_t>(content.size() - done), done);
        FUZZ_CHECK(n > 0);
        done += n;
    }
    FUZZ_CHECK(::ftruncate(g_fd, content.size()) == 0);
}

void checkFile(const QByteArray &content, const FileReadLimits &limits)
{
    const Result<QList<QByteArray>> file = readLineFile(QString::fromLocal8Bit(g_path.c_str()), limits);
    const bool tooLarge = limits.maxFileSize >= 0 && content.size() > limits.maxFileSize;
    QByteArray read = content;
    if (tooLarge) {
        // Only whole lines of the part within the limit.
        read = content.left(limits.maxFileSize);
        read.truncate(read.lastIndexOf('\n') + 1);
    }
    const ParsedLines expected = referenceParse(read, {limits.maxLines, limits.maxLineLength});
    // All the lines wanted, or nothing and why.
    if (expected.stoppedEarly || (tooLarge && (limits.maxLines < 0 || expected.lines.size() < limits.maxLines))) {
        FUZZ_CHECK(!file && !file.error().isEmpty());
        return;
    }
    FUZZ_CHECK(file && *file == expected.lines);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // One file for the whole run, rewritten for each input; in memory when the
    // system offers it, since disk writes would dominate the run.
    const char *dir = std::getenv("TMPDIR");
    if (!dir || !*dir)
        dir = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    g_path = std::string(dir) + "/zanto-fuzz-linefile-XXXXXX";
    g_fd = ::mkstemp(g_path.data());
    if (g_fd < 0) {
        std::perror("mkstemp");
        std::abort();
    }
    std::atexit(removeFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    if (size < 4)
        return 0;
    const QByteArray content(reinterpret_cast<const char *>(bytes) + 4, static_cast<qsizetype>(size) - 4);

    // -1 (no limit) comes up often on purpose: it is what most readers pass.
    LineLimits limits;
    limits.maxLines = bytes[0] % 17 - 1;
    limits.maxLineLength = bytes[1] & 0x80 ? -1 : bytes[1];
    checkParse(content, limits);
    checkParse(content, {});

    // The file reader's size limit is a number like any other: small limits on
    // small files take the same paths as 64 KiB and 1 MiB limits on large ones,
    // at a fraction of the cost. Only the configuration files' 64 KiB is also
    // passed for real, now and then; a megabyte per input would slow the whole
    // run down to a crawl.
    const FileReadLimits chosen{limits.maxLines, limits.maxLineLength, bytes[3] == 0xFF ? -1 : qint64(bytes[3]) * 4};
    QByteArray file = content;
    switch (bytes[2] & 3) {
    case 0:
    case 1:
        return 0; // memory only: files cost far more than parsing
    case 2:
        break;
    case 3: {
        // Past the configuration files' 64 KiB, with a tail that varies where
        // the cut falls.
        const QByteArray unit = content.isEmpty() ? QByteArray("x\r\n") : content;
        file = unit.repeated((64 * 1024 + unit.size()) / unit.size()) + content.left(bytes[2] >> 3);
        break;
    }
    }
    writeFile(file);
    checkFile(file, {4, 64 * 1024, 1024 * 1024}); // settings files
    checkFile(file, {12, 4 * 1024, 64 * 1024});   // configuration files
    checkFile(file, chosen);
    return 0;
}
