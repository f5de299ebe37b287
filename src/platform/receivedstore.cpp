#include "platform/receivedstore.h"

#include <cstring>
#include <new>
#include <utility>
#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace zanto {

namespace {

// Chunk memory is mapped with its pages filled in at once: a stream fills
// hundreds of MiB, and on a virtual machine taking those pages one fault at a
// time costs more than copying the bytes into them.
char *allocateChunk(qsizetype capacity)
{
#ifdef Q_OS_LINUX
    void *p = mmap(nullptr, size_t(capacity), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    return static_cast<char *>(p);
#else
    return new char[size_t(capacity)];
#endif
}

void releaseChunk(char *p, qsizetype capacity)
{
#ifdef Q_OS_LINUX
    munmap(p, size_t(capacity));
#else
    Q_UNUSED(capacity);
    delete[] p;
#endif
}

} // namespace

ReceivedStore::Chunk::Chunk(qsizetype size)
    : data(allocateChunk(size))
    , capacity(size)
{
}

ReceivedStore::Chunk::~Chunk()
{
    if (data)
        releaseChunk(data, capacity);
}

ReceivedStore::Chunk::Chunk(Chunk &&other) noexcept
    : data(std::exchange(other.data, nullptr))
    , capacity(std::exchange(other.capacity, 0))
    , used(std::exchange(other.used, 0))
{
}

ReceivedStore::Chunk &ReceivedStore::Chunk::operator=(Chunk &&other) noexcept
{
    if (this != &other) {
        if (data)
            releaseChunk(data, capacity);
        data = std::exchange(other.data, nullptr);
        capacity = std::exchange(other.capacity, 0);
        used = std::exchange(other.used, 0);
    }
    return *this;
}

ReceivedStore::Chunk ReceivedStore::takeChunk(qsizetype size)
{
    // A chunk the oldest rows gave back is used again: once the budget is
    // reached, a stream runs in the memory it already has.
    if (size <= ChunkSize && !m_spare.empty()) {
        Chunk chunk = std::move(m_spare.back());
        m_spare.pop_back();
        chunk.used = 0;
        return chunk;
    }
    return Chunk(qMax(ChunkSize, size));
}

void ReceivedStore::giveBack(Chunk &&chunk)
{
    if (chunk.capacity == ChunkSize && m_spare.size() < SpareChunks)
        m_spare.push_back(std::move(chunk));
}

char *ReceivedStore::openRowSpace(qsizetype maxRow, qsizetype *room)
{
    // A new row starts where all of it fits, so it never has to move.
    if (m_openSize == 0 && (m_chunks.empty() || m_chunks.back().capacity - m_chunks.back().used < maxRow)) {
        Chunk chunk = takeChunk(maxRow); // mapped outside the lock: it may take a while
        const QMutexLocker locked(&m_lock);
        m_chunks.push_back(std::move(chunk));
    }
    Chunk &chunk = m_chunks.back();
    // Whole rows' worth from the open row's start: cut into rows of maxRow,
    // what is read leaves a last open row that starts at most a full row
    // before the chunk's end.
    const qsizetype free = chunk.capacity - chunk.used;
    *room = (free / maxRow) * maxRow - m_openSize;
    return chunk.data + chunk.used + m_openSize;
}

void ReceivedStore::grow(qsizetype n)
{
    m_openSize += n;
}

QByteArrayView ReceivedStore::openRow() const
{
    if (m_openSize == 0)
        return {};
    const Chunk &chunk = m_chunks.back();
    return QByteArrayView(chunk.data + chunk.used, m_openSize);
}

void ReceivedStore::closeRow(qint64 arrivalMs, qsizetype size)
{
    if (size < 0 || size > m_openSize)
        size = m_openSize;
    if (size == 0)
        return;
    Chunk &chunk = m_chunks.back();
    const auto seq = quint32(m_firstChunkSeq + m_chunks.size() - 1);
    {
        const QMutexLocker locked(&m_lock);
        m_rows.push_back(Entry{seq, quint32(chunk.used), quint32(size), arrivalMs});
    }
    chunk.used += size;
    m_bytes += quint64(size);
    m_openSize -= size;
}

void ReceivedStore::append(const char *data, qsizetype size, qint64 arrivalMs)
{
    // A row handed over whole goes behind the open row's bytes, which would be
    // overwritten otherwise; the two never meet in the tool, which appends
    // whole rows only where no burst is gathered.
    Q_ASSERT(m_openSize == 0);
    if (m_chunks.empty() || m_chunks.back().capacity - m_chunks.back().used < size) {
        Chunk chunk = takeChunk(size);
        const QMutexLocker locked(&m_lock);
        m_chunks.push_back(std::move(chunk));
    }
    Chunk &chunk = m_chunks.back();
    if (size > 0)
        std::memcpy(chunk.data + chunk.used, data, size_t(size));
    const auto seq = quint32(m_firstChunkSeq + m_chunks.size() - 1);
    {
        const QMutexLocker locked(&m_lock);
        m_rows.push_back(Entry{seq, quint32(chunk.used), quint32(size), arrivalMs});
    }
    chunk.used += size;
    m_bytes += quint64(size);
}

ReceivedStore::Row ReceivedStore::row(qsizetype index) const
{
    if (index < 0 || index >= rowCount())
        return {};
    const Entry &e = m_rows[size_t(index)];
    const Chunk &chunk = m_chunks[size_t(e.chunk - m_firstChunkSeq)];
    return Row{chunk.data + e.offset, qsizetype(e.size), e.arrivalMs};
}

void ReceivedStore::pin(qint64 from)
{
    const QMutexLocker locked(&m_lock);
    m_pin = qMax<qint64>(from, 0);
}

void ReceivedStore::unpin()
{
    const QMutexLocker locked(&m_lock);
    m_pin = -1;
}

qsizetype ReceivedStore::readPinned(qint64 from, qsizetype maxRows, qsizetype maxBytes, Row *out)
{
    const QMutexLocker locked(&m_lock);
    Q_ASSERT(m_pin >= 0 && from >= m_pin);
    m_pin = from;
    qsizetype n = 0;
    qsizetype bytes = 0;
    for (qint64 index = from - m_firstRowNumber; n < maxRows && index < qint64(m_rows.size()); ++index) {
        if (index < 0 || (n > 0 && bytes >= maxBytes))
            break;
        const Entry &e = m_rows[size_t(index)];
        const Chunk &chunk = m_chunks[size_t(e.chunk - m_firstChunkSeq)];
        out[n++] = Row{chunk.data + e.offset, qsizetype(e.size), e.arrivalMs};
        bytes += e.size;
    }
    return n;
}

qsizetype ReceivedStore::droppable() const
{
    if (m_pin < 0)
        return rowCount();
    return qsizetype(qBound<qint64>(0, m_pin - m_firstRowNumber, rowCount()));
}

void ReceivedStore::dropFront(qsizetype n)
{
    const QMutexLocker locked(&m_lock);
    n = qMin(n, droppable());
    if (n <= 0)
        return;
    for (qsizetype i = 0; i < n; ++i)
        m_bytes -= m_rows[size_t(i)].size;
    m_rows.erase(m_rows.begin(), m_rows.begin() + n);
    m_firstRowNumber += n;
    freeUnusedChunks();
}

void ReceivedStore::dropBack(qsizetype n)
{
    n = qMin(n, rowCount());
    if (n <= 0)
        return;
    const QMutexLocker locked(&m_lock);
    // The open row moves down over the space the rows leave: a pinned row
    // there would change under its reader.
    Q_ASSERT(droppable() == rowCount());
    const qsizetype usedBefore = m_chunks.back().used;
    for (qsizetype i = 0; i < n; ++i) {
        const Entry e = m_rows.back();
        m_rows.pop_back();
        m_bytes -= e.size;
        Chunk &chunk = m_chunks[size_t(e.chunk - m_firstChunkSeq)];
        if (e.chunk == m_firstChunkSeq + m_chunks.size() - 1)
            chunk.used = e.offset; // the space can be filled again
    }
    // The open row follows the last row down.
    Chunk &last = m_chunks.back();
    if (m_openSize > 0 && last.used != usedBefore)
        std::memmove(last.data + last.used, last.data + usedBefore, size_t(m_openSize));
    if (m_rows.empty())
        clearRows();
}

void ReceivedStore::clear()
{
    const QMutexLocker locked(&m_lock);
    Q_ASSERT(droppable() == rowCount());
    clearRows();
}

void ReceivedStore::clearRows()
{
    m_firstRowNumber += qint64(m_rows.size());
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_bytes = 0;
    // The open row stays where it is, in the last chunk; every other chunk goes.
    const size_t keep = m_openSize > 0 ? 1 : 0;
    while (m_chunks.size() > keep) {
        giveBack(std::move(m_chunks.front()));
        m_chunks.pop_front();
        ++m_firstChunkSeq;
    }
    if (keep == 0)
        return;
    // Nothing before the open row is wanted any more: it moves to the chunk's
    // start, so the chunk's space is all free again.
    Chunk &chunk = m_chunks.back();
    std::memmove(chunk.data, chunk.data + chunk.used, size_t(m_openSize));
    chunk.used = 0;
}

void ReceivedStore::freeUnusedChunks()
{
    if (m_rows.empty()) {
        clearRows();
        return;
    }
    // The last chunk may hold the open row's bytes: it always stays.
    const quint32 firstInUse = m_rows.front().chunk;
    while (m_firstChunkSeq < firstInUse && !m_chunks.empty()) {
        giveBack(std::move(m_chunks.front()));
        m_chunks.pop_front();
        ++m_firstChunkSeq;
    }
}

qsizetype ReceivedStore::rowsOverBudget(quint64 budget) const
{
    // The newest row stays whatever the budget: it is the burst just shown
    // (and just decoded). Pinned rows stay until their reader is done.
    qsizetype most = 0;
    {
        const QMutexLocker locked(&m_lock);
        most = qMin(rowCount() - 1, droppable());
    }
    quint64 bytes = m_bytes;
    qsizetype n = 0;
    while (bytes > budget && n < most) {
        bytes -= m_rows[size_t(n)].size;
        ++n;
    }
    return n;
}

quint64 ReceivedStore::overheadBytes() const
{
    quint64 capacity = 0;
    for (const Chunk &c : m_chunks)
        capacity += quint64(c.capacity);
    return quint64(m_rows.size()) * sizeof(Entry) + (capacity - m_bytes);
}

} // namespace zanto
