#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QMutex>
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
//
// One thread owns the store (the window's): it alone adds and removes rows,
// and reads them without a lock. One other thread may read rows at the same
// time, through readPinned() only: that is how a save writes a full grid
// without holding up the window, and without a copy of the rows.
//  - Every change to the row index or the chunk list takes the lock, and so
//    does readPinned(), which copies where a batch of rows' bytes stand. The
//    lock is held for a few pointer copies on either side, never while bytes
//    are formatted or written, so neither thread waits on the other for long.
//  - A row's bytes never move or change while the row exists (rows are only
//    added behind the others), and a chunk lives as long as a row in it. So
//    the bytes can be read after the lock is let go, as long as the row is
//    not removed meanwhile: the pin keeps the rows from a given row number
//    on. The budget (dropFront(), rowsOverBudget()) stops short of them and
//    takes them once the pin moves on or goes; a save moves its pin forward
//    as it goes, so rows already written can go while it runs.
//  - Clearing the store or removing its newest rows while rows are pinned is
//    not allowed: the owner ends the reader first (Clear ends a save).
// Copying the rows for the save instead would double the memory of a full
// grid (hundreds of MiB) and stall the window for the copy.
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
    // Rows are numbered from the first the store ever held: a row keeps its
    // number while older rows go. Row `index` has number firstRowNumber() + index.
    qint64 firstRowNumber() const { return m_firstRowNumber; }

    // Keeps rows numbered `from` and later from being removed, until unpin().
    void pin(qint64 from);
    void unpin();
    // From any thread while pinned: where the bytes of up to `maxRows` rows
    // from number `from` (at least the pin) stand, stopping once `maxBytes`
    // are reached (one row at least). The pin moves to `from`: rows before it
    // are done with and may go. Returns the number of rows put in `out`.
    qsizetype readPinned(qint64 from, qsizetype maxRows, qsizetype maxBytes, Row *out);
    // Removes the first n rows (all when n exceeds the count).
    void dropFront(qsizetype n);
    void dropBack(qsizetype n);
    void clear();
    // Bytes held by the rows.
    quint64 bytes() const { return m_bytes; }
    // Rows to drop from the front so that the rows' bytes fit the budget; the
    // newest row always stays, and so do pinned rows.
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

    // Both with the lock held.
    void freeUnusedChunks();
    void clearRows();

    // Rows that may be dropped from the front now (the pin stops it); with
    // the lock held, as the reader moves the pin.
    qsizetype droppable() const;

    // Guards m_rows, m_chunks, m_firstChunkSeq, m_firstRowNumber and m_pin
    // against the reader's thread; see above.
    mutable QMutex m_lock;
    std::deque<Entry> m_rows;
    std::deque<Chunk> m_chunks;
    std::deque<Chunk> m_spare;
    quint32 m_firstChunkSeq = 0;
    qint64 m_firstRowNumber = 0;
    qint64 m_pin = -1;
    quint64 m_bytes = 0;
    qsizetype m_openSize = 0; // bytes of the open row, at the end of the last chunk
};

} // namespace zanto
