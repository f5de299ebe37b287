#pragma once

#include "protocol/result.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace zanto {

// A small settings file of the tool's own (settings1.ini, settings2.ini), one
// value a line, in the folder given when it is made: read when its values are
// wanted (an empty file is created when there is none) and written back whole.
// A file that could not be read is not overwritten with the start texts the
// tool fell back on, only with values the user set.
class SettingsFile
{
public:
    SettingsFile(const QString &directory, const QString &fileName, int lineCount);

    QString path() const;
    QString fileName() const { return m_fileName; }

    // The file's first lines, at most lineCount (fewer when it has fewer); on
    // failure none, and loadProblem() keeps why until the next load.
    Result<QList<QByteArray>> load();
    QString loadProblem() const { return m_loadProblem; }

    // Writes the values, one a line. When the file could not be read, only a
    // save with userChanged writes it; otherwise it is left as it is.
    Done save(const QList<QString> &values, bool userChanged);

private:
    QString m_directory;
    QString m_fileName;
    int m_lineCount;
    QString m_loadProblem;
};

} // namespace zanto
