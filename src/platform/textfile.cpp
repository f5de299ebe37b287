#include "platform/textfile.h"

#include "platform/writingfiles.h"

#include <QChar>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <limits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zanto {

namespace {

// A file descriptor that is closed when it goes out of scope.
class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    // Hands the descriptor over; it is no longer closed here.
    void release() { m_fd = -1; }
    // Closes now and says whether everything written got out: on some file
    // systems a write fails only here.
    bool close() { return ::close(std::exchange(m_fd, -1)) == 0; }

private:
    int m_fd;
};

// A file named by a path: its folder and its name in that folder, as bytes.
struct Place {
    QByteArray directory;
    QByteArray name;
};

Place placeOf(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    const qsizetype slash = native.lastIndexOf('/');
    if (slash < 0)
        return {QByteArrayLiteral("."), native};
    return {slash == 0 ? QByteArrayLiteral("/") : native.left(slash), native.mid(slash + 1)};
}

// What the writer hands the system at once.
constexpr qsizetype WritePiece = 1024 * 1024;

QString systemError(int error)
{
    return qt_error_string(error);
}

// Why a name cannot be a file directly in its folder; empty when it can.
QString badName(const QByteArray &name)
{
    if (name.isEmpty() || name == "." || name == "..")
        return QObject::tr("it is not a file name");
    if (name.contains('/'))
        return QObject::tr("a file name cannot hold '/'");
    // The system would end the name there and use another file.
    if (name.contains('\0'))
        return QObject::tr("a file name cannot hold a NUL character");
    return {};
}

// The folder itself, to look up and create names in. Working relative to it
// keeps every step in the same folder even if its path changes meanwhile.
int openFolder(const QByteArray &directory)
{
    if (directory.contains('\0')) {
        errno = ENOENT;
        return -1;
    }
#ifdef O_PATH
    // Needs only search permission, as a path through the folder would.
    return ::open(directory.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
#else
    return ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
}

FileKind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FileKind::Regular;
    if (S_ISDIR(mode))
        return FileKind::Directory;
    if (S_ISLNK(mode))
        return FileKind::SymbolicLink;
    if (S_ISFIFO(mode))
        return FileKind::Fifo;
    if (S_ISSOCK(mode))
        return FileKind::Socket;
    if (S_ISCHR(mode))
        return FileKind::CharacterDevice;
    if (S_ISBLK(mode))
        return FileKind::BlockDevice;
    return FileKind::Other;
}

// What stands at the name, the name itself and not what a link points to.
// Missing when nothing does; Unknown (with errno set) when it cannot be told.
FileKind kindAt(int folder, const QByteArray &name, struct stat *st)
{
    if (::fstatat(folder, name.constData(), st, AT_SYMLINK_NOFOLLOW) == 0)
        return kindOf(st->st_mode);
    return errno == ENOENT ? FileKind::Missing : FileKind::Unknown;
}

QString itIs(FileKind kind)
{
    return QObject::tr("it is %1").arg(fileKindText(kind));
}

Result<FileBytes, FileReadFailure> readBytesAt(const QByteArray &directory, const QByteArray &name, qint64 maxBytes)
{
    FileKind kind = FileKind::Unknown;
    const auto fail = [&](const QString &why) {
        return failure(FileReadFailure{kind, why, QObject::tr("%1 not read: %2").arg(shownFileName(name), why)});
    };
    if (const QString bad = badName(name); !bad.isEmpty())
        return fail(bad);
    const Fd folder(openFolder(directory));
    if (!folder.isValid())
        return fail(systemError(errno));

    // Decided before opening anything: a FIFO is never opened, since opening
    // one to read waits for a writer, and a device may do anything on open.
    struct stat st;
    kind = kindAt(folder.get(), name, &st);
    if (kind == FileKind::Missing || kind == FileKind::Unknown)
        return fail(systemError(errno));
    if (kind != FileKind::Regular)
        return fail(itIs(kind));

    // The name may have been swapped since: O_NOFOLLOW refuses a link put in
    // its place, O_NONBLOCK keeps a FIFO from blocking the open, and fstat says
    // what was really opened.
    const Fd file(::openat(folder.get(), name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.isValid()) {
        const int error = errno;
        if (error == ELOOP) {
            kind = FileKind::SymbolicLink;
            return fail(itIs(kind));
        }
        kind = FileKind::Unknown;
        return fail(systemError(error));
    }
    if (::fstat(file.get(), &st) != 0)
        return fail(systemError(errno));
    kind = kindOf(st.st_mode);
    if (kind != FileKind::Regular)
        return fail(itIs(kind));

    // One byte more than asked for tells whether there is more.
    const qint64 wanted = maxBytes < 0 ? -1 : maxBytes + 1;
    QByteArray content;
    if (st.st_size > 0 && wanted >= 0)
        content.reserve(qMin<qint64>(st.st_size, wanted));
    constexpr qint64 Chunk = 64 * 1024;
    for (;;) {
        const qint64 room = wanted < 0 ? Chunk : qMin(Chunk, wanted - content.size());
        if (room <= 0)
            break;
        const qsizetype before = content.size();
        content.resize(before + room);
        const ssize_t got = ::read(file.get(), content.data() + before, size_t(room));
        if (got < 0) {
            content.resize(before);
            if (errno == EINTR)
                continue;
            return fail(systemError(errno));
        }
        content.resize(before + got);
        if (got == 0)
            break;
    }
    FileBytes result;
    if (maxBytes >= 0 && content.size() > maxBytes) {
        result.cut = true;
        content.truncate(maxBytes);
    }
    result.content = content;
    return result;
}

Done writeAt(const QByteArray &directory, const QByteArray &name, qsizetype lineCount,
             const std::function<QByteArray(qsizetype)> &lineAt, WriteControl *control)
{
    const QString shown = shownFileName(name);
    const auto notWritten = [&](const QString &why, const QString &outcome) {
        return failure(QObject::tr("%1 not written: %2; %3").arg(shown, why, outcome));
    };
    const QString nothingChanged = QObject::tr("nothing was changed");
    if (const QString bad = badName(name); !bad.isEmpty())
        return notWritten(bad, nothingChanged);
    const Fd folder(openFolder(directory));
    if (!folder.isValid())
        return notWritten(systemError(errno), nothingChanged);

    struct stat old;
    const FileKind kind = kindAt(folder.get(), name, &old);
    if (kind == FileKind::Unknown)
        return notWritten(systemError(errno), nothingChanged);
    // Writing through a link or onto a device or FIFO is what a planted name
    // is for; such a name is refused and left as it is.
    if (kind != FileKind::Missing && kind != FileKind::Regular)
        return notWritten(itIs(kind), QObject::tr("it is left as it was"));
    const bool existed = kind == FileKind::Regular;
    const QString outcome = existed ? QObject::tr("the old file is unchanged") : QObject::tr("no file was created");

    // A file made read-only stays as it is, as it would if opened for writing.
    if (existed && ::faccessat(folder.get(), name.constData(), W_OK, AT_EACCESS) != 0)
        return notWritten(systemError(errno), outcome);

    // The new contents go to a file of their own beside the old one and take
    // its name only once they are all on the disk. rename() replaces the name
    // itself and never follows a link, so even a link swapped in at the last
    // moment is replaced rather than written through. (QSaveFile resolves a
    // link at the target and writes where it points.) The name carries this
    // process's id, so the start-up cleanup can tell a file left by a program
    // that is gone from one another running instance is writing.
    QByteArray temp;
    Fd out;
    for (int attempt = 0; attempt < 16 && !out.isValid(); ++attempt) {
        temp = ".zanto-" + QByteArray::number(qint64(::getpid())) + '-'
            + QByteArray::number(QRandomGenerator::global()->generate64(), 16) + ".tmp";
        out.reset(::openat(folder.get(), temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!out.isValid() && errno != EEXIST)
            return notWritten(systemError(errno), outcome);
    }
    if (!out.isValid())
        return notWritten(systemError(EEXIST), outcome);
    // Found by the signal handler until this returns; it goes before the
    // folder's descriptor closes.
    const WritingFiles::Entry noted(folder.get(), temp);
    const auto removeTemp = [&] {
        out.reset();
        ::unlinkat(folder.get(), temp.constData(), 0);
    };
    const auto cancel = [&](int error) {
        removeTemp();
        return notWritten(systemError(error), outcome);
    };
    const auto cancelled = [&] { return control && control->cancel.load(std::memory_order_relaxed); };
    const auto stopped = [&] {
        removeTemp();
        return notWritten(QObject::tr("cancelled"), outcome);
    };
    if (existed) {
        // The file keeps its owner (when root saves a user's file) and its
        // permissions; neither failing is a reason not to save.
        if (::geteuid() == 0)
            (void)::fchown(out.get(), old.st_uid, old.st_gid);
        ::fchmod(out.get(), old.st_mode & 07777);
    }

    // Lines are taken one at a time and written in bounded pieces, so a big
    // file (all the rows of a full grid) never stands in memory whole.
    QByteArray pending;
    qint64 written = 0;
    const auto flushPending = [&]() -> int {
        qsizetype done = 0;
        while (done < pending.size()) {
            const ssize_t n = ::write(out.get(), pending.constData() + done, size_t(pending.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return n < 0 ? errno : ENOSPC;
            done += n;
        }
        written += done;
        pending.resize(0);
        return 0;
    };
    for (qsizetype i = 0; i < lineCount; ++i) {
        if (cancelled())
            return stopped();
        const QByteArray line = lineAt(i);
        if (line.contains('\n')) {
            // Split in two, every later value would shift on the next load.
            removeTemp();
            return notWritten(QObject::tr("line %1 holds a line feed").arg(i + 1), outcome);
        }
        appendLine(pending, line);
        if (pending.size() >= WritePiece) {
            if (const int error = flushPending())
                return cancel(error);
            if (control && control->progress)
                control->progress(i + 1, written);
        }
    }
    if (const int error = flushPending())
        return cancel(error);
    if (control && control->progress)
        control->progress(lineCount, written);
    // A full disk may show only when the data is flushed.
    if (::fsync(out.get()) != 0)
        return cancel(errno);
    if (!out.close())
        return cancel(errno);
    // Flushing a large file takes a while; a Cancel pressed meanwhile still
    // keeps the old file.
    if (cancelled())
        return stopped();

    // What stands at the name now: something other than a file put there
    // meanwhile is not replaced either.
    const FileKind now = kindAt(folder.get(), name, &old);
    if (now != FileKind::Missing && now != FileKind::Regular) {
        const QString why = now == FileKind::Unknown ? systemError(errno) : itIs(now);
        ::unlinkat(folder.get(), temp.constData(), 0);
        return notWritten(why, QObject::tr("it is left as it was"));
    }
    if (::renameat(folder.get(), temp.constData(), folder.get(), name.constData()) != 0)
        return cancel(errno);
    // The new name reaches the disk too. The file is whole under its name
    // either way, so a failure here is no failure of the write.
    const Fd self(::openat(folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (self.isValid())
        ::fsync(self.get());
    return Done();
}

} // namespace

QString fileKindText(FileKind kind)
{
    switch (kind) {
    case FileKind::Unknown:
        return QObject::tr("of an unknown kind");
    case FileKind::Missing:
        return QObject::tr("missing");
    case FileKind::Regular:
        return QObject::tr("a regular file");
    case FileKind::Directory:
        return QObject::tr("a directory");
    case FileKind::SymbolicLink:
        return QObject::tr("a symbolic link");
    case FileKind::Fifo:
        return QObject::tr("a FIFO");
    case FileKind::Socket:
        return QObject::tr("a socket");
    case FileKind::CharacterDevice:
        return QObject::tr("a character device");
    case FileKind::BlockDevice:
        return QObject::tr("a block device");
    case FileKind::Other:
        break;
    }
    return QObject::tr("not a regular file");
}

QString shownFileName(const QByteArray &rawName)
{
    QString shown;
    shown.reserve(rawName.size());
    const auto escape = [&](qsizetype from, qsizetype count) {
        static constexpr char Hex[] = "0123456789ABCDEF";
        for (qsizetype k = from; k < from + count; ++k) {
            const uchar byte = uchar(rawName[k]);
            shown += QLatin1String("\\x");
            shown += QLatin1Char(Hex[byte >> 4]);
            shown += QLatin1Char(Hex[byte & 0xF]);
        }
    };
    const qsizetype n = rawName.size();
    qsizetype i = 0;
    while (i < n) {
        const uchar lead = uchar(rawName[i]);
        if (lead == '\\') {
            shown += QLatin1String("\\\\");
            ++i;
            continue;
        }
        // Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
        int length = 1;
        char32_t code = lead;
        char32_t least = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
            least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
            least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
            least = 0x10000;
        } else if (lead >= 0x80) {
            length = 0; // a continuation byte or one no UTF-8 uses
        }
        bool valid = length > 0 && i + length <= n;
        for (int k = 1; valid && k < length; ++k) {
            const uchar next = uchar(rawName[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (valid && length > 1)
            valid = code >= least && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
        if (!valid) {
            // Only the first byte is shown as an escape; the next one may begin
            // a character of its own.
            escape(i, 1);
            ++i;
            continue;
        }
        switch (QChar::category(code)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            escape(i, length);
            break;
        default:
            shown += QString::fromUcs4(&code, 1);
            break;
        }
        i += length;
    }
    return shown;
}

Done createIfMissing(const QString &path)
{
    const Place place = placeOf(path);
    const QString shown = shownFileName(place.name);
    const auto notCreated = [&](const QString &why) { return failure(QObject::tr("%1 not created: %2").arg(shown, why)); };
    const auto notUsed = [&](const QString &why) { return failure(QObject::tr("%1 not used: %2").arg(shown, why)); };
    if (const QString bad = badName(place.name); !bad.isEmpty())
        return notCreated(bad);
    const Fd folder(openFolder(place.directory));
    if (!folder.isValid())
        return notCreated(systemError(errno));
    struct stat st;
    FileKind kind = kindAt(folder.get(), place.name, &st);
    if (kind == FileKind::Missing) {
        // O_EXCL with O_NOFOLLOW: a dangling link put here meanwhile is
        // refused, never followed to create a file where it points.
        Fd file(::openat(folder.get(), place.name.constData(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
        if (file.isValid())
            return file.close() ? Done() : notCreated(systemError(errno));
        if (errno != EEXIST)
            return notCreated(systemError(errno));
        kind = kindAt(folder.get(), place.name, &st);
    }
    if (kind == FileKind::Regular)
        return Done();
    if (kind == FileKind::Unknown || kind == FileKind::Missing)
        return notUsed(systemError(errno));
    return notUsed(itIs(kind));
}

Result<FileBytes, FileReadFailure> readFileBytes(const QString &directory, const QByteArray &rawName, qint64 maxBytes)
{
    return readBytesAt(QFile::encodeName(directory.isEmpty() ? QStringLiteral(".") : directory), rawName, maxBytes);
}

Result<QList<QByteArray>> readLineFile(const QString &path, const FileReadLimits &limits)
{
    const Place place = placeOf(path);
    const QString shown = shownFileName(place.name);
    const Result<FileBytes, FileReadFailure> bytes = readBytesAt(place.directory, place.name, limits.maxFileSize);
    if (!bytes)
        return failure(bytes.error().message);
    QByteArray content = bytes->content;
    if (bytes->cut) // a line cut by the limit is no line of the file
        content.truncate(content.lastIndexOf('\n') + 1);
    const ParsedLines parsed = parseLines(content, {limits.maxLines, limits.maxLineLength});
    if (parsed.stoppedEarly)
        return failure(QObject::tr("%1 has a line longer than %2 KiB; not used").arg(shown).arg(limits.maxLineLength / 1024));
    // A large file is good only when the lines wanted are all in its start.
    if (bytes->cut && (limits.maxLines < 0 || parsed.lines.size() < limits.maxLines))
        return failure(QObject::tr("%1 is larger than %2 KiB; not used").arg(shown).arg(limits.maxFileSize / 1024));
    return parsed.lines;
}

Done writeLineFile(const QString &path, const QList<QByteArray> &lines)
{
    return writeLineFile(path, lines.size(), [&lines](qsizetype i) { return lines[i]; });
}

Done writeLineFile(const QString &path, qsizetype lineCount, const std::function<QByteArray(qsizetype)> &lineAt,
                   WriteControl *control)
{
    const Place place = placeOf(path);
    return writeAt(place.directory, place.name, lineCount, lineAt, control);
}

Result<int> openForAppend(const QString &directory, const QByteArray &rawName)
{
    const auto notOpened = [&](const QString &why) {
        return failure(QObject::tr("%1 not opened: %2").arg(shownFileName(rawName), why));
    };
    if (const QString bad = badName(rawName); !bad.isEmpty())
        return notOpened(bad);
    const Fd folder(openFolder(QFile::encodeName(directory.isEmpty() ? QStringLiteral(".") : directory)));
    if (!folder.isValid())
        return notOpened(systemError(errno));
    // Decided before opening: a device may do anything on open.
    struct stat st;
    const FileKind kind = kindAt(folder.get(), rawName, &st);
    if (kind == FileKind::Unknown)
        return notOpened(systemError(errno));
    if (kind != FileKind::Missing && kind != FileKind::Regular)
        return notOpened(itIs(kind));
    // Swapped meanwhile: O_NOFOLLOW refuses a link (and never creates where a
    // dangling one points), O_NONBLOCK keeps a FIFO from blocking the open,
    // and fstat says what was really opened.
    Fd file(::openat(folder.get(), rawName.constData(),
                     O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
    if (!file.isValid())
        return notOpened(errno == ELOOP ? itIs(FileKind::SymbolicLink) : systemError(errno));
    if (::fstat(file.get(), &st) != 0)
        return notOpened(systemError(errno));
    if (const FileKind opened = kindOf(st.st_mode); opened != FileKind::Regular)
        return notOpened(itIs(opened));
    // A regular file never blocks; the flag only guarded the open.
    ::fcntl(file.get(), F_SETFL, O_APPEND);
    const int fd = file.get();
    file.release();
    return fd;
}

int removeLeftoverTemporaryFiles(const QString &directory)
{
    const QByteArray native = QFile::encodeName(directory.isEmpty() ? QStringLiteral(".") : directory);
    const Fd folder(openFolder(native));
    if (!folder.isValid())
        return 0;
    static const QRegularExpression written(QStringLiteral("^\\.zanto-([1-9][0-9]{0,9})-[0-9a-f]{1,16}\\.tmp$"));
    const QStringList names = QDir(directory.isEmpty() ? QStringLiteral(".") : directory)
                                  .entryList({QStringLiteral(".zanto-*.tmp")}, QDir::AllEntries | QDir::Hidden | QDir::System);
    int removed = 0;
    for (const QString &name : names) {
        const QRegularExpressionMatch match = written.match(name);
        if (!match.hasMatch())
            continue; // an older writer's name without its id: whose it is cannot be told
        const qint64 pid = match.captured(1).toLongLong();
        if (pid > std::numeric_limits<pid_t>::max())
            continue;
        // kill() with no signal only asks whether the process exists; EPERM
        // means it does, under another user.
        const bool gone = pid == ::getpid() || (::kill(pid_t(pid), 0) != 0 && errno == ESRCH);
        if (!gone)
            continue;
        const QByteArray raw = QFile::encodeName(name);
        struct stat st;
        if (kindAt(folder.get(), raw, &st) != FileKind::Regular)
            continue;
        // unlinkat() removes the name itself: were a link put there since the
        // look above, the link would go, never what it points to.
        if (::unlinkat(folder.get(), raw.constData(), 0) == 0)
            ++removed;
    }
    return removed;
}

} // namespace zanto
