#include "platform/receivedgrid.h"

#include "platform/textfile.h"
#include "platform/twips.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace zanto {

namespace {

// Paints the text column with every control character as its short name in a
// small dimmed box (CR, LF, TAB...), so what the reader sent is seen where it
// stands, whatever glyphs the font has.
class ReceivedTextDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static QString controlName(QChar picture)
    {
        static const char *const names[] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS", "TAB", "LF",
                                            "VT", "FF", "CR", "SO", "SI", "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
                                            "SYN", "ETB", "CAN", "EM", "SUB", "ESC", "FS", "GS", "RS", "US"};
        const ushort code = picture.unicode() - ReceivedModel::ControlPictureBase.unicode();
        return code < 32 ? QLatin1String(names[code]) : QStringLiteral("DEL");
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget).adjusted(2, 0, -2, 0);
        const bool selected = opt.state & QStyle::State_Selected;
        const QColor normal = opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        QColor dim = normal;
        dim.setAlphaF(0.5f);
        QFont small = opt.font;
        small.setPointSizeF(qMax(5.0, opt.font.pointSizeF() * 0.7));
        const QFontMetrics fm(opt.font);
        const QFontMetrics smallFm(small);
        painter->save();
        painter->setClipRect(area);
        int x = area.left();
        const int baseline = area.top() + (area.height() + fm.ascent() - fm.descent()) / 2;
        qsizetype i = 0;
        while (i < text.size() && x < area.right()) {
            if (ReceivedModel::isPicture(text.at(i))) {
                const QString name = controlName(text.at(i));
                const int w = smallFm.horizontalAdvance(name) + 4;
                const QRect box(x, area.top() + (area.height() - smallFm.height()) / 2, w, smallFm.height());
                painter->setPen(dim);
                painter->setFont(small);
                painter->drawRect(box.adjusted(0, 0, -1, -1));
                painter->drawText(box, Qt::AlignCenter, name);
                x += w + 1;
                ++i;
                continue;
            }
            qsizetype j = i;
            while (j < text.size() && !ReceivedModel::isPicture(text.at(j)))
                ++j;
            const QString run = text.mid(i, j - i);
            painter->setPen(normal);
            painter->setFont(opt.font);
            painter->drawText(x, baseline, run);
            x += fm.horizontalAdvance(run);
            i = j;
        }
        painter->restore();
    }
};

} // namespace

ReceivedGrid::ReceivedGrid(QWidget *parent)
    : QTableView(parent)
    , m_model(new ReceivedModel(this))
{
    setModel(m_model);
    setItemDelegateForColumn(1, new ReceivedTextDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    // Cells hold a bounded prefix already; eliding it would lay out every
    // character again at each paint.
    setTextElideMode(Qt::ElideNone);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    // One fixed height for every row: nothing is measured per row.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_batchTimer.setSingleShot(true);
    connect(&m_batchTimer, &QTimer::timeout, this, &ReceivedGrid::flush);
}

int ReceivedGrid::rows() const
{
    return int(qMin<qsizetype>(m_model->storedRows(), INT_MAX - 1)) + 1;
}

void ReceivedGrid::setRows(int rows)
{
    const int wanted = qMax(rows, 1) - 1;
    if (wanted < m_model->storedRows()) {
        m_model->truncateRows(wanted);
    } else {
        while (m_model->storedRows() < wanted)
            m_model->appendRow({}, 0);
        scheduleFlush();
    }
}

void ReceivedGrid::setTopRow(int row)
{
    m_pendingTopRow = row;
    scheduleFlush();
}

int ReceivedGrid::topRow() const
{
    const int first = rowAt(0);
    return first < 0 ? 1 : first + 1;
}

void ReceivedGrid::setColWidth(int column, int twipsWidth)
{
    setColumnWidth(column, twips(twipsWidth));
}

int ReceivedGrid::colWidth(int column) const
{
    return columnWidth(column) * 15;
}

void ReceivedGrid::setFormatString(const QString &format)
{
    m_model->setFormatString(format);
}

void ReceivedGrid::addRow(const QByteArray &bytes, qint64 arrivalMs)
{
    m_model->appendRow(bytes, arrivalMs);
    scheduleFlush();
}

void ReceivedGrid::clear()
{
    m_batchTimer.stop();
    m_pendingTopRow = -1;
    m_model->clearRows();
    m_model->clearHeader();
}

void ReceivedGrid::scheduleFlush()
{
    if (m_batchTimer.isActive())
        return;
    const qint64 since = m_sinceFlush.isValid() ? m_sinceFlush.elapsed() : BatchIntervalMs;
    if (since >= BatchIntervalMs)
        flush();
    else
        m_batchTimer.start(int(BatchIntervalMs - since));
}

void ReceivedGrid::flush()
{
    m_batchTimer.stop();
    m_sinceFlush.restart();
    const qsizetype dropped = m_model->publish(m_budget);
    if (dropped > 0) {
        m_dropped += quint64(dropped);
        if (m_pendingTopRow > 0)
            m_pendingTopRow = int(qMax<qsizetype>(1, m_pendingTopRow - dropped));
        Q_EMIT rowsDropped(m_dropped);
    }
    if (m_pendingTopRow > 0 && m_model->publishedRows() > 0) {
        const int dataRow = int(qMin<qsizetype>(m_pendingTopRow - 1, m_model->publishedRows() - 1));
        // Rows scroll by item, so the bar's value is the top row: setting it costs
        // the same whatever the number of rows. The bar learns of the new rows
        // first.
        updateGeometries();
        verticalScrollBar()->setValue(dataRow);
    }
    m_pendingTopRow = -1;
    Q_EMIT flushed();
}

QList<int> ReceivedGrid::selectedRowNumbers() const
{
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex &index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QByteArray ReceivedGrid::linesForRows(const QList<int> &rows, const QByteArray &lineEnd) const
{
    QByteArray out;
    for (int row : rows) {
        if (row < 0 || row >= m_model->storedRows())
            continue;
        out += m_model->rowLine(row);
        out += lineEnd;
    }
    return out;
}

void ReceivedGrid::copySelection() const
{
    const QList<int> rows = selectedRowNumbers();
    if (rows.isEmpty())
        return;
    QApplication::clipboard()->setText(QString::fromLatin1(linesForRows(rows, "\n")));
}

QString ReceivedGrid::saveRows(const QString &path) const
{
    QList<int> rows = selectedRowNumbers();
    if (rows.isEmpty()) {
        for (int i = 0; i < m_model->publishedRows(); ++i)
            rows.append(i);
    }
    QList<QByteArray> lines;
    for (int row : rows)
        lines.append(m_model->rowLine(row));
    return writeLineFile(path, lines);
}

void ReceivedGrid::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void ReceivedGrid::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copy = menu.addAction(tr("Copy"), this, &ReceivedGrid::copySelection);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(!selectedRowNumbers().isEmpty());
    menu.addAction(tr("Save rows as..."), this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, tr("Save rows as"), QStringLiteral("received.txt"),
                                                          tr("Text files (*.txt);;All files (*)"));
        if (path.isEmpty())
            return;
        const QString problem = saveRows(path);
        if (!problem.isEmpty())
            QMessageBox::warning(this, tr("Save rows"), problem);
    });
    menu.exec(event->globalPos());
}

} // namespace zanto
