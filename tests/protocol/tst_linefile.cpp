#include "protocol/linefile.h"

#include <QRandomGenerator>
#include <QTest>

using namespace zanto;

namespace {

using Lines = QList<QByteArray>;

// A second reading of the same rules, written the plain way (split, then trim),
// to hold the single-pass reader against on random content.
ParsedLines reference(const QByteArray &content, const LineLimits &limits)
{
    ParsedLines out;
    if (content.isEmpty())
        return out;
    QList<QByteArray> pieces = content.split('\n');
    const bool lastEnded = content.endsWith('\n');
    if (lastEnded)
        pieces.removeLast(); // the empty text after the final LF is no line
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (limits.maxLines >= 0 && out.lines.size() >= limits.maxLines)
            break;
        QByteArray line = pieces[i];
        const bool ended = i + 1 < pieces.size() || lastEnded;
        if (ended && line.endsWith('\r'))
            line.chop(1);
        if (limits.maxLineLength >= 0 && line.size() > limits.maxLineLength) {
            out.stoppedEarly = true;
            break;
        }
        out.lines.append(line);
    }
    return out;
}

} // namespace

class TestLineFile : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void format_data();
    void format();
    void randomContent_data();
    void randomContent();
    void noLineEnds_data();
    void noLineEnds();
};

void TestLineFile::parse_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<qsizetype>("maxLineLength");
    QTest::addColumn<Lines>("lines");
    QTest::addColumn<bool>("stoppedEarly");

    const qsizetype any = -1;
    QTest::newRow("CR LF") << QByteArray("a\r\nbb\r\n") << -1 << any << Lines{"a", "bb"} << false;
    QTest::newRow("bare LF") << QByteArray("a\nbb\n") << -1 << any << Lines{"a", "bb"} << false;
    QTest::newRow("mixed") << QByteArray("a\nb\r\nc\n") << -1 << any << Lines{"a", "b", "c"} << false;
    QTest::newRow("no final end") << QByteArray("a\r\nlast") << -1 << any << Lines{"a", "last"} << false;
    QTest::newRow("only a value") << QByteArray("XXXXX") << -1 << any << Lines{"XXXXX"} << false;
    QTest::newRow("empty content") << QByteArray() << -1 << any << Lines{} << false;
    QTest::newRow("one empty line") << QByteArray("\r\n") << -1 << any << Lines{""} << false;
    QTest::newRow("empty lines") << QByteArray("\r\n\n\r\nx") << -1 << any << Lines{"", "", "", "x"} << false;
    QTest::newRow("lone CR inside") << QByteArray("a\rb\r\n") << -1 << any << Lines{"a\rb"} << false;
    QTest::newRow("lone CR at the end") << QByteArray("a\r") << -1 << any << Lines{"a\r"} << false;
    QTest::newRow("CR CR LF") << QByteArray("\r\r\n") << -1 << any << Lines{"\r"} << false;
    QTest::newRow("LF CR") << QByteArray("a\n\rb") << -1 << any << Lines{"a", "\rb"} << false;
    QTest::newRow("NUL and high bytes") << QByteArray("a\0b\r\n\0\n\xFF\xE9", 9) << -1 << any
                                        << Lines{QByteArray("a\0b", 3), QByteArray(1, '\0'), "\xFF\xE9"}
                                        << false;

    QTest::newRow("twelve of thirteen") << QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n12\r\n13\r\n")
                                        << 12 << any
                                        << Lines{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}
                                        << false;
    QTest::newRow("fewer than wanted") << QByteArray("1\r\n2\r\n3") << 12 << any << Lines{"1", "2", "3"} << false;
    QTest::newRow("no lines wanted") << QByteArray("1\r\n") << 0 << any << Lines{} << false;

    QTest::newRow("line at the limit") << QByteArray("abc\r\nab") << -1 << qsizetype(3) << Lines{"abc", "ab"}
                                       << false;
    QTest::newRow("long line stops") << QByteArray("abc\r\nabcd\r\nx") << -1 << qsizetype(3) << Lines{"abc"}
                                     << true;
    QTest::newRow("first line too long") << QByteArray("abcd") << -1 << qsizetype(3) << Lines{} << true;
    QTest::newRow("long last line without end") << QByteArray("a\nabcd") << -1 << qsizetype(3) << Lines{"a"}
                                                << true;
    QTest::newRow("lone CR counts in the length") << QByteArray("abc\r") << -1 << qsizetype(3) << Lines{}
                                                  << true;
    QTest::newRow("long line after the wanted ones") << QByteArray("a\nb\nabcdef\n") << 2 << qsizetype(3)
                                                     << Lines{"a", "b"} << false;
    QTest::newRow("empty lines within a zero limit") << QByteArray("\n\r\nx") << -1 << qsizetype(0)
                                                     << Lines{"", ""} << true;
}

void TestLineFile::parse()
{
    QFETCH(QByteArray, content);
    QFETCH(int, maxLines);
    QFETCH(qsizetype, maxLineLength);
    QFETCH(Lines, lines);
    QFETCH(bool, stoppedEarly);

    const ParsedLines parsed = parseLines(content, {maxLines, maxLineLength});
    QCOMPARE(parsed.lines, lines);
    QCOMPARE(parsed.stoppedEarly, stoppedEarly);
}

void TestLineFile::format_data()
{
    QTest::addColumn<Lines>("lines");
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("none") << Lines{} << QByteArray();
    QTest::newRow("one empty") << Lines{""} << QByteArray("\r\n");
    QTest::newRow("configuration file")
        << Lines{"XXXXX", "Standard", "9600", "4-wire", "Frequency hopping default sub-bands", "0D", "00", "F5",
                 "48", "No Heartbeat", "Read Always", "Range 4(100%)"}
        << QByteArray("XXXXX\r\nStandard\r\n9600\r\n4-wire\r\nFrequency hopping default sub-bands\r\n0D\r\n"
                      "00\r\nF5\r\n48\r\nNo Heartbeat\r\nRead Always\r\nRange 4(100%)\r\n");
    QTest::newRow("empty values in between") << Lines{"a", "", "", "b"} << QByteArray("a\r\n\r\n\r\nb\r\n");
    QTest::newRow("bytes kept") << Lines{QByteArray("\0\xFF", 2), "a\rb"} << QByteArray("\0\xFF\r\na\rb\r\n", 9);
}

void TestLineFile::format()
{
    QFETCH(Lines, lines);
    QFETCH(QByteArray, content);

    QCOMPARE(formatLines(lines), content);
    // What was written is read back as it was.
    QCOMPARE(parseLines(content).lines, lines);
}

void TestLineFile::randomContent_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("rounds");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<qsizetype>("maxLineLength");

    QTest::newRow("small, no limits") << 1u << 64 << 2000 << -1 << qsizetype(-1);
    QTest::newRow("small, twelve lines") << 2u << 64 << 2000 << 12 << qsizetype(-1);
    QTest::newRow("small, short lines") << 3u << 64 << 2000 << -1 << qsizetype(4);
    QTest::newRow("medium, both limits") << 4u << 4096 << 200 << 12 << qsizetype(20);
    QTest::newRow("medium, one line") << 5u << 4096 << 200 << 1 << qsizetype(-1);
    QTest::newRow("large, no limits") << 6u << (1 << 20) << 2 << -1 << qsizetype(-1);
}

// Binary garbage, with line ends, lone CRs and NULs more frequent than chance
// would make them, read exactly as the plain reading reads it.
void TestLineFile::randomContent()
{
    QFETCH(quint32, seed);
    QFETCH(int, size);
    QFETCH(int, rounds);
    QFETCH(int, maxLines);
    QFETCH(qsizetype, maxLineLength);

    QRandomGenerator random(seed);
    const LineLimits limits{maxLines, maxLineLength};
    for (int round = 0; round < rounds; ++round) {
        QByteArray content(random.bounded(size + 1), Qt::Uninitialized);
        for (char &c : content) {
            switch (random.bounded(16)) {
            case 0: case 1: c = '\n'; break;
            case 2: c = '\r'; break;
            case 3: c = '\0'; break;
            default: c = char(random.bounded(256));
            }
        }
        const ParsedLines parsed = parseLines(content, limits);
        const ParsedLines expected = reference(content, limits);
        QCOMPARE(parsed.lines, expected.lines);
        QCOMPARE(parsed.stoppedEarly, expected.stoppedEarly);
    }
}

// Several megabytes without a single line end: read as one line in one pass, or
// refused at once when a length limit is set.
void TestLineFile::noLineEnds_data()
{
    QTest::addColumn<qsizetype>("maxLineLength");
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<bool>("stoppedEarly");

    QTest::newRow("no limit") << qsizetype(-1) << 1 << false;
    QTest::newRow("limit") << qsizetype(4096) << 0 << true;
}

void TestLineFile::noLineEnds()
{
    QFETCH(qsizetype, maxLineLength);
    QFETCH(int, lineCount);
    QFETCH(bool, stoppedEarly);

    QByteArray content(8 << 20, '\r');
    content[content.size() / 2] = '\0';
    const ParsedLines parsed = parseLines(content, {-1, maxLineLength});
    QCOMPARE(parsed.lines.size(), lineCount);
    QCOMPARE(parsed.stoppedEarly, stoppedEarly);
    if (lineCount == 1)
        QCOMPARE(parsed.lines.first(), content);
}

QTEST_GUILESS_MAIN(TestLineFile)
#include "tst_linefile.moc"
