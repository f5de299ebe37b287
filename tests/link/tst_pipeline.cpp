// The receive path from outside: bytes in, bursts and rows out. Sizes and
// times are the reader's rules (a burst ends after a quiet interval, or at
// 32,767 bytes), typed here, not taken from the code.
#include "link/receivepipeline.h"
#include "widgets/receivedgrid.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QTest>

using namespace zanto;

namespace {

struct Burst {
    QByteArray bytes;
    qint64 firstArrivalMs;
};

// Every burst the pipeline ends, copied out while it is valid.
struct Bursts {
    explicit Bursts(ReceivePipeline &pipeline)
    {
        QObject::connect(&pipeline, &ReceivePipeline::burstEnded, [this](QByteArrayView text, qint64 ms) {
            list.append({text.toByteArray(), ms});
        });
    }
    QList<Burst> list;
};

QByteArray numbered(qsizetype size, int seed)
{
    QByteArray out(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        out[i] = char((i * 7 + seed * 13) & 0xFF);
    return out;
}

} // namespace

class TestPipeline : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fullBurstsAreCut_data();
    void fullBurstsAreCut();
    void arrivalsKeepOneBurstGoing();
    void eventWithoutDataIsABurst();
    void streamPastTheBudgetThenClear();
};

void TestPipeline::fullBurstsAreCut_data()
{
    QTest::addColumn<QList<int>>("arrivals"); // sizes of the arrivals, one after another
    QTest::addColumn<QList<int>>("bursts");   // sizes of the bursts that end
    QTest::newRow("one byte short") << QList<int>{32766} << QList<int>{32766};
    QTest::newRow("exactly full") << QList<int>{32767} << QList<int>{32767};
    QTest::newRow("one byte over") << QList<int>{32768} << QList<int>{32767, 1};
    QTest::newRow("two and a bit, one arrival") << QList<int>{65544} << QList<int>{32767, 32767, 10};
    QTest::newRow("full over several arrivals") << QList<int>{30000, 2767, 5} << QList<int>{32767, 5};
}

// A stream is cut into bursts of 32,767 bytes; the rest ends after the quiet
// interval. Every byte lands in its burst, in order.
void TestPipeline::fullBurstsAreCut()
{
    QFETCH(QList<int>, arrivals);
    QFETCH(QList<int>, bursts);
    ReceivePipeline pipeline;
    pipeline.setQuietInterval(30);
    Bursts ended(pipeline);
    QByteArray sent;
    for (int size : arrivals) {
        const QByteArray bytes = numbered(size, int(sent.size()));
        sent += bytes;
        pipeline.arrival(bytes);
    }
    QTRY_COMPARE(ended.list.size(), bursts.size());
    QByteArray got;
    for (qsizetype i = 0; i < bursts.size(); ++i) {
        QCOMPARE(ended.list[i].bytes.size(), bursts[i]);
        got += ended.list[i].bytes;
    }
    QCOMPARE(got, sent);
    QTest::qWait(60);
    QCOMPARE(ended.list.size(), bursts.size()); // nothing more, no empty burst
}

// Arrivals closer together than the quiet interval make one burst, however
// long it lasts; the burst's time is its first byte's.
void TestPipeline::arrivalsKeepOneBurstGoing()
{
    ReceivePipeline pipeline;
    pipeline.setQuietInterval(120);
    Bursts ended(pipeline);
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    pipeline.arrival("first");
    const qint64 after = QDateTime::currentMSecsSinceEpoch();
    QByteArray sent = "first";
    for (int i = 0; i < 8; ++i) { // about 400 ms, well over three intervals
        QTest::qWait(50);
        pipeline.arrival(QByteArray::number(i));
        sent += QByteArray::number(i);
    }
    QCOMPARE(ended.list.size(), 0);
    QTRY_COMPARE(ended.list.size(), 1);
    QCOMPARE(ended.list[0].bytes, sent);
    QVERIFY(ended.list[0].firstArrivalMs >= before && ended.list[0].firstArrivalMs <= after);

    // One arrival that fills a burst begun earlier and starts the next: each
    // burst has the time of its own first byte.
    pipeline.arrival("x");
    const qint64 x = QDateTime::currentMSecsSinceEpoch();
    QTest::qWait(60);
    const qint64 big = QDateTime::currentMSecsSinceEpoch();
    pipeline.arrival(QByteArray(32767, 'y'));
    QTRY_COMPARE(ended.list.size(), 3);
    QCOMPARE(ended.list[1].bytes, "x" + QByteArray(32766, 'y'));
    QVERIFY(ended.list[1].firstArrivalMs <= x);
    QCOMPARE(ended.list[2].bytes, QByteArray("y"));
    QVERIFY(ended.list[2].firstArrivalMs >= big);
}

void TestPipeline::eventWithoutDataIsABurst()
{
    ReceivePipeline pipeline;
    pipeline.setQuietInterval(20);
    Bursts ended(pipeline);
    pipeline.arrival(QByteArray());
    QTRY_COMPARE(ended.list.size(), 1);
    QCOMPARE(ended.list[0].bytes, QByteArray());
    QTest::qWait(50);
    QCOMPARE(ended.list.size(), 1);
    QCOMPARE(pipeline.store().rowCount(), 0); // no row for it
}

// Far past the grid's byte budget (so chunks of the row store are given back
// and taken again), then Clear in the middle of a burst, then more: every row
// the grid holds is what was sent, byte for byte.
void TestPipeline::streamPastTheBudgetThenClear()
{
    ReceivePipeline pipeline;
    pipeline.setQuietInterval(30);
    ReceivedGrid grid;
    grid.useStore(&pipeline.store());
    grid.setByteBudget(6 * 1024 * 1024);
    QList<QByteArray> rows; // what each burst carried, as sent
    QByteArray pending;
    QObject::connect(&pipeline, &ReceivePipeline::burstEnded, &grid, [&](QByteArrayView, qint64) {
        grid.rowAppended();
    });
    const auto send = [&](const QByteArray &bytes) {
        pipeline.arrival(bytes);
        pending += bytes;
        while (pending.size() >= 32767) {
            rows.append(pending.left(32767));
            pending.remove(0, 32767);
        }
    };
    for (int i = 0; i < 700; ++i) { // 700 pieces of 60,001 bytes: about 40 MiB
        send(numbered(60001, i));
        if (i % 8 == 7)
            grid.flush(); // a batch, as the grid's timer makes one
    }
    grid.flush();
    const ReceivedStore &store = pipeline.store();
    QCOMPARE(grid.rows() - 1, int(store.rowCount()));
    QVERIFY(grid.droppedRows() > 0);
    for (qsizetype r = 0; r < store.rowCount(); ++r)
        QCOMPARE(store.row(r).bytes(), rows[rows.size() - store.rowCount() + r]);
    // Memory the oldest rows gave back is used again: the store holds its rows
    // and at most three 4 MiB chunks' worth beside them.
    QVERIFY2(store.bytes() + store.overheadBytes() <= quint64(6 + 12) * 1024 * 1024,
             qPrintable(QString::number(store.overheadBytes())));

    // A budget smaller than a burst still keeps the newest row whole: it is
    // the one just shown, and decoded where it stands.
    grid.setByteBudget(1000);
    send(numbered(32767, 7));
    grid.flush();
    QCOMPARE(store.rowCount(), 1);
    QCOMPARE(store.row(0).bytes(), rows.last());
    grid.setByteBudget(6 * 1024 * 1024);

    grid.clear(); // a burst is half gathered: it carries on
    QCOMPARE(store.rowCount(), 0);
    rows.clear();
    for (int i = 0; i < 100; ++i)
        send(numbered(5003, 1000 + i));
    QTRY_VERIFY(!pipeline.gathering());
    rows.append(pending);
    grid.flush();
    QCOMPARE(store.rowCount(), rows.size());
    for (qsizetype r = 0; r < store.rowCount(); ++r)
        QCOMPARE(store.row(r).bytes(), rows[r]);
}

QTEST_MAIN(TestPipeline)
#include "tst_pipeline.moc"
