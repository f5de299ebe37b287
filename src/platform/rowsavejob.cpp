#include "platform/rowsavejob.h"

#include <QThread>

namespace zanto {

namespace {

// A batch is read under the store's lock: a few thousand pointer copies at
// most, which the window thread never notices, and enough bytes that the
// lock is taken a few hundred times for a full grid, not once a row.
constexpr qsizetype BatchRows = 4096;
constexpr qsizetype BatchBytes = 4 * 1024 * 1024;

} // namespace

RowSaveJob::RowSaveJob(ReceivedStore *store, const QList<Span> &spans, const QString &path, bool withTimes,
                       QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_spans(spans)
    , m_path(path)
    , m_format(withTimes)
{
    for (const Span &span : m_spans)
        m_count += qsizetype(span.last - span.first + 1);
    m_control.progress = [this](qsizetype, qint64 bytes) { m_bytes.store(bytes, std::memory_order_relaxed); };
}

RowSaveJob::~RowSaveJob()
{
    if (m_thread) {
        cancel();
        m_thread->wait();
        delete m_thread;
        m_store->unpin();
    }
}

void RowSaveJob::start()
{
    Q_ASSERT(!m_thread);
    if (!m_spans.isEmpty())
        m_store->pin(m_spans.first().first);
    m_thread = QThread::create([this] { m_result = write(); });
    connect(m_thread, &QThread::finished, this, [this] {
        // The budget may take the rows again from here.
        m_store->unpin();
        m_thread->deleteLater();
        m_thread = nullptr;
        Q_EMIT finished();
    });
    m_thread->start();
}

Done RowSaveJob::run()
{
    if (!m_spans.isEmpty())
        m_store->pin(m_spans.first().first);
    m_result = write();
    m_store->unpin();
    return m_result;
}

bool RowSaveJob::running() const
{
    return m_thread && m_thread->isRunning();
}

void RowSaveJob::wait()
{
    if (m_thread)
        m_thread->wait();
}

Done RowSaveJob::write()
{
    m_batch.resize(size_t(BatchRows));
    m_batchAt = m_batchEnd = 0;
    m_span = 0;
    m_next = m_spans.isEmpty() ? 0 : m_spans.first().first;
    return writeLineFile(m_path, m_count, [this](qsizetype line) { return lineAt(line); }, &m_control);
}

QByteArray RowSaveJob::lineAt(qsizetype line)
{
    if (m_batchAt == m_batchEnd) {
        // Lines come in order, so the next row is the next of its span or the
        // first of the next span. Reading from it lets the pin move up to it:
        // the rows before are written.
        if (m_next > m_spans[m_span].last && m_span + 1 < m_spans.size())
            m_next = m_spans[++m_span].first;
        const qsizetype most = qsizetype(qMin<qint64>(BatchRows, m_spans[m_span].last - m_next + 1));
        m_batchEnd = size_t(m_store->readPinned(m_next, most, BatchBytes, m_batch.data()));
        m_batchAt = 0;
        if (m_batchEnd == 0) {
            // Pinned rows cannot go; were they gone all the same, the file
            // would be wrong, so it is not written.
            Q_ASSERT_X(false, "RowSaveJob", "rows being saved were removed");
            cancel();
            return {};
        }
    }
    const ReceivedStore::Row row = m_batch[m_batchAt++];
    ++m_next;
    m_rowsDone.store(line + 1, std::memory_order_relaxed);
    return m_format.line(QByteArrayView(row.data, row.size), row.arrivalMs);
}

} // namespace zanto
