#include "widgets/receivedgrid.h"

#include "platform/memory.h"
#include "platform/rowsavejob.h"
#include "platform/textfile.h"
#include "widgets/twips.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <cmath>

namespace zanto {

namespace {

double luminance(const QColor &color)
{
    const auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

QColor mixed(const QColor &a, const QColor &b, double share)
{
    return QColor::fromRgbF(float(a.redF() * (1 - share) + b.redF() * share),
                            float(a.greenF() * (1 - share) + b.greenF() * share),
                            float(a.blueF() * (1 - share) + b.blueF() * share));
}

// Paints a row's cells. Control characters in the text column show as their
// short names in small dimmed boxes (CR, LF, TAB...), so what the reader sent
// is seen where it stands, whatever glyphs the font has. The live row (a
// burst still arriving) shows its newest bytes, kept at the right edge, with
// the count so far, in italics on a ground tinted from the palette.
class ReceivedCellDelegate : public QStyledItemDelegate
{
public:
    ReceivedCellDelegate(bool textColumn, QObject *parent)
        : QStyledItemDelegate(parent)
        , m_textColumn(textColumn)
    {
    }

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
        const QVariant liveCount = index.data(ReceivedModel::LiveCountRole);
        const bool live = liveCount.isValid();
        if (live) {
            opt.font.setItalic(true);
            opt.backgroundBrush = ReceivedGrid::liveRowGround(opt.palette);
        }
        if (!m_textColumn && !live) {
            QStyledItemDelegate::paint(painter, opt, index);
            return;
        }
        QString text = opt.text;
        opt.text.clear();
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget).adjusted(2, 0, -2, 0);
        const bool selected = opt.state & QStyle::State_Selected;
        const QColor normal = opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        const QFontMetrics fm(opt.font);
        const int baseline = area.top() + (area.height() + fm.ascent() - fm.descent()) / 2;
        painter->save();
        painter->setClipRect(area);
        painter->setFont(opt.font);
        painter->setPen(normal);
        int left = area.left();
        if (live && !m_textColumn) {
            // The count so far, then the newest bytes, their end in view.
            const QString count = QCoreApplication::translate("ReceivedGrid", "[%1 bytes so far] ")
                                      .arg(liveCount.toLongLong());
            painter->drawText(left, baseline, count);
            left += fm.horizontalAdvance(count);
            painter->drawText(left, baseline, fm.elidedText(text, Qt::ElideLeft, area.right() + 1 - left));
        } else {
            paintText(painter, opt, text, area, normal, baseline, live);
        }
        painter->restore();
    }

private:
    // A piece is one control character's box, or a run of plain text.
    struct Piece {
        QString text;
        bool box;
        int width;
    };

    void paintText(QPainter *painter, const QStyleOptionViewItem &opt, QString text, const QRect &area,
                   const QColor &normal, int baseline, bool fromEnd) const
    {
        // The model ends a cell that shows less than its row with the mark.
        const bool more = text.endsWith(ReceivedModel::MoreMark);
        if (more)
            text.chop(1);
        QColor dim = normal;
        dim.setAlphaF(0.5f);
        QFont small = opt.font;
        small.setPointSizeF(qMax(5.0, opt.font.pointSizeF() * 0.7));
        const QFontMetrics fm(opt.font);
        const QFontMetrics smallFm(small);
        const QString mark(ReceivedModel::MoreMark);
        const int markWidth = fm.horizontalAdvance(mark);
        const int limit = area.right() + 1;

        QList<Piece> pieces;
        for (qsizetype i = 0; i < text.size();) {
            const bool box = ReceivedModel::isPicture(text.at(i));
            qsizetype j = i + 1;
            while (!box && j < text.size() && !ReceivedModel::isPicture(text.at(j)))
                ++j;
            const QString piece = box ? controlName(text.at(i)) : text.mid(i, j - i);
            pieces.append({piece, box, box ? smallFm.horizontalAdvance(piece) + 5 : fm.horizontalAdvance(piece)});
            i = j;
        }

        int x = area.left();
        qsizetype first = 0;
        if (fromEnd) {
            // As many of the newest pieces as fit, behind the mark.
            int width = 0;
            for (const Piece &piece : pieces)
                width += piece.width;
            if (width > area.width()) {
                painter->setPen(normal);
                painter->setFont(opt.font);
                painter->drawText(x, baseline, mark);
                x += markWidth;
                while (first < pieces.size() && width > limit - x) {
                    width -= pieces[first].width;
                    ++first;
                }
                // A run of text cut at its front keeps as much of its end as
                // fits behind the mark already drawn: a stream without control
                // bytes is one long run.
                if (first > 0 && !pieces[first - 1].box) {
                    const QString tail =
                        fm.elidedText(pieces[first - 1].text, Qt::ElideLeft, limit - x - width + markWidth).mid(1);
                    if (!tail.isEmpty()) {
                        --first;
                        pieces[first] = {tail, false, fm.horizontalAdvance(tail)};
                        width += pieces[first].width;
                    }
                }
            }
        }
        bool cut = false;
        for (qsizetype k = first; k < pieces.size(); ++k) {
            const Piece &piece = pieces[k];
            const bool last = k + 1 == pieces.size() && !more;
            if (x + piece.width > limit - (last ? 0 : markWidth)) {
                cut = true;
                painter->setPen(normal);
                painter->setFont(opt.font);
                if (!piece.box) {
                    // As much of the run as fits, then the mark.
                    const QString fitted = fm.elidedText(piece.text, Qt::ElideRight, limit - x);
                    painter->drawText(x, baseline, fitted.endsWith(mark) ? fitted : fitted + mark);
                } else if (x + markWidth <= limit) {
                    painter->drawText(x, baseline, mark);
                }
                break;
            }
            if (piece.box) {
                const QRect frame(x, area.top() + (area.height() - smallFm.height()) / 2, piece.width - 1, smallFm.height());
                painter->setPen(dim);
                painter->setFont(small);
                painter->drawRect(frame.adjusted(0, 0, -1, -1));
                painter->drawText(frame, Qt::AlignCenter, piece.text);
            } else {
                painter->setPen(normal);
                painter->setFont(opt.font);
                painter->drawText(x, baseline, piece.text);
            }
            x += piece.width;
        }
        if (more && !cut) {
            painter->setPen(normal);
            painter->setFont(opt.font);
            painter->drawText(x, baseline, mark);
        }
    }

    bool m_textColumn;
};

} // namespace

ReceivedGrid::ReceivedGrid(QWidget *parent)
    : QTableView(parent)
    , m_model(new ReceivedModel(this))
    , m_marker(new QPushButton(this))
    , m_notice(new QLabel(this))
{
    setModel(m_model);
    setItemDelegateForColumn(0, new ReceivedCellDelegate(false, this));
    setItemDelegateForColumn(1, new ReceivedCellDelegate(true, this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab goes on to the next control, as everywhere else in the window.
    setTabKeyNavigation(false);
    setWordWrap(false);
    // Cells hold a bounded prefix, so eliding one costs little; the mark says
    // a row holds more than its cell shows.
    setTextElideMode(Qt::ElideRight);
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
    m_liveTimer.setInterval(BatchIntervalMs);
    connect(&m_liveTimer, &QTimer::timeout, m_model, &ReceivedModel::refreshLive);

    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &ReceivedGrid::userMovedView);
    m_marker->setObjectName(QStringLiteral("NewRowsBelow"));
    m_marker->setFocusPolicy(Qt::NoFocus);
    m_marker->setCursor(Qt::PointingHandCursor);
    m_marker->setToolTip(tr("Show the newest rows"));
    m_marker->hide();
    connect(m_marker, &QPushButton::clicked, this, &ReceivedGrid::followNewest);

    m_notice->setObjectName(QStringLiteral("GridNotice"));
    m_notice->setWordWrap(true);
    m_notice->setAutoFillBackground(true);
    m_notice->setFrameShape(QFrame::StyledPanel);
    m_notice->setMargin(4);
    m_notice->hide();
    m_noticeTimer.setSingleShot(true);
    m_noticeTimer.setInterval(NoticeMs);
    connect(&m_noticeTimer, &QTimer::timeout, m_notice, &QWidget::hide);

    m_saveTimer.setInterval(SaveProgressMs);
    connect(&m_saveTimer, &QTimer::timeout, this, &ReceivedGrid::showSaveProgress);
}

ReceivedGrid::~ReceivedGrid()
{
    // Before the model and its store go.
    delete m_save;
}

double ReceivedGrid::contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

QColor ReceivedGrid::liveRowGround(const QPalette &palette)
{
    // A tint of the selection colour over the cells' own ground, as long as
    // the text stays readable on it; else the palette's alternate ground, or
    // the cells' own (the italics still tell the row apart).
    const QColor text = palette.color(QPalette::Text);
    for (const QColor &ground : {mixed(palette.color(QPalette::Base), palette.color(QPalette::Highlight), 0.25),
                                 palette.color(QPalette::AlternateBase)}) {
        if (contrast(text, ground) >= MinimumContrast)
            return ground;
    }
    return palette.color(QPalette::Base);
}

int ReceivedGrid::rows() const
{
    return int(qMin<qsizetype>(m_model->storedRows(), INT_MAX - 1)) + 1;
}

void ReceivedGrid::setRows(int rows)
{
    const int wanted = qMax(rows, 1) - 1;
    if (wanted < m_model->storedRows()) {
        if (m_save) {
            m_save->cancel();
            m_save->wait();
            endSave();
        }
        m_model->truncateRows(wanted);
    } else {
        while (m_model->storedRows() < wanted)
            m_model->appendRow({}, 0);
        scheduleFlush();
    }
}

void ReceivedGrid::setTopRow(int row)
{
    // Applied by the batch that publishes the rows stored by then: the
    // receive pipeline stores a burst's row before its end is handled, so the
    // newest row and the scroll reach the view together.
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
    // The window-modal progress dialog keeps Clear from being pressed during
    // a save; this covers the moment after Cancel, when the dialog is gone
    // and the save is still removing its file.
    if (m_save) {
        m_save->cancel();
        m_save->wait();
        endSave();
    }
    m_batchTimer.stop();
    m_pendingTopRow = -1;
    m_programScroll = true;
    m_model->clearRows();
    m_model->clearHeader();
    m_programScroll = false;
    releaseFreedMemory();
    m_userAway = false;
    m_newBelow = 0;
    updateMarker();
}

void ReceivedGrid::showLiveRow(qint64 firstArrivalMs)
{
    // Asked again while the row is shown: its own timer keeps it fresh and
    // the batches keep it in view; only its time may be new.
    if (m_model->isLive()) {
        m_model->beginLive(firstArrivalMs);
        return;
    }
    const bool follow = !holdingView();
    m_programScroll = true;
    m_model->beginLive(firstArrivalMs);
    if (follow)
        scrollToNewest();
    m_programScroll = false;
    m_liveTimer.start();
}

void ReceivedGrid::endLiveRow()
{
    m_liveTimer.stop();
    m_programScroll = true;
    m_model->endLive();
    m_programScroll = false;
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

bool ReceivedGrid::holdingView() const
{
    // Only a user who scrolled away holds the view; rows selected at the
    // bottom scroll up with the rest and stay selected.
    return m_userAway;
}

void ReceivedGrid::flush()
{
    m_batchTimer.stop();
    m_sinceFlush.restart();
    const bool hold = holdingView();
    QScrollBar *bar = verticalScrollBar();
    const int heldTop = bar->value();
    const qsizetype publishedBefore = m_model->publishedRows();

    m_programScroll = true;
    const qsizetype dropped = m_model->publish(m_budget);
    const qsizetype droppedShown = qMin(dropped, publishedBefore);
    const qsizetype added = m_model->publishedRows() - (publishedBefore - droppedShown);
    if (dropped > 0) {
        m_dropped += quint64(dropped);
        if (m_pendingTopRow > 0)
            m_pendingTopRow = int(qMax<qsizetype>(1, m_pendingTopRow - dropped));
        Q_EMIT rowsDropped(m_dropped);
    }
    // The scroll bar learns of the new rows before anything scrolls.
    updateGeometries();
    if (hold) {
        // The rows the user looks at stay in place, also when the oldest
        // rows went to keep within the budget.
        bar->setValue(int(qMax<qsizetype>(0, heldTop - droppedShown)));
        m_newBelow += added;
    } else {
        if (m_pendingTopRow > 0 && m_model->publishedRows() > 0) {
            // Rows scroll by item, so the bar's value is the top row: setting
            // it costs the same whatever the number of rows.
            bar->setValue(int(qMin<qsizetype>(m_pendingTopRow - 1, m_model->publishedRows() - 1)));
        }
        scrollToNewest();
        m_newBelow = 0;
    }
    m_programScroll = false;
    m_pendingTopRow = -1;
    updateMarker();
    Q_EMIT flushed();
}

void ReceivedGrid::scrollToNewest()
{
    const int last = m_model->rowCount() - 1;
    if (last < 0)
        return;
    updateGeometries();
    // The newest row must be whole in view, not cut by the bottom edge.
    const int rowsInView = qMax(1, viewport()->height() / qMax(1, rowHeight(last)));
    QScrollBar *bar = verticalScrollBar();
    if (bar->value() + rowsInView <= last)
        bar->setValue(last - rowsInView + 1);
}

void ReceivedGrid::userMovedView()
{
    if (m_programScroll)
        return;
    const QScrollBar *bar = verticalScrollBar();
    m_userAway = bar->value() < bar->maximum();
    if (!holdingView())
        m_newBelow = 0;
    updateMarker();
}

void ReceivedGrid::followNewest()
{
    m_programScroll = true;
    updateGeometries();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    m_programScroll = false;
    m_userAway = false;
    m_newBelow = 0;
    updateMarker();
}

void ReceivedGrid::updateMarker()
{
    const bool show = holdingView() && m_newBelow > 0;
    if (show) {
        m_marker->setText(m_newBelow == 1 ? tr("\u2193 1 new row below") : tr("\u2193 %1 new rows below").arg(m_newBelow));
        m_marker->adjustSize();
        placeMarker();
    }
    m_marker->setVisible(show);
}

void ReceivedGrid::placeMarker()
{
    const QRect area = viewport()->geometry();
    m_marker->move(area.right() - m_marker->width() - 4, area.bottom() - m_marker->height() - 4);
    m_marker->raise();
}

void ReceivedGrid::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    placeMarker();
}

QList<QPair<int, int>> ReceivedGrid::selectedSpans() const
{
    // The selection's ranges, not its rows one by one: Select All on millions
    // of rows is one range.
    QList<QPair<int, int>> spans;
    if (!selectionModel())
        return spans;
    const int last = int(m_model->publishedRows()) - 1; // the live row is no row yet
    for (const QItemSelectionRange &range : selectionModel()->selection()) {
        if (range.top() <= last)
            spans.append({range.top(), qMin(range.bottom(), last)});
    }
    std::sort(spans.begin(), spans.end());
    // Ranges may overlap; each row counts once.
    QList<QPair<int, int>> merged;
    for (const auto &span : spans) {
        if (!merged.isEmpty() && span.first <= merged.last().second + 1)
            merged.last().second = qMax(merged.last().second, span.second);
        else
            merged.append(span);
    }
    return merged;
}

void ReceivedGrid::copySelection()
{
    const QList<QPair<int, int>> spans = selectedSpans();
    if (spans.isEmpty())
        return;
    qsizetype selected = 0;
    for (const auto &[first, last] : spans)
        selected += last - first + 1;
    // Bounded: a copy of a full grid would take gigabytes and hold the window
    // for seconds. What does not fit is left to "Save rows as...", which
    // writes any number of rows without holding them all.
    qsizetype copied = 0;
    {
        RowLineFormat format(m_copyTimes);
        QByteArray text;
        bool full = false;
        for (qsizetype s = 0; s < spans.size() && !full; ++s) {
            for (int row = spans[s].first; row <= spans[s].second; ++row) {
                const QByteArray line = m_model->rowLine(row, format);
                full = copied > 0 && text.size() + line.size() + 1 > CopyLimitBytes;
                if (full)
                    break;
                text += line;
                text += '\n';
                ++copied;
            }
        }
        QApplication::clipboard()->setText(QString::fromLatin1(text));
    }
    releaseFreedMemory();
    if (copied < selected) {
        showNotice(tr("Copied the first %1 of %2 selected rows (%3 MiB of text, the most a copy takes); "
                      "\"Save rows as...\" writes them all")
                       .arg(copied)
                       .arg(selected)
                       .arg(CopyLimitBytes / (1024 * 1024)));
    }
}

QList<QPair<qint64, qint64>> ReceivedGrid::rowsToSave() const
{
    QList<QPair<int, int>> spans = selectedSpans();
    if (spans.isEmpty() && m_model->publishedRows() > 0)
        spans.append({0, int(m_model->publishedRows()) - 1});
    // By row number, which stays with a row while the oldest rows go.
    const qint64 first = m_model->store().firstRowNumber();
    QList<QPair<qint64, qint64>> numbers;
    for (const auto &[from, to] : spans)
        numbers.append({first + from, first + to});
    return numbers;
}

namespace {

QList<RowSaveJob::Span> jobSpans(const QList<QPair<qint64, qint64>> &rows)
{
    QList<RowSaveJob::Span> spans;
    for (const auto &[first, last] : rows)
        spans.append({first, last});
    return spans;
}

QString shownName(const QString &path)
{
    return shownFileName(QFile::encodeName(QFileInfo(path).fileName()));
}

} // namespace

Done ReceivedGrid::saveRows(const QString &path)
{
    RowSaveJob job(&m_model->store(), jobSpans(rowsToSave()), path, m_saveTimes);
    return job.run();
}

void ReceivedGrid::chooseSaveFile()
{
    // Opened, not run in an event loop of its own: the save starts from the
    // window's event loop, never from inside a nested one that the bursts'
    // handlers and the timers also run in.
    auto *dialog = new QFileDialog(this, tr("Save rows as"), QString(), tr("Text files (*.txt);;All files (*)"));
    dialog->setObjectName(QStringLiteral("SaveRowsDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->selectFile(QStringLiteral("received.txt"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, &ReceivedGrid::startSave);
    dialog->open();
}

void ReceivedGrid::startSave(const QString &path)
{
    if (m_save || path.isEmpty())
        return;
    m_save = new RowSaveJob(&m_model->store(), jobSpans(rowsToSave()), path, m_saveTimes, this);
    m_save->setProperty("shownName", shownName(path));
    connect(m_save, &RowSaveJob::finished, this, &ReceivedGrid::endSave);

    // Window-modal: Clear and the other controls wait until the rows are
    // written, while the window still paints the rows that arrive.
    auto *progress = new QProgressDialog(this);
    progress->setObjectName(QStringLiteral("SaveRowsProgress"));
    progress->setWindowTitle(tr("Save rows"));
    progress->setCancelButtonText(tr("Cancel"));
    progress->setRange(0, 1000);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(0);
    progress->setWindowModality(Qt::WindowModal);
    connect(progress, &QProgressDialog::canceled, m_save, &RowSaveJob::cancel);
    m_saveProgress = progress;
    m_save->start();
    showSaveProgress();
    progress->show();
    m_saveTimer.start();
}

void ReceivedGrid::showSaveProgress()
{
    if (!m_save || !m_saveProgress)
        return;
    const qsizetype count = m_save->rowCount();
    const qsizetype done = m_save->rowsDone();
    const QString name = m_save->property("shownName").toString();
    const qint64 mib = m_save->bytesWritten() / (1024 * 1024);
    m_saveProgress->setLabelText(done < count || count == 0
                                     ? tr("Saving %1 rows to %2: %3 MiB written").arg(count).arg(name).arg(mib)
                                     : tr("Saving %1 rows to %2: %3 MiB written, making sure all of it is on the disk")
                                           .arg(count)
                                           .arg(name)
                                           .arg(mib));
    m_saveProgress->setValue(count > 0 ? int(qint64(done) * 1000 / count) : 0);
}

void ReceivedGrid::endSave()
{
    if (!m_save)
        return;
    m_saveTimer.stop();
    if (m_saveProgress)
        m_saveProgress->deleteLater();
    RowSaveJob *job = std::exchange(m_save, nullptr);
    disconnect(job, nullptr, this, nullptr);
    const Done &result = job->result();
    if (result) {
        showNotice(tr("Saved %1 rows to %2").arg(job->rowCount()).arg(job->property("shownName").toString()));
    } else {
        showNotice(result.error());
        if (!job->cancelled()) {
            // Opened, not run: this returns now, whatever the user does with it.
            auto *box = new QMessageBox(QMessageBox::Warning, tr("Save rows"), result.error(), QMessageBox::Ok, this);
            box->setObjectName(QStringLiteral("SaveRowsProblem"));
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        }
    }
    job->deleteLater();
    // The rows the save kept past the budget may go now.
    scheduleFlush();
    Q_EMIT saveEnded();
}

QString ReceivedGrid::notice() const
{
    return m_notice->isVisibleTo(this) ? m_notice->text() : QString();
}

void ReceivedGrid::showNotice(const QString &text)
{
    m_notice->setText(text);
    m_notice->setToolTip(text);
    m_notice->setFixedWidth(qMax(100, viewport()->width() - 8));
    m_notice->adjustSize();
    m_notice->move(viewport()->geometry().left() + 4, viewport()->geometry().top() + 4);
    m_notice->raise();
    m_notice->show();
    m_noticeTimer.start();
}

void ReceivedGrid::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape && selectionModel()->hasSelection()) {
        clearSelection();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void ReceivedGrid::contextMenuEvent(QContextMenuEvent *event)
{
    // Popped up, not run in an event loop of its own: its items run from the
    // window's event loop, and it deletes itself once closed.
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("GridMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction *copy = menu->addAction(tr("&Copy"), this, &ReceivedGrid::copySelection);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(selectionModel()->hasSelection());
    QAction *save = menu->addAction(tr("&Save rows as..."), this, &ReceivedGrid::chooseSaveFile);
    save->setEnabled(!saving());
    menu->addSeparator();
    QAction *copyTimes = menu->addAction(tr("Copy &with arrival times"));
    copyTimes->setObjectName(QStringLiteral("CopyWithTimes"));
    copyTimes->setCheckable(true);
    copyTimes->setChecked(m_copyTimes);
    connect(copyTimes, &QAction::toggled, this, &ReceivedGrid::setCopyWithTimes);
    QAction *saveTimes = menu->addAction(tr("Save rows with arrival &times"));
    saveTimes->setObjectName(QStringLiteral("SaveWithTimes"));
    saveTimes->setCheckable(true);
    saveTimes->setChecked(m_saveTimes);
    connect(saveTimes, &QAction::toggled, this, &ReceivedGrid::setSaveWithTimes);
    menu->popup(event->globalPos());
}

} // namespace zanto
