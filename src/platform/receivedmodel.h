#pragma once

#include "platform/receivedstore.h"

#include <QAbstractTableModel>
#include <QList>

namespace zanto {

// The received rows as a two-column table: hex and text. Rows keep only their
// raw bytes; the two columns are made from them when a row is painted, and only
// from a bounded prefix, so a cell's cost does not depend on the row's length.
// Rows are appended to the store at once but announced to views in batches
// (publish()), which is what keeps a fast stream from flooding the view.
class ReceivedModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr qsizetype PaintedBytes = 96;
    static constexpr QChar ControlPictureBase = QChar(0x2400);

    explicit ReceivedModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Rows held, announced or not.
    qsizetype storedRows() const { return m_store.rowCount(); }
    qsizetype publishedRows() const { return m_published; }
    const ReceivedStore &store() const { return m_store; }

    void appendRow(const QByteArray &bytes, qint64 arrivalMs);
    // Announces the rows appended since the last call, after dropping the
    // oldest rows beyond the byte budget. Returns the number of rows dropped.
    qsizetype publish(quint64 byteBudget);
    void clearRows();
    void truncateRows(qsizetype rows);

    // Header texts and alignments from a format string ("<HEX|<ASCII").
    void setFormatString(const QString &format);
    void clearHeader();

    // "hex TAB text" for a row, in full; the text without code 0.
    QByteArray rowLine(qsizetype row) const;

    // The text column's characters as shown: control characters become their
    // Unicode pictures so they can be seen.
    static QString visibleText(const QByteArray &bytes);
    static bool isPicture(QChar c) { return (c.unicode() >= 0x2400 && c.unicode() < 0x2420) || c.unicode() == 0x2421; }

private:
    ReceivedStore m_store;
    qsizetype m_published = 0;
    QStringList m_headers{QString(), QString()};
    QList<Qt::Alignment> m_alignments{Qt::AlignLeft, Qt::AlignLeft};
};

} // namespace zanto
