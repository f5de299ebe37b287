#include "protocol/linefile.h"

#include <QRandomGenerator>
#include <QTest>

using namespace zanto;
using Lines = QList<QByteArray>;

class TestLineFile : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void format();
    void binaryGarbage();
};

void TestLineFile::parse_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<qsizetype>("maxLength");
    QTest::addColumn<Lines>("lines");
    QTest::addColumn<bool>("stoppedEarly");

    const qsizetype any = -1;
    const QByteArray huge(8 << 20, 'x');
    QTest::newRow("CR LF") << QByteArray("a\r\nbb\r\n") << -1 << any << Lines{"a", "bb"} << false;
    QTest::newRow("bare LF") << QByteArray("a\nb\r\nc\n") << -1 << any << Lines{"a", "b", "c"} << false;
    QTest::newRow("no final end") << QByteArray("a\r\nlast") << -1 << any << Lines{"a", "last"} << false;
    QTest::newRow("empty content") << QByteArray() << -1 << any << Lines{} << false;
    QTest::newRow("empty lines") << QByteArray("\r\n\n\r\nx") << -1 << any << Lines{"", "", "", "x"} << false;
    QTest::newRow("lone CRs are data") << QByteArray("a\rb\r\n\r\r\nc\r") << -1 << any << Lines{"a\rb", "\r", "c\r"}
                                       << false;
    QTest::newRow("12 of 13") << QByteArray("1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n") << 12 << any
                              << Lines{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"} << false;
    QTest::newRow("no lines wanted") << QByteArray("1\r\n") << 0 << any << Lines{} << false;
    QTest::newRow("line at the limit") << QByteArray("abc\r\nab") << -1 << qsizetype(3) << Lines{"abc", "ab"} << false;
    QTest::newRow("long line stops") << QByteArray("abc\r\nabcd\r\nx") << -1 << qsizetype(3) << Lines{"abc"} << true;
    QTest::newRow("long last line") << QByteArray("a\nabcd") << -1 << qsizetype(3) << Lines{"a"} << true;
    QTest::newRow("lone CR counts") << QByteArray("abc\r") << -1 << qsizetype(3) << Lines{} << true;
    QTest::newRow("long after wanted") << QByteArray("a\nb\nabcdef\n") << 2 << qsizetype(3) << Lines{"a", "b"} << false;
    QTest::newRow("8 MiB, no end") << huge << -1 << any << Lines{huge} << false;
    QTest::newRow("8 MiB, limit") << huge << -1 << qsizetype(4096) << Lines{} << true;
}

void TestLineFile::parse()
{
    QFETCH(QByteArray, content);
    QFETCH(int, maxLines);
    QFETCH(qsizetype, maxLength);
    QFETCH(Lines, lines);
    QFETCH(bool, stoppedEarly);

    const ParsedLines parsed = parseLines(content, {maxLines, maxLength});
    QCOMPARE(parsed.lines, lines);
    QCOMPARE(parsed.stoppedEarly, stoppedEarly);
}

void TestLineFile::format()
{
    const Lines lines{"XXXXX", "", QByteArray("\0\xFF", 2), "a\rb"};
    const QByteArray content("XXXXX\r\n\r\n\0\xFF\r\na\rb\r\n", 18);
    QByteArray written;
    for (const QByteArray &line : lines)
        appendLine(written, line);
    QCOMPARE(written, content);
    QCOMPARE(parseLines(content).lines, lines);
}

// Random bytes rich in LF, CR and NUL, held against a plain split-then-trim reading.
void TestLineFile::binaryGarbage()
{
    QRandomGenerator random(1);
    for (int round = 0; round < 3000; ++round) {
        QByteArray content(random.bounded(round % 10 ? 65 : 4097), Qt::Uninitialized);
        for (char &c : content) {
            const int r = random.bounded(16);
            c = r < 2 ? '\n' : r == 2 ? '\r' : r == 3 ? '\0' : char(random.bounded(256));
        }
        const LineLimits limits{round % 3 ? -1 : 12, round % 4 ? qsizetype(-1) : qsizetype(random.bounded(21))};

        ParsedLines expected;
        Lines pieces = content.isEmpty() ? Lines{} : content.split('\n');
        if (content.endsWith('\n'))
            pieces.removeLast();
        for (qsizetype i = 0; i < pieces.size() && (limits.maxLines < 0 || i < limits.maxLines); ++i) {
            QByteArray line = pieces[i];
            if ((i + 1 < pieces.size() || content.endsWith('\n')) && line.endsWith('\r'))
                line.chop(1);
            if (limits.maxLineLength >= 0 && line.size() > limits.maxLineLength) {
                expected.stoppedEarly = true;
                break;
            }
            expected.lines.append(line);
        }
        const ParsedLines parsed = parseLines(content, limits);
        QCOMPARE(parsed.lines, expected.lines);
        QCOMPARE(parsed.stoppedEarly, expected.stoppedEarly);
    }
}

QTEST_GUILESS_MAIN(TestLineFile)
#include "tst_linefile.moc"
