#pragma once

#include "protocol/linefile.h"
#include "protocol/result.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>

namespace zanto {

// 8-bit line files in a folder (the working directory, or the one the user
// picked for saved rows).
//
// Only regular files directly in the folder are read or written. What stands
// at a name is decided without following a symbolic link; a link (even to a
// regular file), a directory, a FIFO, a socket or a device is refused and left
// as it is, so nothing outside the folder is ever created or changed through a
// planted name, and a FIFO never blocks the window. A write goes to a new file
// beside the old one, reaches the disk, and only then takes the old one's name:
// a full disk or a crash leaves either the old file whole or the new one whole,
// and the message says which.
//
// Paths name a file as directory, '/', file name. Every problem is one line of
// text beginning with the file's name (shown as shownFileName() shows it).

enum class FileKind {
    Unknown, // not looked at, or it could not be told
    Missing,
    Regular,
    Directory,
    SymbolicLink,
    Fifo,
    Socket,
    CharacterDevice,
    BlockDevice,
    Other,
};

// "a symbolic link", "a FIFO", ...: what a message calls it.
QString fileKindText(FileKind kind);

// A file name's bytes as a person can read them: UTF-8 where the bytes are
// valid UTF-8; every byte that is not, and the bytes of every control or
// formatting character, as "\xE9"; a backslash as "\\". Names come from the
// folder, not from the tool: a name that is not UTF-8 must still be told apart
// from its neighbours, and one holding a line feed, a right-to-left override or
// a C1 control must not break or disguise a one-line label.
QString shownFileName(const QByteArray &rawName);

struct FileReadLimits {
    int maxLines = -1;
    qsizetype maxLineLength = 64 * 1024;
    qint64 maxFileSize = 1024 * 1024;
};

struct FileBytes {
    QByteArray content; // at most the bytes asked for
    bool cut = false;   // the file holds more than that
};

// Why a file was not read.
struct FileReadFailure {
    FileKind kind = FileKind::Unknown; // what stands at the name
    QString reason;                    // "it is a FIFO", a system error
    QString message;                   // "NAME not read: REASON"
};

// Creates an empty file when nothing stands at the path; an existing regular
// file is left alone. Never follows a link: a dangling one is refused, not
// filled in.
Done createIfMissing(const QString &path);

// Reads up to maxBytes (-1: all) of the regular file `rawName` in `directory`,
// named by its bytes.
Result<FileBytes, FileReadFailure> readFileBytes(const QString &directory, const QByteArray &rawName, qint64 maxBytes);

// Reads the first maxLines lines of a file, all of them or none: a file that
// is missing, not a regular file, unreadable, holding a line longer than the
// limit among them, or larger than the size limit without all of them in its
// start, is not used, and the message says why.
Result<QList<QByteArray>> readLineFile(const QString &path, const FileReadLimits &limits = {});

// A long write, run on a thread of its own, told to stop and telling how far
// it got.
struct WriteControl {
    // Set from any thread: the write stops at its next line (or before its
    // new file takes the name), removes the new file and leaves the old one
    // as it was; the message says it was cancelled.
    std::atomic<bool> cancel{false};
    // Called on the writing thread each time a piece has gone to the system:
    // the lines taken so far and the bytes written.
    std::function<void(qsizetype lines, qint64 bytes)> progress;
};

// Replaces the file's contents with the lines, each ended by CR LF: all of them
// or none. A line holding a line feed is refused, and the old file stays whole.
Done writeLineFile(const QString &path, const QList<QByteArray> &lines);
// The same, with the lines asked for one at a time (line i = lineAt(i), in
// order), and optionally a control to cancel it or follow it.
Done writeLineFile(const QString &path, qsizetype lineCount, const std::function<QByteArray(qsizetype)> &lineAt,
                   WriteControl *control = nullptr);

// Opens the regular file `rawName` in `directory` to add to its end, creating
// it when nothing stands at the name; the descriptor is the caller's to close.
// As everywhere here, a link (even a dangling one), a FIFO, a device or a
// folder is refused and left as it is. Message: "NAME not opened: REASON".
Result<int> openForAppend(const QString &directory, const QByteArray &rawName);

// The writer's new file goes beside the old one as ".zanto-PID-RANDOM.tmp"
// until it takes the old one's name. A program stopped meanwhile leaves it
// there: this removes the ones in `directory` whose program is gone (and any
// of this process's own id, left by an earlier process that had it: call it
// before anything is written). Only regular files are removed, never a link,
// a folder or a file another running program is writing. Returns how many.
int removeLeftoverTemporaryFiles(const QString &directory);

} // namespace zanto
