#pragma once

#include "protocol/configstring.h"
#include "platform/textfile.h"
#include "protocol/result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

namespace zanto {

// Configuration files: the dialog's twelve texts, one a line, in a file named
// after the reader. What can be decided without a window lives here.

inline constexpr const char *ConfigFileSuffix = ".zq";
// A configuration file is twelve short lines; anything much bigger is not one,
// and reading it whole into the fields would only fill them with rubbish.
inline constexpr qint64 MaxConfigFileSize = 64 * 1024;
inline constexpr qsizetype MaxConfigLineLength = 4 * 1024;

// The file a ReaderName text names: the text followed by ".zq", its name in
// the directory. An empty text gives ".zq". A text that would reach outside the
// directory ('/', '\\', "..") or that a file name cannot carry faithfully (C0
// and C1 control characters, DEL, characters outside 8 bits) is refused, with
// the reason first.
Result<QString> configFileName(const QString &readerName);

// The twelve lines of a file, in file order (ReaderName, Mode, BaudRate, ...).
QList<QByteArray> configFileLines(const ConfigFields &fields);

// What a file's lines put into the fields: line k into the k-th field of the
// file order, at most twelve; lines after the twelfth go nowhere.
QList<std::pair<ConfigField, QByteArray>> configFileAssignments(const QList<QByteArray> &lines);

// A "*.zq" entry of a directory, as it stands there: the name's bytes may be
// any, not only valid UTF-8.
struct ConfigFileEntry {
    QByteArray rawName;  // what opens it
    QString shownName;   // what the list shows (see shownFileName())
};

// Every entry but a directory whose name ends in ".zq", whatever the other
// bytes of its name, in byte order. Links, FIFOs and the like are listed too,
// so that choosing one tells why it cannot be loaded.
QList<ConfigFileEntry> configFileEntries(const QString &directory);

// Reads a configuration file whole or not at all: a file that is missing, not a
// regular file (a symbolic link, a FIFO, a device, ...), unreadable, larger
// than MaxConfigFileSize or holding a line longer than MaxConfigLineLength
// among its first twelve gives a problem and no lines. The file is named by its
// bytes, directly in `directory`.
// A file that is missing says it is "no longer there": it was picked from a
// list; a caller that named it itself tells from the failure's kind.
Result<QList<QByteArray>, FileReadFailure> readConfigFile(const QString &directory, const QByteArray &rawName);

} // namespace zanto
