#pragma once

#include "protocol/result.h"
#include "widgets/receivedmodel.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTableView>
#include <QTimer>

class QLabel;
class QProgressDialog;
class QPushButton;

namespace zanto {

class RowSaveJob;

// The received-data grid: a header row ("HEX", "ASCII") and one row per burst.
// Row numbers count the header as row 0, as the receive pipeline expects.
// Appended rows reach the view in batches at most about 20 times a second; a
// row that comes after a quiet spell shows at once. While the user holds the
// view away from the newest rows (scrolled up), new rows do not move it; a
// marker tells how many came below.
class ReceivedGrid : public QTableView
{
    Q_OBJECT
public:
    static constexpr quint64 DefaultByteBudget = quint64(256) * 1024 * 1024;
    static constexpr int BatchIntervalMs = 50;

    explicit ReceivedGrid(QWidget *parent = nullptr);
    // A save still running is cancelled and waited for.
    ~ReceivedGrid() override;

    ReceivedModel *receivedModel() const { return m_model; }
    // Shows the rows of a store the receive pipeline fills (see ReceivedModel).
    void useStore(ReceivedStore *store) { m_model->useStore(store); }

    // Row count, header row included (the live row not counted).
    int rows() const;
    void setRows(int rows);
    // The first visible row (header = row 0, so data rows start at 1).
    void setTopRow(int row);
    int topRow() const;
    void setColWidth(int column, int twips);
    void setFormatString(const QString &format);
    // Copies a row in (a grid on its own).
    void addRow(const QByteArray &bytes, qint64 arrivalMs);
    // A row was appended to the store the grid shows.
    void rowAppended() { scheduleFlush(); }
    // Clears every cell, the header included. A save still running is
    // cancelled first: the rows it writes are about to go.
    void clear();

    // The burst still being gathered (the store's open row), shown as the last
    // row and refreshed at the batch rate until endLiveRow().
    void showLiveRow(qint64 firstArrivalMs);
    void endLiveRow();

    void setByteBudget(quint64 bytes) { m_budget = bytes; }
    quint64 droppedRows() const { return m_dropped; }
    // Announces pending rows now instead of at the next batch.
    void flush();

    // True while new rows leave the view where the user put it (scrolled up).
    bool holdingView() const;

    // The ground of the live row under a palette, and the contrast of two
    // colours (1 to 21) by which it is chosen: text on it stays readable.
    static QColor liveRowGround(const QPalette &palette);
    static double contrast(const QColor &a, const QColor &b);
    static constexpr double MinimumContrast = 4.5;
    // Back to the newest rows: the view follows them again.
    void followNewest();

    // The most text a copy puts on the clipboard.
    static constexpr qsizetype CopyLimitBytes = 16 * 1024 * 1024;
    static constexpr int NoticeMs = 10000;
    // How often a running save's dialog shows how far it got.
    static constexpr int SaveProgressMs = 100;

    // The selected rows as sorted, disjoint spans of row numbers (first, last).
    QList<QPair<int, int>> selectedSpans() const;
    // Copies the selected rows, one line each, up to CopyLimitBytes; a copy
    // that stops short says so in the notice.
    void copySelection();
    // Writes the selected rows (all rows when none is selected) to a file,
    // on the calling thread.
    Done saveRows(const QString &path);
    // The same on a thread of its own, behind a window-modal progress dialog
    // with Cancel ("SaveRowsProgress"); the outcome shows in the notice, a
    // failure also in a message box ("SaveRowsProblem"). Rows keep arriving
    // meanwhile; the oldest stay past the budget until the save has written
    // them.
    void startSave(const QString &path);
    bool saving() const { return m_save != nullptr; }

    // Whether lines begin with the row's arrival time and a tab: Copy's
    // (off at first: a copy is often pasted back as tag data) and the
    // save's (on at first). Both are items of the context menu.
    bool copyWithTimes() const { return m_copyTimes; }
    void setCopyWithTimes(bool on) { m_copyTimes = on; }
    bool saveWithTimes() const { return m_saveTimes; }
    void setSaveWithTimes(bool on) { m_saveTimes = on; }
    // What the grid has to tell (a copy that stopped short), while shown.
    QString notice() const;

Q_SIGNALS:
    void rowsDropped(quint64 total);
    // A batch of rows has reached the view.
    void flushed();
    // A save started with startSave() ended, whatever its outcome.
    void saveEnded();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void scheduleFlush();
    void scrollToNewest();
    void placeMarker();
    void updateMarker();
    void userMovedView();
    void showNotice(const QString &text);
    void chooseSaveFile();
    QList<QPair<qint64, qint64>> rowsToSave() const;
    void showSaveProgress();
    void endSave();

    ReceivedModel *m_model;
    QTimer m_batchTimer;
    QTimer m_liveTimer;
    QElapsedTimer m_sinceFlush;
    quint64 m_budget = DefaultByteBudget;
    quint64 m_dropped = 0;
    int m_pendingTopRow = -1;
    bool m_programScroll = false;
    bool m_userAway = false;
    qsizetype m_newBelow = 0;
    QPushButton *m_marker;
    QLabel *m_notice;
    QTimer m_noticeTimer;
    bool m_copyTimes = false;
    bool m_saveTimes = true;
    RowSaveJob *m_save = nullptr;
    QPointer<QProgressDialog> m_saveProgress;
    QTimer m_saveTimer;
};

} // namespace zanto
