// The line a row becomes in a copy, a saved file and the log: the arrival
// time in local time with its offset, the hex and the escaped text.
#include "protocol/rowline.h"

#include <QTest>

#include <ctime>

using namespace zanto;

namespace {

void useZone(const QByteArray &tz)
{
    qputenv("TZ", tz);
    tzset();
}

// 2026-12-07 04:50:30.456 UTC.
constexpr qint64 December7 = 1796619030456;

} // namespace

class TestRowLine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void line_data();
    void line();
    void offsetChangesWithinARun();
};

void TestRowLine::line_data()
{
    QTest::addColumn<QByteArray>("tz");
    QTest::addColumn<bool>("withTime");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("no time") << QByteArray("ZZT-5:30") << false << QByteArray("AB\r") << December7
                             << QByteArray(" 41 42 0D\tAB/0D");
    QTest::newRow("half-hour offset east") << QByteArray("ZZT-5:30") << true << QByteArray("AB\r") << December7
                                           << QByteArray("2026-12-07T10:20:30.456+05:30\t 41 42 0D\tAB/0D");
    QTest::newRow("west of UTC") << QByteArray("ZZT+3") << true << QByteArray("AB\r") << December7
                                 << QByteArray("2026-12-07T01:50:30.456-03:00\t 41 42 0D\tAB/0D");
    QTest::newRow("UTC has an offset too") << QByteArray("UTC0") << true << QByteArray("x") << December7
                                           << QByteArray("2026-12-07T04:50:30.456+00:00\t 78\tx");
    QTest::newRow("milliseconds keep three digits") << QByteArray("UTC0") << true << QByteArray("x") << December7 - 449
                                                    << QByteArray("2026-12-07T04:50:30.007+00:00\t 78\tx");
    QTest::newRow("NUL, slash before hex, tab, DEL") << QByteArray("UTC0") << true << QByteArray("\x00/41\t\x7F", 6)
                                                     << December7
                                                     << QByteArray("2026-12-07T04:50:30.456+00:00\t 00 2F 34 31 09 7F\t/00/2F41/09/7F");
    QTest::newRow("empty row") << QByteArray("UTC0") << true << QByteArray() << December7
                               << QByteArray("2026-12-07T04:50:30.456+00:00\t\t");
}

void TestRowLine::line()
{
    QFETCH(QByteArray, tz);
    QFETCH(bool, withTime);
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, ms);
    QFETCH(QByteArray, line);
    useZone(tz);
    RowLineFormat format(withTime);
    QCOMPARE(format.line(bytes, ms), line);
}

// Rows of one save or log straddle the night the clocks go forward: each line
// carries the offset of its own moment, also right after the one before.
void TestRowLine::offsetChangesWithinARun()
{
    useZone("CET-1CEST,M3.5.0,M10.5.0/3");
    RowLineFormat format(true);
    const qint64 lastWinterMs = 1774745999999; // 2026-03-29 00:59:59.999 UTC
    QCOMPARE(format.timeText(lastWinterMs), QByteArray("2026-03-29T01:59:59.999+01:00"));
    QCOMPARE(format.timeText(lastWinterMs + 1), QByteArray("2026-03-29T03:00:00.000+02:00"));
    QCOMPARE(format.timeText(lastWinterMs), QByteArray("2026-03-29T01:59:59.999+01:00"));
}

QTEST_GUILESS_MAIN(TestRowLine)
#include "tst_rowline.moc"
