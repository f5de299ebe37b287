#include "protocol/tagdata.h"

#include <QTest>

using namespace zanto;

namespace {

QByteArray hex(const char *spaced)
{
    return QByteArray::fromHex(spaced);
}

} // namespace

class TestTagData : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void escapeDigitsOverAllBytes_data();
    void escapeDigitsOverAllBytes();
    void writeCommand_data();
    void writeCommand();
    void shortWriteCommand_data();
    void shortWriteCommand();
};

void TestTagData::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("plain ABC") << QByteArray("ABC") << hex("41 42 43");
    QTest::newRow("escape /41") << QByteArray("/41") << hex("41");
    QTest::newRow("escape inside A/0DB") << QByteArray("A/0DB") << hex("41 0D 42");
    QTest::newRow("too short /4") << QByteArray("/4") << hex("2F 34");
    QTest::newRow("not a digit /4x") << QByteArray("/4x") << hex("2F 34 78");
    QTest::newRow("lower case /ff") << QByteArray("/ff") << hex("2F 66 66");
    QTest::newRow("lower case second /0a") << QByteArray("/0a") << hex("2F 30 61");
    QTest::newRow("slash slash //41") << QByteArray("//41") << hex("2F 41");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("zero byte /00") << QByteArray("/00") << QByteArray(1, '\0');
    QTest::newRow("top byte /FF") << QByteArray("/FF") << hex("FF");
    QTest::newRow("/4G1") << QByteArray("/4G1") << hex("2F 34 47 31");
    QTest::newRow("two escapes") << QByteArray("/41/42") << hex("41 42");
    QTest::newRow("lone slash") << QByteArray("/") << hex("2F");
    QTest::newRow("slash last") << QByteArray("AB/") << hex("41 42 2F");
    QTest::newRow("slash second to last") << QByteArray("A/4") << hex("41 2F 34");
    QTest::newRow("escape at the very end") << QByteArray("AB/43") << hex("41 42 43");
    QTest::newRow("escape makes a slash") << QByteArray("/2F41") << hex("2F 34 31");
    QTest::newRow("three slashes") << QByteArray("///") << hex("2F 2F 2F");
    QTest::newRow("high bytes pass") << QByteArray("\xE9/E9\xFF") << hex("E9 E9 FF");
    QTest::newRow("NUL passes") << QByteArray("a\0b", 3) << hex("61 00 62");
    QTest::newRow("escape digits after slash byte") << QByteArray("/\x80" "41") << hex("2F 80 34 31");
}

void TestTagData::parse()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(parseTagData(text), bytes);
    QCOMPARE(tagDataByteCount(text), bytes.size());
}

// Every byte value in the first and in the second digit place of an escape:
// exactly "0"-"9" and "A"-"F" must be taken as digits.
void TestTagData::escapeDigitsOverAllBytes_data()
{
    QTest::addColumn<int>("value");
    for (int b = 0; b < 256; ++b)
        QTest::addRow("byte %02X", b) << b;
}

void TestTagData::escapeDigitsOverAllBytes()
{
    QFETCH(int, value);
    const char c = static_cast<char>(value);
    const int digit = QByteArray("0123456789ABCDEF").indexOf(c);

    // Alone, and between other characters, a byte that is not "/" stands for itself.
    QCOMPARE(parseTagData(QByteArray(1, c)), QByteArray(1, c));
    const QByteArray framed = QByteArray("x") + c + "y";
    QCOMPARE(parseTagData(framed), framed);

    const QByteArray first = QByteArray("/") + c + "0";
    const QByteArray second = QByteArray("/0") + c;
    if (digit >= 0) {
        QCOMPARE(parseTagData(first), QByteArray(1, static_cast<char>(digit * 16)));
        QCOMPARE(parseTagData(second), QByteArray(1, static_cast<char>(digit)));
        QCOMPARE(tagDataByteCount(first), 1);
    } else {
        QCOMPARE(parseTagData(first), first);
        QCOMPARE(parseTagData(second), second);
        QCOMPARE(tagDataByteCount(first), 3);
    }
}

void TestTagData::writeCommand_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<bool>("built");
    QTest::addColumn<QByteArray>("command");

    QTest::newRow("ABD") << QByteArray("ABD") << QByteArray("R4") << true
                         << hex("57 30 30 33 41 42 44 52 34");
    QTest::newRow("/41/42") << QByteArray("/41/42") << QByteArray("R4") << true
                            << hex("57 30 30 32 41 42 52 34");
    QTest::newRow("/4G1") << QByteArray("/4G1") << QByteArray("R4") << true
                          << hex("57 30 30 34 2F 34 47 31 52 34");
    QTest::newRow("empty text") << QByteArray() << QByteArray("R4") << true << QByteArray("W000R4");
    QTest::newRow("empty code") << QByteArray("AB") << QByteArray() << true << QByteArray("W002AB");
    QTest::newRow("any code") << QByteArray("A") << QByteArray("zz9") << true << QByteArray("W001Azz9");
    QTest::newRow("/0a literal") << QByteArray("/0a") << QByteArray("C0") << true
                                 << hex("57 30 30 33 2F 30 61 43 30");
    QTest::newRow("/00 zero byte") << QByteArray("/00") << QByteArray("R4") << true
                                   << hex("57 30 30 31 00 52 34");
    QTest::newRow("//41") << QByteArray("//41") << QByteArray("R4") << true << hex("57 30 30 32 2F 41 52 34");

    QTest::newRow("99 bytes") << QByteArray(99, 'a') << QByteArray("R4") << true
                              << QByteArray("W099") + QByteArray(99, 'a') + "R4";
    QTest::newRow("100 bytes") << QByteArray(100, 'a') << QByteArray("R4") << true
                               << QByteArray("W0:0") + QByteArray(100, 'a') + "R4";
    QTest::newRow("113 bytes") << QByteArray(113, 'a') << QByteArray("R4") << true
                               << QByteArray("W0;3") + QByteArray(113, 'a') + "R4";
    // 48 + 123 / 10 is 60, the character after ";".
    QTest::newRow("123 bytes") << QByteArray(123, 'a') << QByteArray("R4") << true
                               << QByteArray("W0<3") + QByteArray(123, 'a') + "R4";
    // The length counts bytes, not typed characters.
    QTest::newRow("123 bytes by escapes") << QByteArray("/41").repeated(123) << QByteArray("R4") << true
                                          << QByteArray("W0<3") + QByteArray(123, 'A') + "R4";
    QTest::newRow("2079 bytes") << QByteArray(2079, 'a') << QByteArray("R4") << true
                                << QByteArray("W0\xFF" "9") + QByteArray(2079, 'a') + "R4";
    QTest::newRow("2079 bytes from 6237 characters") << QByteArray("/7F").repeated(2079) << QByteArray("R4")
                                                     << true
                                                     << QByteArray("W0\xFF" "9") + QByteArray(2079, '\x7F') + "R4";
    QTest::newRow("2080 bytes refused") << QByteArray(2080, 'a') << QByteArray("R4") << false << QByteArray();
    QTest::newRow("far too long refused") << QByteArray(70000, '/') << QByteArray("R4") << false << QByteArray();
}

void TestTagData::writeCommand()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, code);
    QFETCH(bool, built);
    QFETCH(QByteArray, command);

    const std::optional<QByteArray> result = buildTagWriteCommand(text, code);
    QCOMPARE(result.has_value(), built);
    if (built)
        QCOMPARE(*result, command);
}

void TestTagData::shortWriteCommand_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<bool>("built");
    QTest::addColumn<QByteArray>("command");

    QTest::newRow("12345") << QByteArray("12345") << QByteArray("R4") << true
                           << hex("77 35 31 32 33 34 35 52 34");
    QTest::newRow("empty text") << QByteArray() << QByteArray("R4") << true << hex("77 30 52 34");
    QTest::newRow("escape stays literal") << QByteArray("/41") << QByteArray("R4") << true
                                          << hex("77 33 2F 34 31 52 34");
    QTest::newRow("empty code") << QByteArray("ab") << QByteArray() << true << QByteArray("w2ab");
    QTest::newRow("NUL and high byte kept") << QByteArray("\0\xFF", 2) << QByteArray("C8") << true
                                            << hex("77 32 00 FF 43 38");
    // Only reachable when the program sets a long text; the count must fit one byte.
    QTest::newRow("207 characters") << QByteArray(207, 'z') << QByteArray("R4") << true
                                    << QByteArray("w\xFF") + QByteArray(207, 'z') + "R4";
    QTest::newRow("208 characters refused") << QByteArray(208, 'z') << QByteArray("R4") << false
                                            << QByteArray();
}

void TestTagData::shortWriteCommand()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, code);
    QFETCH(bool, built);
    QFETCH(QByteArray, command);

    const std::optional<QByteArray> result = buildShortTagWriteCommand(text, code);
    QCOMPARE(result.has_value(), built);
    if (built)
        QCOMPARE(*result, command);
}

QTEST_GUILESS_MAIN(TestTagData)
#include "tst_tagdata.moc"
