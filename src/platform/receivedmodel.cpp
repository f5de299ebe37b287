#include "platform/receivedmodel.h"

#include "protocol/hexformat.h"

#include <QDateTime>

namespace zanto {

ReceivedModel::ReceivedModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int ReceivedModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_published);
}

int ReceivedModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QString ReceivedModel::visibleText(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x20)
            out.append(QChar(ControlPictureBase.unicode() + b));
        else if (b == 0x7F)
            out.append(QChar(0x2421));
        else
            out.append(QChar(b));
    }
    return out;
}

QVariant ReceivedModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_published)
        return {};
    const ReceivedStore::Row row = m_store.row(index.row());
    const QByteArray bytes = QByteArray::fromRawData(row.data, row.size);
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == 0)
            return QString::fromLatin1(hexText(bytes, PaintedBytes));
        return visibleText(displayText(bytes, PaintedBytes));
    case Qt::ToolTipRole: {
        const QString when = QDateTime::fromMSecsSinceEpoch(row.arrivalMs).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
        QString tip = row.size == 1 ? tr("Arrived %1, 1 byte").arg(when)
                                    : tr("Arrived %1, %2 bytes").arg(when).arg(row.size);
        const QString text = visibleText(displayText(bytes));
        for (qsizetype i = 0; i < text.size(); i += 100)
            tip += QLatin1Char('\n') + text.mid(i, 100);
        return tip;
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(m_alignments.value(index.column()) | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant ReceivedModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section > 1)
        return {};
    if (role == Qt::DisplayRole)
        return m_headers.value(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_alignments.value(section) | Qt::AlignVCenter);
    return {};
}

void ReceivedModel::appendRow(const QByteArray &bytes, qint64 arrivalMs)
{
    m_store.append(bytes, arrivalMs);
}

qsizetype ReceivedModel::publish(quint64 byteBudget)
{
    const qsizetype drop = m_store.rowsOverBudget(byteBudget);
    if (drop > 0) {
        const qsizetype announced = qMin(drop, m_published);
        if (announced > 0)
            beginRemoveRows({}, 0, int(announced - 1));
        m_store.dropFront(drop);
        m_published -= announced;
        if (announced > 0)
            endRemoveRows();
    }
    if (m_store.rowCount() > m_published) {
        beginInsertRows({}, int(m_published), int(m_store.rowCount() - 1));
        m_published = m_store.rowCount();
        endInsertRows();
    }
    return drop;
}

void ReceivedModel::clearRows()
{
    beginResetModel();
    m_store.clear();
    m_published = 0;
    endResetModel();
}

void ReceivedModel::truncateRows(qsizetype rows)
{
    if (rows >= m_store.rowCount())
        return;
    if (rows <= 0) {
        clearRows();
        return;
    }
    const qsizetype announcedToGo = m_published - qMin(m_published, rows);
    if (announcedToGo > 0)
        beginRemoveRows({}, int(rows), int(m_published - 1));
    m_store.dropBack(m_store.rowCount() - rows);
    m_published = qMin(m_published, rows);
    if (announcedToGo > 0)
        endRemoveRows();
}

void ReceivedModel::setFormatString(const QString &format)
{
    const QStringList parts = format.split(QLatin1Char('|'));
    for (int col = 0; col < 2; ++col) {
        QString part = parts.value(col);
        Qt::Alignment alignment = Qt::AlignLeft;
        if (part.startsWith(QLatin1Char('<'))) {
            part.remove(0, 1);
        } else if (part.startsWith(QLatin1Char('^'))) {
            alignment = Qt::AlignHCenter;
            part.remove(0, 1);
        } else if (part.startsWith(QLatin1Char('>'))) {
            alignment = Qt::AlignRight;
            part.remove(0, 1);
        }
        m_headers[col] = part;
        m_alignments[col] = alignment;
    }
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, 1);
    if (m_published > 0)
        Q_EMIT dataChanged(index(0, 0), index(int(m_published - 1), 1), {Qt::TextAlignmentRole});
}

void ReceivedModel::clearHeader()
{
    m_headers = QStringList{QString(), QString()};
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, 1);
}

QByteArray ReceivedModel::rowLine(qsizetype row) const
{
    const QByteArray bytes = m_store.row(row).bytes();
    return hexText(bytes) + '\t' + displayText(bytes);
}

} // namespace zanto
