#include "platform/receivedstore.h"

#include <cstdlib>
#include <cstring>
#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace zanto {

namespace {

constexpr size_t HugePage = 2 * 1024 * 1024;

// Chunk memory is asked for in huge pages where the system offers them: a
// stream fills hundreds of MiB, and touching them page by page costs more
// than copying the bytes.
char *allocateChunk(qsizetype capacity)
{
    void *p = nullptr;
    if (posix_memalign(&p, HugePage, size_t(capacity)) != 0)
        throw std::bad_alloc();
#ifdef Q_OS_LINUX
    madvise(p, size_t(capacity), MADV_HUGEPAGE);
#endif
    return static_cast<char *>(p);
}

} // namespace

void ReceivedStore::FreeChunk::operator()(char *p) const
{
    std::free(p);
}

void ReceivedStore::append(const char *data, qsizetype size, qint64 arrivalMs)
{
    if (m_chunks.empty() || m_chunks.back().capacity - m_chunks.back().used < size) {
        Chunk chunk;
        chunk.capacity = qMax(ChunkSize, size);
        // The chunk's pages are touched only as rows fill them.
        chunk.data.reset(allocateChunk(chunk.capacity));
        m_chunks.push_back(std::move(chunk));
    }
    Chunk &chunk = m_chunks.back();
    if (size > 0)
        std::memcpy(chunk.data.get() + chunk.used, data, size_t(size));
    const auto seq = quint32(m_firstChunkSeq + m_chunks.size() - 1);
    m_rows.push_back(Entry{seq, quint32(chunk.used), quint32(size), arrivalMs});
    chunk.used += size;
    m_bytes += quint64(size);
}

ReceivedStore::Row ReceivedStore::row(qsizetype index) const
{
    if (index < 0 || index >= rowCount())
        return {};
    const Entry &e = m_rows[size_t(index)];
    const Chunk &chunk = m_chunks[size_t(e.chunk - m_firstChunkSeq)];
    return Row{chunk.data.get() + e.offset, qsizetype(e.size), e.arrivalMs};
}

void ReceivedStore::dropFront(qsizetype n)
{
    n = qMin(n, rowCount());
    if (n <= 0)
        return;
    for (qsizetype i = 0; i < n; ++i)
        m_bytes -= m_rows[size_t(i)].size;
    m_rows.erase(m_rows.begin(), m_rows.begin() + n);
    freeUnusedChunks();
}

void ReceivedStore::dropBack(qsizetype n)
{
    n = qMin(n, rowCount());
    for (qsizetype i = 0; i < n; ++i) {
        const Entry e = m_rows.back();
        m_rows.pop_back();
        m_bytes -= e.size;
        Chunk &chunk = m_chunks[size_t(e.chunk - m_firstChunkSeq)];
        if (e.chunk == m_firstChunkSeq + m_chunks.size() - 1)
            chunk.used = e.offset; // the space can be filled again
    }
    if (m_rows.empty())
        clear();
}

void ReceivedStore::clear()
{
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_firstChunkSeq += quint32(m_chunks.size());
    m_chunks.clear();
    m_bytes = 0;
}

void ReceivedStore::freeUnusedChunks()
{
    if (m_rows.empty()) {
        clear();
        return;
    }
    const quint32 firstInUse = m_rows.front().chunk;
    while (m_firstChunkSeq < firstInUse && !m_chunks.empty()) {
        m_chunks.pop_front();
        ++m_firstChunkSeq;
    }
}

qsizetype ReceivedStore::rowsOverBudget(quint64 budget) const
{
    quint64 bytes = m_bytes;
    qsizetype n = 0;
    while (bytes > budget && n < rowCount()) {
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
