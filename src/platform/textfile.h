#pragma once

#include "protocol/linefile.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace zanto {

// 8-bit line files in the working directory. Writes go through QSaveFile, so a
// crash or a full disk leaves either the old file or the new one, never half of
// one.
struct FileLines {
    QList<QByteArray> lines;
    QString problem; // empty when the whole file was read as asked
};

struct FileReadLimits {
    int maxLines = -1;
    qsizetype maxLineLength = 64 * 1024;
    qint64 maxFileSize = 1024 * 1024;
    // A file over the size limit is read up to the limit (true) or not at all.
    bool readPrefixOfLargeFile = true;
};

bool fileExists(const QString &path);
// Creates an empty file when none exists; an existing file is left alone.
// Returns a problem text, empty on success.
QString createIfMissing(const QString &path);
// Reads the lines of a file; a problem (missing, unreadable, too large, a line
// too long) is described in FileLines::problem together with what was read.
FileLines readLineFile(const QString &path, const FileReadLimits &limits = {});
// Replaces the file's contents with the lines, each ended by CR LF, atomically.
// Returns a problem text, empty on success.
QString writeLineFile(const QString &path, const QList<QByteArray> &lines);

} // namespace zanto
