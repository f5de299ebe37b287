#pragma once

#include "protocol/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QMutex>
#include <QString>
#include <QWaitCondition>

#include <atomic>
#include <memory>
#include <vector>

class QThread;

namespace zanto {

// Every burst, as it ends, added as one line to a file: its arrival time, a
// tab, the hex, a tab and the escaped text (RowLineFormat with times), ended
// by CR LF as the tool's other line files.
//
// add() is called on the window's path with every burst, which a stream
// brings tens of thousands of a second: it only copies the bytes into a
// bounded queue. A thread of the log's own makes the lines and writes them, a
// batch at a time. When the disk falls so far behind that the queue is full,
// bursts are counted as lost rather than making the window wait. A failed
// write (a full disk) ends the log: the file is cut back to its last whole
// line and closed, and error() says why.
class BurstLog
{
public:
    // The most memory bursts waiting for the writer may take.
    static constexpr qsizetype MaxQueuedBytes = 16 * 1024 * 1024;

    ~BurstLog();
    BurstLog(const BurstLog &) = delete;
    BurstLog &operator=(const BurstLog &) = delete;

    // Opens (or creates) the regular file `rawName` in `directory` to add to
    // its end, as openForAppend() does, and starts the writer.
    static Result<std::unique_ptr<BurstLog>> open(const QString &directory, const QByteArray &rawName);

    // A burst ended; its bytes are copied.
    void add(QByteArrayView bytes, qint64 arrivalMs);
    // Writes what is queued, puts it on the disk and closes the file. Says
    // why not when a write failed, now or before.
    Done stop();

    // From any thread, while it runs.
    qint64 linesWritten() const { return m_lines.load(std::memory_order_relaxed); }
    qint64 bytesWritten() const { return m_bytes.load(std::memory_order_relaxed); }
    qint64 linesLost() const { return m_lost.load(std::memory_order_relaxed); }
    bool failed() const { return m_failed.load(std::memory_order_acquire); }
    // "NAME not written: REASON", once failed().
    QString error() const;

private:
    struct Entry {
        qint64 arrivalMs;
        qsizetype offset;
        qsizetype size;
    };
    BurstLog(int fd, const QString &shownName);
    void writeBatches();
    bool writeAll(const QByteArray &text);
    // The log's one failure, said with the system's reason; later ones add nothing.
    void noteFailure(int error);

    int m_fd;
    QString m_shownName;
    QThread *m_thread = nullptr;

    mutable QMutex m_lock; // guards what follows, up to the counters
    QWaitCondition m_wake;
    QByteArray m_queuedBytes;
    std::vector<Entry> m_queued;
    bool m_stopping = false;
    bool m_writerIdle = false;
    QString m_error;

    std::atomic<qint64> m_lines{0};
    std::atomic<qint64> m_bytes{0};
    std::atomic<qint64> m_lost{0};
    std::atomic<bool> m_failed{false};
};

} // namespace zanto
