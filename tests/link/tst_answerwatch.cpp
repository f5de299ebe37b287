// What a window takes as the reader's answer to its own command: the first
// burst to end after the command, once; else, after the wait, that none came
// and how many bytes did. A reader streaming tag reads keeps ending bursts, so
// an answer must stop the wait and nothing before the command counts.
#include "link/answerwatch.h"
#include "link/readerchannel.h"

#include <QSignalSpy>
#include <QTest>

using namespace zanto;

namespace {

class Channel : public ReaderChannel
{
public:
    bool send(const QByteArray &, LinkRule) override { return true; }
    qint64 gatheringSinceMs() const override { return 0; }
    void arrive(const QByteArray &bytes) { Q_EMIT bytesArrived(bytes); }
    void end(const QByteArray &bytes) { Q_EMIT burstEnded(bytes, 1234); }
};

constexpr int WaitMs = 60;

} // namespace

class TestAnswerWatch : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void oneOutcomePerCommand_data();
    void oneOutcomePerCommand();
};

void TestAnswerWatch::oneOutcomePerCommand_data()
{
    // Steps: "sent", "+BYTES" (bytes arrive), "=BYTES" (a burst ends with them).
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QList<qint64>>("unanswered"); // bytes counted, per wait that ran out
    QTest::newRow("answered") << QStringList{"sent", "+OK\r\n", "=OK\r\n"} << QStringList{"OK\r\n"} << QList<qint64>{};
    QTest::newRow("only the first burst") << QStringList{"sent", "=OK\r\n", "=TAG 1\r\n"} << QStringList{"OK\r\n"}
                                          << QList<qint64>{};
    QTest::newRow("burst before the command") << QStringList{"=TAG 1\r\n", "sent"} << QStringList{} << QList<qint64>{0};
    QTest::newRow("bytes but no end") << QStringList{"+TAG", "sent", "+TAG 1", "+TAG 2"} << QStringList{}
                                      << QList<qint64>{10};
    QTest::newRow("empty burst is no answer") << QStringList{"sent", "="} << QStringList{} << QList<qint64>{0};
    QTest::newRow("sent again") << QStringList{"sent", "=A", "sent", "+BB", "=BB"} << QStringList{"A", "BB"}
                                << QList<qint64>{};
}

void TestAnswerWatch::oneOutcomePerCommand()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, answers);
    QFETCH(QList<qint64>, unanswered);
    Channel channel;
    AnswerWatch watch(&channel, WaitMs);
    QStringList gotAnswers;
    QList<qint64> gotUnanswered;
    connect(&watch, &AnswerWatch::answered, this, [&](const QByteArray &answer, qint64 firstArrivalMs) {
        QCOMPARE(firstArrivalMs, 1234);
        gotAnswers << QString::fromLatin1(answer);
    });
    connect(&watch, &AnswerWatch::unanswered, this, [&](qint64 bytes) { gotUnanswered << bytes; });
    for (const QString &step : steps) {
        const QByteArray bytes = step.mid(1).toLatin1();
        if (step == QLatin1String("sent"))
            watch.commandSent();
        else if (step.startsWith(QLatin1Char('+')))
            channel.arrive(bytes);
        else
            channel.end(bytes);
    }
    // Well past the wait: an answer given must not be followed by "none came".
    QTest::qWait(4 * WaitMs);
    QCOMPARE(gotAnswers, answers);
    QCOMPARE(gotUnanswered, unanswered);
}

QTEST_GUILESS_MAIN(TestAnswerWatch)
#include "tst_answerwatch.moc"
