#pragma once

#include "platform/receivedstore.h"
#include "protocol/rowline.h"

#include <QAbstractTableModel>
#include <QList>

#include <memory>

namespace zanto {

// The received rows as a two-column table: hex and text. Rows keep only their
// raw bytes; the two columns are made from them when a row is painted, and only
// from a bounded prefix, so a cell's cost does not depend on the row's length.
// Rows are appended to the store at once but announced to views in batches
// (publish()), which is what keeps a fast stream from flooding the view.
// Behind the announced rows there may be one live row: the burst still being
// gathered, shown while it grows and replaced by its own row when it ends.
class ReceivedModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr qsizetype PaintedBytes = 96;
    // The live row shows the end of its burst: the newest bytes are the read
    // happening now, or a reply inside a stream.
    static constexpr qsizetype LiveHexBytes = 32;
    static constexpr qsizetype LiveTextBytes = 128;
    // The bytes gathered so far, for the live row only.
    static constexpr int LiveCountRole = Qt::UserRole + 1;
    static constexpr qsizetype ToolTipBytes = 256;
    static constexpr QChar ControlPictureBase = QChar(0x2400);
    // Ends a cell, or a tooltip, that shows less than its row holds.
    static constexpr QChar MoreMark = QChar(0x2026);

    explicit ReceivedModel(QObject *parent = nullptr);
    ~ReceivedModel() override;

    // Shows the rows of `store` (which outlives the model) from now on, in
    // place of the store of its own.
    void useStore(ReceivedStore *store);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Rows held, announced or not (the live row not counted).
    qsizetype storedRows() const { return m_store->rowCount(); }
    qsizetype publishedRows() const { return m_published; }
    const ReceivedStore &store() const { return *m_store; }
    ReceivedStore &store() { return *m_store; }

    // Copies a row into the store (a store the receive pipeline fills has its
    // rows appended there instead).
    void appendRow(const QByteArray &bytes, qint64 arrivalMs);
    // Announces the rows appended since the last call, after dropping the
    // oldest rows beyond the byte budget. Returns the number of rows dropped.
    qsizetype publish(quint64 byteBudget);
    void clearRows();
    void truncateRows(qsizetype rows);

    // The burst being gathered (the store's open row), shown as the last row;
    // refreshLive() tells views it has grown.
    void beginLive(qint64 firstArrivalMs);
    void refreshLive();
    // The burst ended. When its row is the one row appended since the last
    // publish(), that row takes the live row's place at once.
    void endLive();
    bool isLive() const { return m_live; }

    // Header texts and alignments from a format string ("<HEX|<ASCII").
    void setFormatString(const QString &format);
    void clearHeader();

    // "hex TAB text" for a stored row, in full, after its arrival time and a
    // tab if the format has times; the text shows every byte (control
    // characters as /XX escapes), so one row is one line.
    QByteArray rowLine(qsizetype row, RowLineFormat &format) const;

    // The text column's characters as shown: control characters become their
    // Unicode pictures so they can be seen.
    static QString visibleText(const QByteArray &bytes);
    static bool isPicture(QChar c) { return (c.unicode() >= 0x2400 && c.unicode() < 0x2420) || c.unicode() == 0x2421; }

private:
    QVariant cellData(QByteArrayView bytes, qint64 arrivalMs, bool live, int column, int role) const;

    std::unique_ptr<ReceivedStore> m_ownStore;
    ReceivedStore *m_store;
    qsizetype m_published = 0;
    bool m_live = false;
    qint64 m_liveArrivalMs = 0;
    QStringList m_headers{QString(), QString()};
    QList<Qt::Alignment> m_alignments{Qt::AlignLeft, Qt::AlignLeft};
};

} // namespace zanto
