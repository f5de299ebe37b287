#include "widgets/receivedmodel.h"

#include "protocol/hexformat.h"

#include <QDateTime>

namespace zanto {

namespace {

constexpr qsizetype ToolTipHexPerLine = 32;
constexpr qsizetype ToolTipTextPerLine = 64;

QString when(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
}

} // namespace

ReceivedModel::ReceivedModel(QObject *parent)
    : QAbstractTableModel(parent)
    , m_ownStore(std::make_unique<ReceivedStore>())
    , m_store(m_ownStore.get())
{
}

ReceivedModel::~ReceivedModel() = default;

void ReceivedModel::useStore(ReceivedStore *store)
{
    beginResetModel();
    m_store = store;
    m_ownStore.reset();
    m_published = 0;
    m_live = false;
    endResetModel();
}

int ReceivedModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_published + (isLive() ? 1 : 0));
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
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (index.row() == m_published && isLive())
        return cellData(m_store->openRow(), m_liveArrivalMs, true, index.column(), role);
    const ReceivedStore::Row row = m_store->row(index.row());
    return cellData(QByteArrayView(row.data, row.size), row.arrivalMs, false, index.column(), role);
}

QVariant ReceivedModel::cellData(QByteArrayView view, qint64 arrivalMs, bool live, int column, int role) const
{
    const QByteArray bytes = QByteArray::fromRawData(view.data(), view.size());
    switch (role) {
    case Qt::DisplayRole: {
        if (live) {
            // Its end, which the delegate keeps in view: the start is older.
            if (column == 0)
                return QString::fromLatin1(hexText(bytes.right(LiveHexBytes)));
            return visibleText(displayText(bytes.right(LiveTextBytes)));
        }
        const bool more = bytes.size() > PaintedBytes;
        if (column == 0)
            return QString::fromLatin1(hexText(bytes, PaintedBytes)) + (more ? QStringLiteral(" ") + MoreMark : QString());
        return visibleText(displayText(bytes, PaintedBytes)) + (more ? QString(MoreMark) : QString());
    }
    case LiveCountRole:
        return live ? QVariant(qint64(bytes.size())) : QVariant();
    case Qt::ToolTipRole: {
        // Bounded whatever the row's length: the first bytes as hex and as
        // text, then how many there are in all.
        const QString count = bytes.size() == 1 ? tr("1 byte") : tr("%1 bytes").arg(bytes.size());
        QString tip = live ? tr("Still arriving since %1, %2 so far").arg(when(arrivalMs), count)
                           : tr("Arrived %1, %2").arg(when(arrivalMs), count);
        // A live row's tooltip shows its newest bytes, as its cells do.
        const QByteArray head = live ? bytes.right(ToolTipBytes) : bytes.left(ToolTipBytes);
        const QByteArray hex = hexText(head);
        for (qsizetype i = 0; i < head.size(); i += ToolTipHexPerLine)
            tip += QLatin1Char('\n') + QString::fromLatin1(hex.mid(i * 3, ToolTipHexPerLine * 3));
        const QString text = visibleText(displayText(head));
        for (qsizetype i = 0; i < text.size(); i += ToolTipTextPerLine)
            tip += QLatin1Char('\n') + text.mid(i, ToolTipTextPerLine);
        if (bytes.size() > head.size() && live)
            tip += QLatin1Char('\n') + tr("(the newest %1 bytes; the row is whole once the burst ends)").arg(head.size());
        else if (bytes.size() > head.size())
            tip += QLatin1Char('\n') + MoreMark
                + tr(" %1 more bytes; Copy or \"Save rows as...\" gives the whole row").arg(bytes.size() - head.size());
        return tip;
    }
    case Qt::AccessibleDescriptionRole:
        return live ? tr("still arriving") : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(m_alignments.value(column) | Qt::AlignVCenter);
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
    m_store->append(bytes, arrivalMs);
}

qsizetype ReceivedModel::publish(quint64 byteBudget)
{
    const qsizetype drop = m_store->rowsOverBudget(byteBudget);
    if (drop > 0) {
        const qsizetype announced = qMin(drop, m_published);
        if (announced > 0)
            beginRemoveRows({}, 0, int(announced - 1));
        m_store->dropFront(drop);
        m_published -= announced;
        if (announced > 0)
            endRemoveRows();
    }
    if (m_store->rowCount() > m_published) {
        // New rows go in before the live row, which stays last.
        beginInsertRows({}, int(m_published), int(m_store->rowCount() - 1));
        m_published = m_store->rowCount();
        endInsertRows();
    }
    return drop;
}

void ReceivedModel::clearRows()
{
    beginResetModel();
    m_store->clear();
    m_published = 0;
    endResetModel();
}

void ReceivedModel::truncateRows(qsizetype rows)
{
    if (rows >= m_store->rowCount())
        return;
    if (rows <= 0) {
        clearRows();
        return;
    }
    const qsizetype announcedToGo = m_published - qMin(m_published, rows);
    if (announcedToGo > 0)
        beginRemoveRows({}, int(rows), int(m_published - 1));
    m_store->dropBack(m_store->rowCount() - rows);
    m_published = qMin(m_published, rows);
    if (announcedToGo > 0)
        endRemoveRows();
}

void ReceivedModel::beginLive(qint64 firstArrivalMs)
{
    if (isLive()) {
        m_liveArrivalMs = firstArrivalMs;
        refreshLive();
        return;
    }
    beginInsertRows({}, int(m_published), int(m_published));
    m_live = true;
    m_liveArrivalMs = firstArrivalMs;
    endInsertRows();
}

void ReceivedModel::refreshLive()
{
    if (isLive())
        Q_EMIT dataChanged(index(int(m_published), 0), index(int(m_published), 1));
}

void ReceivedModel::endLive()
{
    if (!isLive())
        return;
    if (m_store->rowCount() == m_published + 1) {
        // The burst's own row stands where the live row stood: no row leaves
        // or comes, the row only changes.
        m_live = false;
        ++m_published;
        Q_EMIT dataChanged(index(int(m_published - 1), 0), index(int(m_published - 1), 1));
        return;
    }
    beginRemoveRows({}, int(m_published), int(m_published));
    m_live = false;
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
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, 1), {Qt::TextAlignmentRole});
}

void ReceivedModel::clearHeader()
{
    m_headers = QStringList{QString(), QString()};
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, 1);
}

QByteArray ReceivedModel::rowLine(qsizetype row, RowLineFormat &format) const
{
    const ReceivedStore::Row stored = m_store->row(row);
    return format.line(QByteArrayView(stored.data, stored.size), stored.arrivalMs);
}

} // namespace zanto
