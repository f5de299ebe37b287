// The received-data grid: rows keep their bytes once, columns are made on
// demand, old rows go when the byte budget is passed, and copies give the raw
// characters.
#include "widgets/receivedgrid.h"
#include "widgets/twips.h"
#include "platform/receivedstore.h"
#include "protocol/tagdata.h"
#include "support/testdir.h"
#include "support/ui.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <ctime>

using namespace zanto;

namespace {

// Bytes of a burst still arriving, read into the store's open row as a link
// reads them.
void arrive(ReceivedStore &store, const QByteArray &bytes)
{
    qsizetype room = 0;
    char *space = store.openRowSpace(32767, &room);
    std::copy(bytes.cbegin(), bytes.cend(), space);
    store.grow(bytes.size());
}

} // namespace

class TestReceivedGrid : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void budgetDropsOldestRows();
    void pinnedRowsOutlastTheBudget();
    void storeFreesChunksAndKeepsBytes();
    void batchesReachTheViewTogether();
    void rowsAndClear();
    void copyAndSaveGiveOneLineARow();
    void arrivalTimesChosenInTheMenu_data();
    void arrivalTimesChosenInTheMenu();
    void tooltipTellsTimeAndCount();
    void copyIsBounded();
    void rowTextEscapes_data();
    void rowTextEscapes();
    void controlBytesShowAsBoxes();
    void menuItemsFollowTheSelection();
    void liveRowShowsItsNewestBytes_data();
    void liveRowShowsItsNewestBytes();
    void liveRowGroundStaysReadable_data();
    void liveRowGroundStaysReadable();
    void escapeDropsTheSelection();
    void liveRowIsRefreshedAsItGrows();
};

void TestReceivedGrid::initTestCase()
{
    // Arrival times show in local time: a zone of its own, half an hour off.
    qputenv("TZ", "ZZT-5:30");
    tzset();
}

void TestReceivedGrid::budgetDropsOldestRows()
{
    {
        // Unless told otherwise the grid keeps 256 MiB: 100 rows of 32767
        // bytes all stay.
        ReceivedGrid grid;
        for (int i = 0; i < 100; ++i)
            grid.addRow(QByteArray(32767, 'x'), i);
        grid.flush();
        QCOMPARE(grid.rows(), 101);
        QCOMPARE(grid.droppedRows(), quint64(0));
    }
    ReceivedGrid grid;
    QAbstractItemModelTester tester(grid.receivedModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    grid.setByteBudget(1000);
    for (int i = 0; i < 25; ++i)
        grid.addRow(QByteArray(100, char('a' + i)), i);
    grid.flush();
    // 25 rows of 100 bytes in a budget of 1000: the 10 newest stay.
    QCOMPARE(grid.rows(), 11);
    QCOMPARE(grid.droppedRows(), quint64(15));
    QCOMPARE(grid.receivedModel()->store().row(0).bytes(), QByteArray(100, char('a' + 15)));
    QCOMPARE(grid.receivedModel()->store().bytes(), quint64(1000));
    grid.addRow(QByteArray(100, 'z'), 99);
    grid.flush();
    QCOMPARE(grid.rows(), 11);
    QCOMPARE(grid.droppedRows(), quint64(16));
    QCOMPARE(grid.receivedModel()->store().row(9).bytes(), QByteArray(100, 'z'));
}

// A save reading the rows keeps them, from its pin on, past the budget; the
// pin moves as it reads, and once it goes the budget takes the rest.
void TestReceivedGrid::pinnedRowsOutlastTheBudget()
{
    ReceivedStore store;
    for (int i = 0; i < 10; ++i)
        store.append(QByteArray(100, char('a' + i)), i);
    store.dropFront(2); // rows 'c' to 'j' stay, numbered 2 to 9
    QCOMPARE(store.firstRowNumber(), 2);
    store.pin(4);
    QCOMPARE(store.rowsOverBudget(300), 2); // 'c' and 'd' only
    store.dropFront(5);
    QCOMPARE(store.rowCount(), 6);
    QCOMPARE(store.firstRowNumber(), 4);

    ReceivedStore::Row rows[8];
    // From row 6, at most 3 rows, stopping once 150 bytes are reached.
    QCOMPARE(store.readPinned(6, 3, 150, rows), 2);
    QCOMPARE(rows[0].bytes(), QByteArray(100, 'g'));
    QCOMPARE(rows[1].bytes(), QByteArray(100, 'h'));
    QCOMPARE(rows[1].arrivalMs, 7);
    // The pin moved to row 6: rows 4 and 5 may go, the ones read may not.
    QCOMPARE(store.rowsOverBudget(100), 2);
    store.dropFront(6);
    QCOMPARE(store.firstRowNumber(), 6);
    QCOMPARE(rows[0].bytes(), QByteArray(100, 'g'));
    QCOMPARE(store.readPinned(8, 8, 1000, rows), 2);
    QCOMPARE(rows[1].bytes(), QByteArray(100, 'j'));
    store.unpin();
    QCOMPARE(store.rowsOverBudget(100), 3);
}

void TestReceivedGrid::storeFreesChunksAndKeepsBytes()
{
    ReceivedStore store;
    const QByteArray row(32767, 'r');
    const qsizetype perChunk = ReceivedStore::ChunkSize / row.size();
    for (qsizetype i = 0; i < perChunk * 3; ++i)
        store.append(row, i);
    QCOMPARE(store.rowCount(), perChunk * 3);
    const quint64 before = store.overheadBytes();
    store.dropFront(perChunk * 2);
    QCOMPARE(store.row(0).arrivalMs, perChunk * 2);
    QCOMPARE(store.row(0).bytes(), row);
    // Two whole chunks gone: the unused space left behind is at most one chunk.
    QVERIFY(store.overheadBytes() < before);
    QVERIFY(store.overheadBytes() < quint64(ReceivedStore::ChunkSize));
    store.dropFront(1000000);
    QCOMPARE(store.rowCount(), 0);
    QCOMPARE(store.bytes(), quint64(0));
    store.append("again", 1);
    QCOMPARE(store.row(0).bytes(), QByteArray("again"));
}

void TestReceivedGrid::batchesReachTheViewTogether()
{
    ReceivedGrid grid;
    QAbstractItemModelTester tester(grid.receivedModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    grid.addRow("first", 1); // after a quiet spell: shown at once
    QCOMPARE(grid.model()->rowCount(), 1);
    for (int i = 0; i < 500; ++i)
        grid.addRow(QByteArray::number(i), i);
    // The grid counts every row at once; the view hears of them in a batch.
    QCOMPARE(grid.rows(), 502);
    QVERIFY(grid.model()->rowCount() < 501);
    QTRY_COMPARE(grid.model()->rowCount(), 501);
}

void TestReceivedGrid::rowsAndClear()
{
    ReceivedGrid grid;
    grid.setFormatString(QStringLiteral("<HEX|<ASCII"));
    QCOMPARE(grid.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("HEX"));
    QCOMPARE(grid.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("ASCII"));
    QCOMPARE(grid.model()->headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
             Qt::Alignment(Qt::AlignLeft));
    for (int i = 0; i < 5; ++i)
        grid.addRow("x", i);
    grid.flush();
    // Header and cells alike take the column's alignment.
    grid.setFormatString(QStringLiteral(">A|^B"));
    const auto alignment = [&grid](const QVariant &v) { return v.value<Qt::Alignment>() & Qt::AlignHorizontal_Mask; };
    QCOMPARE(alignment(grid.model()->headerData(0, Qt::Horizontal, Qt::TextAlignmentRole)), Qt::AlignRight);
    QCOMPARE(alignment(grid.model()->headerData(1, Qt::Horizontal, Qt::TextAlignmentRole)), Qt::AlignHCenter);
    QCOMPARE(alignment(grid.model()->index(4, 0).data(Qt::TextAlignmentRole)), Qt::AlignRight);
    QCOMPARE(alignment(grid.model()->index(4, 1).data(Qt::TextAlignmentRole)), Qt::AlignHCenter);
    QCOMPARE(grid.rows(), 6);
    grid.setRows(3);
    QCOMPARE(grid.rows(), 3);
    grid.clear();
    QCOMPARE(grid.model()->headerData(0, Qt::Horizontal).toString(), QString());
    grid.setRows(1);
    QCOMPARE(grid.rows(), 1);
    grid.setColWidth(0, 7000);
    QCOMPARE(grid.columnWidth(0), twips(7000));
}

void TestReceivedGrid::copyAndSaveGiveOneLineARow()
{
    TestDir dir;
    ReceivedGrid grid;
    grid.addRow(QByteArray("A\tB\x00\r", 5), 0);
    grid.addRow("second", 0);
    grid.addRow("third", 0);
    grid.flush();
    // One line a row: the text part shows control characters as /XX.
    const QByteArray first = " 41 09 42 00 0D\tA/09B/00/0D";
    grid.selectRow(0);
    grid.copySelection();
    QCOMPARE(QApplication::clipboard()->text().toLatin1(), first + "\n");
    grid.selectionModel()->select(grid.model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    grid.copySelection();
    QCOMPARE(QApplication::clipboard()->text().toLatin1(), first + "\n 74 68 69 72 64\tthird\n");
    grid.setSaveWithTimes(false);
    QVERIFY(grid.saveRows(dir.filePath(QStringLiteral("rows.txt"))));
    QCOMPARE(dir.read(QStringLiteral("rows.txt")), first + "\r\n 74 68 69 72 64\tthird\r\n");
    grid.clearSelection();
    QVERIFY(grid.saveRows(dir.filePath(QStringLiteral("all.txt"))));
    QCOMPARE(dir.read(QStringLiteral("all.txt")).count("\r\n"), 3);
    QVERIFY(!grid.saveRows(dir.filePath(QStringLiteral("no/such/dir.txt"))));
}

void TestReceivedGrid::arrivalTimesChosenInTheMenu_data()
{
    QTest::addColumn<QList<Qt::Key>>("items"); // context menu items chosen, by their letters
    QTest::addColumn<QByteArray>("copied");
    QTest::addColumn<QByteArray>("saved");
    const QByteArray plain = " 41 0D\tA/0D\n 2F 34 31\t/2F41\n";
    const QByteArray timed = "2026-12-07T10:20:30.456+05:30\t 41 0D\tA/0D\n"
                             "2026-12-07T10:20:31.007+05:30\t 2F 34 31\t/2F41\n";
    QTest::newRow("as at start: copy without, save with") << QList<Qt::Key>{} << plain << QByteArray(timed).replace("\n", "\r\n");
    QTest::newRow("both with") << QList<Qt::Key>{Qt::Key_W} << timed << QByteArray(timed).replace("\n", "\r\n");
    QTest::newRow("both without") << QList<Qt::Key>{Qt::Key_T} << plain << QByteArray(plain).replace("\n", "\r\n");
    QTest::newRow("on and off again") << QList<Qt::Key>{Qt::Key_W, Qt::Key_T, Qt::Key_W, Qt::Key_T} << plain
                                      << QByteArray(timed).replace("\n", "\r\n");
}

// Copy and Save rows put the row's arrival time first when their item in the
// grid's context menu is checked.
void TestReceivedGrid::arrivalTimesChosenInTheMenu()
{
    QFETCH(QList<Qt::Key>, items);
    QFETCH(QByteArray, copied);
    QFETCH(QByteArray, saved);
    TestDir dir;
    ReceivedGrid grid;
    grid.resize(600, 300);
    const qint64 at = 1796619030456; // 2026-12-07 04:50:30.456 UTC
    grid.addRow("A\r", at);
    grid.addRow("/41", at + 551);
    grid.flush();
    for (Qt::Key item : items) {
        QMenu *menu = ui::contextMenu(grid.viewport(), {10, 10});
        QVERIFY(menu);
        QTest::keyClick(menu, item);
        QTRY_VERIFY(!QApplication::activePopupWidget());
    }
    QTest::keyClick(&grid, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text().toLatin1(), copied);
    QVERIFY(grid.saveRows(dir.filePath(QStringLiteral("rows.txt"))));
    QCOMPARE(dir.read(QStringLiteral("rows.txt")), saved);
}

void TestReceivedGrid::tooltipTellsTimeAndCount()
{
    ReceivedGrid grid;
    const qint64 when = QDateTime(QDate(2026, 12, 7), QTime(10, 20, 30, 456)).toMSecsSinceEpoch();
    grid.addRow(QByteArray(40000, 'q'), when);
    grid.flush();
    const QString tip = grid.model()->data(grid.model()->index(0, 1), Qt::ToolTipRole).toString();
    QVERIFY2(tip.startsWith(QStringLiteral("Arrived 2026-12-07 10:20:30.456, 40000 bytes")), qPrintable(tip.left(80)));
    // Bounded: the first 256 bytes as hex and as text, then what is left.
    QCOMPARE(tip.count(QLatin1Char('q')), 256);
    QCOMPARE(tip.count(QStringLiteral(" 71")), 256);
    QVERIFY2(tip.contains(QStringLiteral("39744 more bytes")), qPrintable(tip.right(90)));
    // 32 bytes of hex a line and 64 characters of text a line: 8 and 4 lines
    // after the first, then the one that tells the rest.
    const QStringList tipLines = tip.split(QLatin1Char('\n'));
    QCOMPARE(tipLines.size(), 1 + 8 + 4 + 1);
    QCOMPARE(tipLines.at(1), QString(" 71").repeated(32));
    QCOMPARE(tipLines.at(9), QString(64, 'q'));
    // A cell is a bounded prefix whatever the row's length, and says that
    // the row holds more; a row that fits has no mark.
    QCOMPARE(grid.model()->data(grid.model()->index(0, 0)).toString(), QString(" 71").repeated(96) + QString::fromUtf8(" \u2026"));
    QCOMPARE(grid.model()->data(grid.model()->index(0, 1)).toString(), QString(96, 'q') + QString::fromUtf8("\u2026"));
    grid.addRow(QByteArray(96, 'r'), when);
    grid.addRow("\r", when);
    grid.flush();
    QCOMPARE(grid.model()->data(grid.model()->index(1, 1)).toString(), QString(96, 'r'));
    QCOMPARE(grid.model()->data(grid.model()->index(2, 1), Qt::ToolTipRole).toString(),
             QString::fromUtf8("Arrived 2026-12-07 10:20:30.456, 1 byte\n 0D\n\u240D"));
}

// Select All and Copy on a grid filled past its budget copies what fits in
// 16 MiB of text, whole rows only, and says how to get the rest.
void TestReceivedGrid::copyIsBounded()
{
    ReceivedGrid grid;
    grid.setByteBudget(8 * 1024 * 1024);
    for (int i = 0; i < 300; ++i)
        grid.addRow(QByteArray(32767, char('a' + i % 26)), i);
    grid.flush();
    QCOMPARE(grid.model()->rowCount(), 256); // 8 MiB of 32767-byte rows
    QTest::keyClick(&grid, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    const QString copied = QApplication::clipboard()->text();
    QVERIFY(copied.size() <= 16 * 1024 * 1024);
    const QStringList lines = copied.split('\n');
    QCOMPARE(lines.size(), 128 + 1); // 128 whole lines of 131,069 characters, and after the last LF nothing
    // The oldest row kept is the 45th received ('a' + 44 % 26 = 's').
    QCOMPARE(lines.first(), QString(" 73").repeated(32767) + '\t' + QString(32767, 's'));
    QCOMPARE(lines.last(), QString());
    QCOMPARE(grid.notice(), QStringLiteral("Copied the first 128 of 256 selected rows (16 MiB of text, the most a copy "
                                           "takes); \"Save rows as...\" writes them all"));
    // Over the top of the rows, inside the view, the whole message shown.
    const auto *label = grid.findChild<QLabel *>(QStringLiteral("GridNotice"));
    QVERIFY(label);
    const QRect view = grid.viewport()->geometry();
    QVERIFY(view.contains(label->geometry()) && label->geometry().top() < view.center().y());
    // The notice goes by itself after ten seconds.
    QTest::qWait(8000);
    QVERIFY(!grid.notice().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(grid.notice().isEmpty(), 5000);
}

void TestReceivedGrid::rowTextEscapes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("CR LF") << QByteArray("10\r\n") << QByteArray("10/0D/0A");
    QTest::newRow("NUL, TAB, DEL") << QByteArray("\x00\t\x7F", 3) << QByteArray("/00/09/7F");
    QTest::newRow("C1 escaped, Latin-1 kept") << QByteArray("\x85\x9F\xA0\xE9") << QByteArray("/85/9F\xA0\xE9");
    QTest::newRow("slash before hex digits") << QByteArray("/41") << QByteArray("/2F41");
    QTest::newRow("plain slashes") << QByteArray("a/4 /4x //ab /") << QByteArray("a/4 /4x //ab /");
    QTest::newRow("slash, slash, hex") << QByteArray("//41") << QByteArray("//2F41");
}

// A row's text part shows every byte, and read back as tag data it gives the
// row's bytes again.
void TestReceivedGrid::rowTextEscapes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, text);
    ReceivedGrid grid;
    grid.addRow(bytes, 0);
    grid.flush();
    const auto copiedRow = [&grid](int row) {
        grid.clearSelection();
        grid.selectRow(row);
        grid.copySelection();
        return QApplication::clipboard()->text().toLatin1().chopped(1); // its line end
    };
    const QByteArray line = copiedRow(0);
    QCOMPARE(line.mid(line.indexOf('\t') + 1), text);
    QCOMPARE(parseTagData(text), bytes);
    QByteArray all;
    for (int b = 255; b >= 0; --b)
        all += char(b);
    all += "/FF/0";
    grid.addRow(all, 0);
    grid.flush();
    const QByteArray allLine = copiedRow(1);
    QCOMPARE(parseTagData(allLine.mid(allLine.indexOf('\t') + 1)), all);
}


// Each byte's text cell: control bytes (00 to 1F and 7F) are painted as named
// boxes, every other byte as its character; NUL shows nothing.
void TestReceivedGrid::controlBytesShowAsBoxes()
{
    ReceivedGrid grid;
    for (int b = 0; b < 256; ++b)
        grid.addRow(QByteArray(1, char(b)), b);
    grid.flush();
    QCOMPARE(grid.model()->data(grid.model()->index(0, 1)).toString(), QString());
    for (int b = 1; b < 256; ++b) {
        const QString text = grid.model()->data(grid.model()->index(b, 1)).toString();
        QVERIFY2(text.size() == 1, qPrintable(QString::number(b, 16)));
        const bool control = b < 0x20 || b == 0x7F;
        QVERIFY2(ReceivedModel::isPicture(text.at(0)) == control, qPrintable(QString::number(b, 16)));
        if (!control)
            QCOMPARE(text.at(0), QChar(b));
    }
}

// Copy wants a selection; Save rows as... saves every row without one.
void TestReceivedGrid::menuItemsFollowTheSelection()
{
    ReceivedGrid grid;
    grid.resize(600, 300);
    grid.addRow("A", 0);
    grid.flush();
    const auto itemsEnabled = [&grid] {
        QStringList enabled;
        // Below the rows: a right click on a row would select it.
        QMenu *menu = ui::contextMenu(grid.viewport(), {10, 250});
        if (!menu)
            return QStringList{"no menu"};
        for (QAction *action : menu->actions()) {
            if (!action->isSeparator() && action->isEnabled())
                enabled << action->text();
        }
        QTest::keyClick(menu, Qt::Key_Escape);
        return enabled;
    };
    const QStringList always{"&Save rows as...", "Copy &with arrival times", "Save rows with arrival &times"};
    QCOMPARE(itemsEnabled(), always);
    QTest::keyClick(&grid, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(itemsEnabled(), QStringList{"&Copy"} + always);
}

void TestReceivedGrid::liveRowShowsItsNewestBytes_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("newestBytes"); // wider than the cell, fewer than the cell's data holds
    QTest::newRow("HEX") << 0 << 16;
    QTest::newRow("ASCII") << 1 << 64;
}

// A burst still arriving shows its newest bytes: two that differ only in their
// oldest bytes look the same, two that differ in their newest do not.
void TestReceivedGrid::liveRowShowsItsNewestBytes()
{
    QFETCH(int, column);
    QFETCH(int, newestBytes);
    const auto painted = [column, newestBytes](char oldest, char newest) {
        ReceivedStore store;
        ReceivedGrid grid;
        grid.useStore(&store);
        grid.setColumnWidth(0, 250);
        grid.setColumnWidth(1, 250);
        grid.resize(600, 200);
        grid.show();
        if (!QTest::qWaitForWindowExposed(&grid))
            return QImage();
        arrive(store, QByteArray(300, oldest) + QByteArray(newestBytes, newest));
        grid.showLiveRow(0);
        return grid.viewport()->grab(grid.visualRect(grid.model()->index(0, column))).toImage();
    };
    const QImage shown = painted('A', 'Z');
    QVERIFY(!shown.isNull());
    QCOMPARE(painted('B', 'Z'), shown);
    QVERIFY(painted('A', 'Y') != shown);
}

void TestReceivedGrid::liveRowGroundStaysReadable_data()
{
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("base");
    QTest::addColumn<QColor>("alternate");
    QTest::addColumn<QColor>("highlight");
    QTest::addColumn<QColor>("ground");
    // A quarter of the highlight over the base: 255 * 0.75 + 48 * 0.25 = 203.25...
    QTest::newRow("light: the tint") << QColor("#000000") << QColor("#ffffff") << QColor("#f0f0f0") << QColor(48, 128, 192)
                                     << QColor(203, 223, 239);
    // #767676 on the tint (187.5 grey) is 2.4 : 1, on white 4.54 : 1.
    QTest::newRow("tint unreadable: the alternate ground") << QColor("#767676") << QColor("#fafafa") << QColor("#ffffff")
                                                           << QColor("#000000") << QColor("#ffffff");
    // #777777 on white is 4.48 : 1, on #808080 about 1.1 : 1: neither will do.
    QTest::newRow("neither: the cells' own") << QColor("#777777") << QColor("#ffffff") << QColor("#808080")
                                             << QColor("#000000") << QColor("#ffffff");
}

// The live row's ground: a tint of the selection colour while the text stays
// readable on it (4.5 : 1), else the alternate ground, else the cells' own.
void TestReceivedGrid::liveRowGroundStaysReadable()
{
    QFETCH(QColor, text);
    QFETCH(QColor, base);
    QFETCH(QColor, alternate);
    QFETCH(QColor, highlight);
    QFETCH(QColor, ground);
    QPalette palette;
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, alternate);
    palette.setColor(QPalette::Highlight, highlight);
    const QColor got = ReceivedGrid::liveRowGround(palette);
    QVERIFY2(qAbs(got.red() - ground.red()) <= 1 && qAbs(got.green() - ground.green()) <= 1
                 && qAbs(got.blue() - ground.blue()) <= 1,
             qPrintable(got.name()));
}

// Escape drops the selection; Copy then has nothing to copy.
void TestReceivedGrid::escapeDropsTheSelection()
{
    ReceivedGrid grid;
    grid.addRow("A", 0);
    grid.addRow("B", 0);
    grid.flush();
    QTest::keyClick(&grid, Qt::Key_A, Qt::ControlModifier);
    QVERIFY(grid.selectionModel()->hasSelection());
    QTest::keyClick(&grid, Qt::Key_Escape);
    QVERIFY(!grid.selectionModel()->hasSelection());
    QApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
}

// Shown once, the live row is repainted by the grid as its bytes grow, until
// it ends.
void TestReceivedGrid::liveRowIsRefreshedAsItGrows()
{
    ReceivedStore store;
    ReceivedGrid grid;
    grid.useStore(&store);
    arrive(store, "TAG 1\r\n");
    grid.showLiveRow(0);
    QSignalSpy refreshed(grid.model(), &QAbstractItemModel::dataChanged);
    arrive(store, "TAG 2\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(refreshed.size() >= 2, 1000);
    QCOMPARE(refreshed.last().at(0).value<QModelIndex>().row(), 0);
    grid.endLiveRow();
    refreshed.clear();
    QTest::qWait(300);
    QCOMPARE(refreshed.size(), 0);
}

QTEST_MAIN(TestReceivedGrid)
#include "tst_receivedgrid.moc"
