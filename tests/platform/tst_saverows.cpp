// "Save rows as..." as a user meets it: the grid's context menu, the file
// dialog, the progress dialog with Cancel. A cancelled or failed save leaves
// the old file whole and nothing beside it; rows keep arriving, and the oldest
// go past the budget, while the save writes. The preloaded fault library
// (support/syscallfaults.c) holds the save in its first write, or fails it.
#include "widgets/receivedgrid.h"
#include "support/restricteddir.h"
#include "support/syscallfaults.h"
#include "support/testdir.h"
#include "support/ui.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <memory>
#include <unistd.h>

using namespace zanto;

namespace {

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Presses Yes in the question the file dialog asks before it replaces a file,
// once it is there (the dialog asks it in a loop of its own).
void replaceWhenAsked()
{
    QTimer::singleShot(10, [] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->button(QMessageBox::Yes)) {
            replaceWhenAsked();
            return;
        }
        QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
    });
}

// Right click, "Save rows as...", the name typed, Enter, and Yes to replace
// the old file: the progress dialog that follows.
QProgressDialog *saveThroughMenu(ReceivedGrid &grid, const QString &path)
{
    QMenu *menu = ui::contextMenu(grid.viewport(), {10, 10});
    if (!menu)
        return nullptr;
    QTest::keyClick(menu, Qt::Key_S);
    QFileDialog *dialog = nullptr;
    for (int i = 0; i < 300 && !(dialog && dialog->isVisible()); ++i) {
        QTest::qWait(10);
        dialog = grid.findChild<QFileDialog *>(QStringLiteral("SaveRowsDialog"));
    }
    auto *name = dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
    if (!name || !ui::type(name, path))
        return nullptr;
    replaceWhenAsked();
    QTest::keyClick(name, Qt::Key_Return);
    QProgressDialog *progress = nullptr;
    for (int i = 0; i < 300 && !(progress && progress->isVisible()); ++i) {
        progress = grid.findChild<QProgressDialog *>(QStringLiteral("SaveRowsProgress"));
        if (!progress || !progress->isVisible())
            QTest::qWait(10);
    }
    return progress;
}

// Row i: printable, so its text part is its bytes.
QByteArray rowBytes(int i, int size)
{
    return QByteArray("row ") + QByteArray::number(i).rightJustified(5, '0') + ' ' + QByteArray(size - 10, char('a' + i % 26));
}

// What Save rows writes for a row without its time: the hex as " 72 6F",
// a tab, the text.
QByteArray plainLine(const QByteArray &bytes)
{
    return ' ' + bytes.toHex(' ').toUpper() + '\t' + bytes;
}

} // namespace

class TestSaveRows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void rowsArriveDuringSave();
    void progressFullWhileSyncing();

private:
    SyscallFaults m_faults;
};

void TestSaveRows::initTestCase()
{
    m_faults = SyscallFaults::find();
    if (!m_faults.loaded())
        QFAIL(SyscallFaultsMissing);
}

void TestSaveRows::init()
{
    m_faults.reset();
}

void TestSaveRows::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("problem"); // after "rows.txt not written: "
    QTest::addColumn<bool>("box");        // also said in a message box
    const bool root = geteuid() == 0;
    QTest::newRow("Cancel clicked") << "cancel" << "cancelled" << false;
    QTest::newRow("Escape pressed") << "escape" << "cancelled" << false;
    // A full tmpfs needs root; otherwise a folder without write permission.
    QTest::newRow("full disk") << "full" << (root ? "No space left on device" : "Permission denied") << true;
    QTest::newRow("a write fails") << "eio" << "Input/output error" << true;
}

void TestSaveRows::failedSaveKeepsOldFile()
{
    QFETCH(QString, how);
    QFETCH(QString, problem);
    QFETCH(bool, box);
    const QByteArray old = "old\r\nrows\r\n";
    TestDir dir;
    std::unique_ptr<RestrictedDir> restricted;
    QString folder = dir.path();
    if (how == "full") {
        restricted = std::make_unique<RestrictedDir>(geteuid() == 0 ? RestrictedDir::Full : RestrictedDir::ReadOnly,
                                                     QList<QPair<QString, QByteArray>>{{"rows.txt", old}});
        if (!restricted->isValid())
            QSKIP(qPrintable(restricted->why()));
        folder = restricted->path();
    } else {
        QVERIFY(dir.write(QStringLiteral("rows.txt"), old));
    }
    const QStringList before = entries(folder);
    ReceivedGrid grid;
    grid.resize(600, 300);
    // A test that fails halfway must not leave the save waiting: the grid
    // waits for it when it goes.
    const auto release = qScopeGuard([this] { m_faults.release(); });
    for (int i = 0; i < 200; ++i)
        grid.addRow(rowBytes(i, 1000), i);
    grid.flush();
    if (how == "cancel" || how == "escape")
        m_faults.holdWrite();
    else if (how == "eio")
        m_faults.arm("write", EIO);

    QProgressDialog *progress = saveThroughMenu(grid, folder + QStringLiteral("/rows.txt"));
    QVERIFY(progress);
    // Window-modal: the grid's window takes no clicks (no Clear) meanwhile.
    QVERIFY(progress->isModal() && progress->windowModality() == Qt::WindowModal);
    if (how == "cancel" || how == "escape") {
        QTRY_VERIFY(m_faults.holding());
        // Escape reaches the dialog the technician looks at: the active one
        // (a loaded machine may not have made it so yet).
        QVERIFY(ui::activate(progress));
        if (how == "cancel")
            QVERIFY(ui::click(progress->findChild<QPushButton *>()));
        else
            QTest::keyClick(progress, Qt::Key_Escape);
        m_faults.release();
    }
    QSignalSpy ended(&grid, &ReceivedGrid::saveEnded);
    QVERIFY(!grid.saving() || ended.wait(10000));

    const QString message = "rows.txt not written: " + problem + "; the old file is unchanged";
    QCOMPARE(grid.notice(), message);
    auto *shown = grid.findChild<QMessageBox *>(QStringLiteral("SaveRowsProblem"));
    QCOMPARE(shown != nullptr, box);
    if (shown) {
        QTRY_VERIFY(shown->isVisible());
        QCOMPARE(shown->text(), message);
        QVERIFY(ui::click(shown->button(QMessageBox::Ok)));
    }
    QCOMPARE(entries(folder), before); // the old file, and no new one beside it
    QFile file(folder + QStringLiteral("/rows.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), old);
}

// While the save writes, rows keep arriving and the budget drops the oldest
// ones it has already written, never one it has still to write: the file holds
// exactly the rows there were when the save began. Once it ends the budget
// takes the rows it kept.
void TestSaveRows::rowsArriveDuringSave()
{
    TestDir dir;
    ReceivedGrid grid;
    grid.resize(600, 300);
    constexpr quint64 Budget = 2 * 1024 * 1024;
    grid.setByteBudget(Budget);
    grid.setSaveWithTimes(false);
    const auto release = qScopeGuard([this] { m_faults.release(); });
    QByteArray expected;
    // 10,000 rows of 200 bytes: several batches of the save's reads.
    for (int i = 0; i < 10000; ++i) {
        grid.addRow(rowBytes(i, 200), i);
        expected += plainLine(rowBytes(i, 200)) + "\r\n";
    }
    grid.flush();
    QCOMPARE(grid.droppedRows(), 0u);
    ui::activate(&grid);

    m_faults.holdWrite();
    QSignalSpy ended(&grid, &ReceivedGrid::saveEnded);
    grid.startSave(dir.filePath(QStringLiteral("rows.txt")));
    QTRY_VERIFY(m_faults.holding());
    // Held in its first write, the save has read its first rows: new rows
    // come, but none of the old ones may go.
    int next = 10000;
    const auto arrive = [&](int count) {
        for (int k = 0; k < count; ++k, ++next)
            grid.addRow(rowBytes(next, 200), next);
        grid.flush();
    };
    arrive(10000);
    QCOMPARE(grid.droppedRows(), 0u);
    QCOMPARE(grid.receivedModel()->store().rowCount(), 20000);
    m_faults.release();
    while (ended.isEmpty()) {
        arrive(50);
        QTest::qWait(1);
    }
    QCOMPARE(grid.notice(), QStringLiteral("Saved 10000 rows to rows.txt"));
    QCOMPARE(dir.read(QStringLiteral("rows.txt")), expected);
    // The rows it kept go once it is done.
    QTRY_VERIFY(grid.receivedModel()->store().bytes() <= Budget);
    QCOMPARE(grid.droppedRows(), quint64(next - grid.receivedModel()->store().rowCount()));
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("rows.txt")});
}

// Every row written, the bar is full and the label says what is left: the
// rows going to the disk.
void TestSaveRows::progressFullWhileSyncing()
{
    TestDir dir;
    ReceivedGrid grid;
    grid.resize(600, 300);
    grid.setSaveWithTimes(false);
    const auto release = qScopeGuard([this] { m_faults.release(); });
    for (int i = 0; i < 1000; ++i)
        grid.addRow(rowBytes(i, 200), i);
    grid.flush();
    ui::activate(&grid);
    m_faults.holdFsync();
    QSignalSpy ended(&grid, &ReceivedGrid::saveEnded);
    grid.startSave(dir.filePath(QStringLiteral("rows.txt")));
    QTRY_VERIFY(m_faults.holding());
    auto *progress = grid.findChild<QProgressDialog *>(QStringLiteral("SaveRowsProgress"));
    QVERIFY(progress);
    QTRY_COMPARE(progress->labelText(),
                 QStringLiteral("Saving 1000 rows to rows.txt: 0 MiB written, making sure all of it is on the disk"));
    QCOMPARE(progress->value(), progress->maximum());
    m_faults.release();
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(grid.notice(), QStringLiteral("Saved 1000 rows to rows.txt"));
}

QTEST_MAIN(TestSaveRows)
#include "tst_saverows.moc"
