#include "platform/burstlog.h"

#include "platform/textfile.h"
#include "protocol/rowline.h"

#include <QObject>
#include <QThread>

#include <cerrno>
#include <unistd.h>

namespace zanto {

namespace {

// The writer makes lines into pieces of about this size before writing them.
constexpr qsizetype WritePiece = 1024 * 1024;
// Once woken, the writer lets bursts gather this long before it takes them:
// a write and a wake-up per batch, not per burst.
constexpr int GatherMs = 20;

} // namespace

Result<std::unique_ptr<BurstLog>> BurstLog::open(const QString &directory, const QByteArray &rawName)
{
    const Result<int> fd = openForAppend(directory, rawName);
    if (!fd)
        return failure(fd.error());
    return std::unique_ptr<BurstLog>(new BurstLog(*fd, shownFileName(rawName)));
}

BurstLog::BurstLog(int fd, const QString &shownName)
    : m_fd(fd)
    , m_shownName(shownName)
{
    m_thread = QThread::create([this] { writeBatches(); });
    m_thread->start();
}

BurstLog::~BurstLog()
{
    (void)stop();
}

QString BurstLog::error() const
{
    const QMutexLocker locked(&m_lock);
    return m_error;
}

void BurstLog::add(QByteArrayView bytes, qint64 arrivalMs)
{
    if (failed())
        return;
    const QMutexLocker locked(&m_lock);
    if (m_stopping)
        return;
    // Small bursts cost their index entry too.
    const qsizetype queued = m_queuedBytes.size() + qsizetype(m_queued.size() * sizeof(Entry));
    if (queued + bytes.size() + qsizetype(sizeof(Entry)) > MaxQueuedBytes) {
        m_lost.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    m_queued.push_back(Entry{arrivalMs, m_queuedBytes.size(), bytes.size()});
    m_queuedBytes.append(bytes.data(), bytes.size());
    // Only a writer with nothing to do waits to be woken; a busy one looks
    // at the queue when it is done, so a stream costs no wake-up per burst.
    if (m_writerIdle)
        m_wake.wakeOne();
}

Done BurstLog::stop()
{
    if (m_thread) {
        {
            const QMutexLocker locked(&m_lock);
            m_stopping = true;
            m_wake.wakeOne();
        }
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
        // The lines are on the disk before the log says it is closed; a full
        // disk may show only here.
        int error = 0;
        if (::fsync(m_fd) != 0)
            error = errno;
        if (::close(m_fd) != 0 && error == 0)
            error = errno;
        m_fd = -1;
        if (error != 0)
            noteFailure(error);
    }
    if (failed())
        return failure(error());
    return Done();
}

bool BurstLog::writeAll(const QByteArray &text)
{
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(m_fd, text.constData() + done, size_t(text.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            // The file ends with its last whole line, not a piece of one.
            const off_t end = ::lseek(m_fd, 0, SEEK_END);
            if (end >= done)
                (void)::ftruncate(m_fd, end - off_t(done));
            noteFailure(error);
            return false;
        }
        done += n;
    }
    return true;
}

void BurstLog::noteFailure(int error)
{
    const QMutexLocker locked(&m_lock);
    if (failed())
        return;
    m_error = QObject::tr("%1 not written: %2").arg(m_shownName, qt_error_string(error));
    m_failed.store(true, std::memory_order_release);
}

void BurstLog::writeBatches()
{
    RowLineFormat format(true);
    QByteArray bytes;
    std::vector<Entry> entries;
    QByteArray text;
    for (;;) {
        bool last = false;
        {
            QMutexLocker locked(&m_lock);
            if (m_queued.empty() && !m_stopping) {
                m_writerIdle = true;
                while (m_queued.empty() && !m_stopping)
                    m_wake.wait(&m_lock);
                m_writerIdle = false;
                // The first burst of a stream: the ones after it come in
                // the same batch (a stop still ends the wait).
                if (!m_stopping)
                    m_wake.wait(&m_lock, GatherMs);
            }
            // The queue is swapped out whole; the window adds to an empty one
            // while these are written.
            // (resize keeps the memory, so neither side allocates anew.)
            bytes.resize(0);
            entries.clear();
            bytes.swap(m_queuedBytes);
            entries.swap(m_queued);
            last = m_stopping && entries.empty();
        }
        if (last)
            return;
        qint64 lines = 0;
        for (size_t i = 0; i < entries.size(); ++i) {
            const Entry &e = entries[i];
            format.append(text, QByteArrayView(bytes.constData() + e.offset, e.size), e.arrivalMs);
            text += "\r\n";
            ++lines;
            if (text.size() >= WritePiece || i + 1 == entries.size()) {
                if (!writeAll(text))
                    return;
                m_lines.fetch_add(lines, std::memory_order_relaxed);
                m_bytes.fetch_add(text.size(), std::memory_order_relaxed);
                lines = 0;
                text.resize(0);
            }
        }
    }
}

} // namespace zanto
