#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

namespace zantoctl {

// Standard output, written and flushed a piece at a time (a pipe reader sees
// each burst as it ends), remembering the first failure: a full disk, a
// closed pipe or an I/O error must end the run with its own status, never
// with "done" over an empty or cut file.
class CtlOutput
{
public:
    explicit CtlOutput(std::FILE *file)
        : m_file(file)
    {
    }

    void write(const QByteArray &bytes);
    // Flushes and closes; false when anything written was lost.
    bool close();
    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }

private:
    void fail(int error);

    std::FILE *m_file;
    QString m_error;
};

} // namespace zantoctl
