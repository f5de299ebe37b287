#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>
#include <deque>
#include <memory>

namespace zanto {

// The received rows' bytes, kept once: packed one after another in large
// chunks, with a small index entry per row (where, how long, when its first byte
// arrived). Rows leave from the front only, so a chunk is freed as soon as its
// last row is gone. The per-row cost beyond the bytes is one index entry.
//
// Behind the rows there is the open row: the burst being gathered, which the
// links read into in place (openRowSpace(), grow()) and which becomes a row,
// without being copied again, when the burst ends (closeRow()). It is no row
// until then: nothing that removes rows touches it.
class ReceivedStore
{
public:
    struct Row {
        const char *data = nullptr;
        qsizetype size = 0;
        qint64 arrivalMs = 0;
        QByteArray bytes() const { return QByteArray(data, size); }
    };

    static constexpr qsizetype ChunkSize = 4 * 1024 * 1024;

    // Space behind the open row, `*room` bytes (at least one), for rows of at
    // most `maxRow` bytes: whatever is written there and then cut into rows of
    // `maxRow` leaves an open row that can still grow to `maxRow` in place.
    // So a stream is read in large pieces, and no row ever moves.
    char *openRowSpace(qsizetype maxRow, qsizetype *room);
    // n bytes were written at the space openRowSpace() gave.
    void grow(qsizetype n);
    QByteArrayView openRow() const;
    // The open row's first `size` bytes (all of them when size < 0) become the
    // last row; what follows them stays open. An empty row is dropped.
    void closeRow(qint64 arrivalMs, qsizetype size = -1);

    void append(const char *data, qsizetype size, qint64 arrivalMs);
    void append(const QByteArray &bytes, qint64 arrivalMs) { append(bytes.constData(), bytes.size(), arrivalMs); }
    qsizetype rowCount() const { return qsizetype(m_rows.size()); }
    Row row(qsizetype index) const;
    // Removes the first n rows (all when n exceeds the count).
    void dropFront(qsizetype n);
    void dropBack(qsizetype n);
    void clear();
    // Bytes held by the rows.
    quint64 bytes() const { return m_bytes; }
    // Rows to drop from the front so that the rows' bytes fit the budget; the
    // newest row always stays.
    qsizetype rowsOverBudget(quint64 budget) const;
    // Memory held beyond the rows' own bytes (index and unused chunk space),
    // not counting the few spare chunks kept for reuse.
    quint64 overheadBytes() const;

private:
    struct Entry {
        quint32 chunk;  // sequence number of the chunk holding the bytes
        quint32 offset; // within the chunk
        quint32 size;
        qint64 arrivalMs;
    };
    struct Chunk {
        explicit Chunk(qsizetype size);
        ~Chunk();
        Chunk(Chunk &&other) noexcept;
        Chunk &operator=(Chunk &&other) noexcept;
        char *data = nullptr;
        qsizetype capacity = 0;
        qsizetype used = 0;
    };
    // Enough spare chunks for what a fast stream brings between two batches
    // of the view (which is when the oldest rows go), so a stream past the
    // budget runs in memory it already has instead of mapping more.
    static constexpr size_t SpareChunks = 16;

    Chunk takeChunk(qsizetype size);
    void giveBack(Chunk &&chunk);

    void freeUnusedChunks();

    std::deque<Entry> m_rows;
    std::deque<Chunk> m_chunks;
    std::deque<Chunk> m_spare;
    quint32 m_firstChunkSeq = 0;
    quint64 m_bytes = 0;
    qsizetype m_openSize = 0; // bytes of the open row, at the end of the last chunk
};

} // namespace zanto
