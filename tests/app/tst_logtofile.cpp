// Settings > Log to File as a technician uses it: the file picked in the
// dialog, bursts from the test's own reader added to it as lines, the state
// shown while it runs, Stop Logging; names the tool must not write refused;
// a full disk stops the log and says so.
#include "support/harness.h"
#include "support/restricteddir.h"

#include <QDateTime>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>

#include <ctime>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString logState(const Tool &tool)
{
    const auto *label = tool.control<QLabel>(QStringLiteral("LogState"));
    return label && label->isVisible() ? label->toolTip() : QString();
}

QString logItem(const Tool &tool)
{
    return tool.w.findChild<QAction *>(QStringLiteral("mnuLogToFile"))->text().remove(QLatin1Char('&'));
}

// Alt+S, L, the name typed into the file dialog, Enter.
bool startLog(Tool &tool, const QString &name)
{
    if (!ui::chooseMenu(&tool.w, menu::Settings, menu::LogToFile))
        return false;
    QFileDialog *dialog = nullptr;
    for (int i = 0; i < 300 && !(dialog && dialog->isVisible()); ++i) {
        QTest::qWait(10);
        dialog = tool.control<QFileDialog>(QStringLiteral("LogFileDialog"));
    }
    auto *field = dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
    if (!field || !ui::type(field, name))
        return false;
    QTest::keyClick(field, Qt::Key_Return);
    for (int i = 0; i < 300 && tool.control<QFileDialog>(QStringLiteral("LogFileDialog")); ++i)
        QTest::qWait(10);
    return true;
}

// The reader sends one burst; true once the window has counted it.
bool burst(Tool &tool, LoopbackReader &reader, const QByteArray &bytes)
{
    const QString before = tool.text(QStringLiteral("Receive_Count"));
    if (!reader.send(bytes))
        return false;
    for (int i = 0; i < 300 && tool.text(QStringLiteral("Receive_Count")) == before; ++i)
        QTest::qWait(10);
    return tool.text(QStringLiteral("Receive_Count")) != before;
}

} // namespace

class TestLogToFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void burstsBecomeLines();
    void namesNotWritten_data();
    void namesNotWritten();
    void fullDiskStopsTheLog();
};

void TestLogToFile::initTestCase()
{
    // Arrival times are local: a zone of the test's own, half an hour off.
    qputenv("TZ", "ZZT-5:30");
    tzset();
}

void TestLogToFile::burstsBecomeLines()
{
    LoopbackReader reader;
    Tool tool;
    QVERIFY(tool.dir.write(QStringLiteral("capture.log"), "an earlier line\r\n"));
    QVERIFY(tool.setQuietInterval(30));
    QVERIFY(connectTcp(tool, reader));
    QCOMPARE(logItem(tool), QStringLiteral("Log to File..."));
    QVERIFY(startLog(tool, QStringLiteral("capture.log")));
    QCOMPARE(logItem(tool), QStringLiteral("Stop Logging"));

    const qint64 from = QDateTime::currentMSecsSinceEpoch();
    QVERIFY(burst(tool, reader, "AB\r"));
    QVERIFY(burst(tool, reader, QByteArray("\x00/41\x7F", 5)));
    // 47 and 59 bytes with their CR LF.
    QTRY_COMPARE(logState(tool), QStringLiteral("Logging to capture.log: 2 lines, 106 bytes"));
    QVERIFY(burst(tool, reader, "tag 0042\r\n"));
    const qint64 to = QDateTime::currentMSecsSinceEpoch();

    // At once: the last line is counted once it is in the file, 77 bytes more.
    QVERIFY(ui::chooseMenu(&tool.w, menu::Settings, menu::LogToFile)); // Stop Logging
    QCOMPARE(logItem(tool), QStringLiteral("Log to File..."));
    QCOMPARE(logState(tool), QStringLiteral("Logged 3 lines to capture.log, 183 bytes"));

    const QList<QByteArray> lines = tool.dir.read(QStringLiteral("capture.log")).split('\n');
    QCOMPARE(lines.size(), 5); // the earlier line, three new ones, nothing after the last line end
    QCOMPARE(lines[0], QByteArray("an earlier line\r"));
    const QList<QByteArray> bursts{" 41 42 0D\tAB/0D\r", " 00 2F 34 31 7F\t/00/2F41/7F\r",
                                   " 74 61 67 20 30 30 34 32 0D 0A\ttag 0042/0D/0A\r"};
    const QRegularExpression stamped(QStringLiteral("^(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3})\\+05:30\t(.*)$"));
    qint64 previous = from;
    for (int i = 0; i < 3; ++i) {
        const QRegularExpressionMatch match = stamped.match(QString::fromLatin1(lines[i + 1]));
        QVERIFY2(match.hasMatch(), lines[i + 1].constData());
        QCOMPARE(match.captured(2).toLatin1(), bursts[i]);
        // The first byte's arrival, in order, within the time the bursts were sent.
        QDateTime at = QDateTime::fromString(match.captured(1), Qt::ISODateWithMs);
        at.setOffsetFromUtc(5 * 3600 + 30 * 60);
        QVERIFY(at.toMSecsSinceEpoch() >= previous && at.toMSecsSinceEpoch() <= to);
        previous = at.toMSecsSinceEpoch();
    }
    QCOMPARE(lines[4], QByteArray());
}

void TestLogToFile::namesNotWritten_data()
{
    QTest::addColumn<QString>("plant"); // what stands at "capture.log", or "outside"
    QTest::addColumn<QString>("status");
    QTest::newRow("a file in another folder") << "outside" << "Not logging: %1/capture.log is not in the working folder %2";
    QTest::newRow("a FIFO") << "fifo" << "Not logging: capture.log not opened: it is a FIFO";
    QTest::newRow("a link") << "link" << "Not logging: capture.log not opened: it is a symbolic link";
}

// The tool reads and writes only plain files in its folder.
void TestLogToFile::namesNotWritten()
{
    QFETCH(QString, plant);
    QFETCH(QString, status);
    Tool tool;
    QTemporaryDir outside;
    const QString elsewhere = QDir(outside.path()).canonicalPath();
    QString name = QStringLiteral("capture.log");
    if (plant == "outside")
        name = elsewhere + QStringLiteral("/capture.log");
    else if (plant == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(tool.dir.filePath(name)).constData(), 0600), 0);
    else
        QVERIFY(QFile::link(elsewhere + QStringLiteral("/target.log"), tool.dir.filePath(name)));

    QVERIFY(startLog(tool, name));

    QCOMPARE(tool.status(), status.arg(elsewhere, QDir(tool.dir.path()).canonicalPath()));
    QCOMPARE(logItem(tool), QStringLiteral("Log to File..."));
    QCOMPARE(QDir(elsewhere).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestLogToFile::fullDiskStopsTheLog()
{
    LoopbackReader reader;
    Tool tool;
    QVERIFY(tool.setQuietInterval(30));
    QVERIFY(connectTcp(tool, reader));
    // A full tmpfs needs root; otherwise a folder without write permission.
    const bool root = geteuid() == 0;
    RestrictedDir dir(root ? RestrictedDir::Full : RestrictedDir::ReadOnly);
    if (!dir.isValid())
        QSKIP(qPrintable(dir.why()));

    QVERIFY(startLog(tool, QStringLiteral("capture.log")));
    if (!root) {
        QCOMPARE(tool.status(), QStringLiteral("Not logging: capture.log not opened: Permission denied"));
        return;
    }
    QCOMPARE(logItem(tool), QStringLiteral("Stop Logging"));
    QVERIFY(burst(tool, reader, "AB\r"));
    QTRY_COMPARE(tool.status(), QStringLiteral("Log stopped: capture.log not written: No space left on device; "
                                                "the 0 lines before it are in the file"));
    QCOMPARE(logItem(tool), QStringLiteral("Log to File..."));
    QCOMPARE(logState(tool), QStringLiteral("Log stopped: capture.log"));
    QCOMPARE(dir.read(QStringLiteral("capture.log")), QByteArray()); // no piece of a line
}

QTEST_MAIN(TestLogToFile)
#include "tst_logtofile.moc"
