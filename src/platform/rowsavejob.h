#pragma once

#include "platform/receivedstore.h"
#include "platform/textfile.h"
#include "protocol/result.h"
#include "protocol/rowline.h"

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <vector>

class QThread;

namespace zanto {

// "Save rows as..." for a store the window thread keeps filling: the rows are
// written to a line file on a thread of their own, read where they stand in
// the store (pinned there meanwhile, see ReceivedStore) and never copied.
// Meanwhile the window thread may add rows and drop unpinned old ones, but
// must neither clear the store nor remove its newest rows: it cancels the job
// and waits for it first (wait()).
class RowSaveJob : public QObject
{
    Q_OBJECT
public:
    // Rows by their numbers (ReceivedStore::firstRowNumber() on), first and
    // last, in order and apart.
    struct Span {
        qint64 first;
        qint64 last;
    };

    RowSaveJob(ReceivedStore *store, const QList<Span> &spans, const QString &path, bool withTimes,
               QObject *parent = nullptr);
    // Cancels a save still running and waits for it.
    ~RowSaveJob() override;

    qsizetype rowCount() const { return m_count; }
    // Starts the save on a thread of its own; finished() follows on this
    // object's thread.
    void start();
    // The same save on the calling thread, for a caller that can wait.
    Done run();
    // From any thread: the save stops soon, the old file stays as it was.
    void cancel() { m_control.cancel.store(true); }
    bool cancelled() const { return m_control.cancel.load(); }
    bool running() const;
    // Waits for a started save to end (finished() still follows).
    void wait();

    // How far it got, from any thread: rows taken, bytes written.
    qsizetype rowsDone() const { return m_rowsDone.load(std::memory_order_relaxed); }
    qint64 bytesWritten() const { return m_bytes.load(std::memory_order_relaxed); }
    // The outcome, once finished() came (or run() returned).
    const Done &result() const { return m_result; }

Q_SIGNALS:
    void finished();

private:
    Done write();
    QByteArray lineAt(qsizetype line);

    ReceivedStore *m_store;
    QList<Span> m_spans;
    QString m_path;
    RowLineFormat m_format;
    qsizetype m_count = 0;
    WriteControl m_control;
    std::atomic<qsizetype> m_rowsDone{0};
    std::atomic<qint64> m_bytes{0};
    QThread *m_thread = nullptr;
    Done m_result;

    // The saving thread's own: the rows read from the store last, and the
    // row whose line comes next.
    std::vector<ReceivedStore::Row> m_batch;
    size_t m_batchAt = 0;
    size_t m_batchEnd = 0;
    qsizetype m_span = 0;
    qint64 m_next = 0;
};

} // namespace zanto
