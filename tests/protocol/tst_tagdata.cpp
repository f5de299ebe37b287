#include "protocol/tagdata.h"

#include <QTest>

using namespace zanto;

class TestTagData : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void escapeDigitsOverAllBytes();
    void writeCommand_data();
    void writeCommand();
};

void TestTagData::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("ABC") << QByteArray("ABC") << QByteArray("ABC");
    QTest::newRow("/41") << QByteArray("/41") << QByteArray("A");
    QTest::newRow("A/0DB") << QByteArray("A/0DB") << QByteArray("A\rB");
    QTest::newRow("/4 too short") << QByteArray("/4") << QByteArray("/4");
    QTest::newRow("A/4 too short at the end") << QByteArray("A/4") << QByteArray("A/4");
    QTest::newRow("AB/ slash last") << QByteArray("AB/") << QByteArray("AB/");
    QTest::newRow("/4x") << QByteArray("/4x") << QByteArray("/4x");
    QTest::newRow("/ff lower case") << QByteArray("/ff") << QByteArray("/ff");
    QTest::newRow("/0a not an escape") << QByteArray("/0a") << QByteArray("/0a");
    QTest::newRow("//41") << QByteArray("//41") << QByteArray("/A");
    QTest::newRow("/2F41 result not rescanned") << QByteArray("/2F41") << QByteArray("/41");
    QTest::newRow("/41/42") << QByteArray("/41/42") << QByteArray("AB");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("/00 one zero byte") << QByteArray("/00") << QByteArray(1, '\0');
    QTest::newRow("/FF top byte") << QByteArray("/FF") << QByteArray("\xFF");
    QTest::newRow("high bytes and NUL pass") << QByteArray("\xE9/E9\0", 5) << QByteArray("\xE9\xE9\0", 3);
}

void TestTagData::parse()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(parseTagData(text), bytes);
    QCOMPARE(tagDataByteCount(text), bytes.size());
}

// Exactly "0"-"9" and "A"-"F" are digits, in either place of an escape.
void TestTagData::escapeDigitsOverAllBytes()
{
    const QByteArray digits("0123456789ABCDEF");
    for (int b = 0; b < 256; ++b) {
        const char c = char(b);
        const int digit = digits.indexOf(c);
        const QByteArray first = QByteArray("/") + c + "0", second = QByteArray("/0") + c;
        QCOMPARE(parseTagData(QByteArray("x") + c + "y"), QByteArray("x") + c + "y");
        QCOMPARE(parseTagData(first), digit < 0 ? first : QByteArray(1, char(digit * 16)));
        QCOMPARE(parseTagData(second), digit < 0 ? second : QByteArray(1, char(digit)));
    }
}

void TestTagData::writeCommand_data()
{
    QTest::addColumn<bool>("shortForm");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QByteArray>("command"); // empty: refused

    const QByteArray a99(99, 'a'), a100(100, 'a'), a123(123, 'a'), a2079(2079, 'a');
    QTest::newRow("ABD") << false << QByteArray("ABD") << QByteArray("R4") << QByteArray("W003ABDR4");
    QTest::newRow("/41/42") << false << QByteArray("/41/42") << QByteArray("R4") << QByteArray("W002ABR4");
    QTest::newRow("/4G1") << false << QByteArray("/4G1") << QByteArray("R4") << QByteArray("W004/4G1R4");
    QTest::newRow("empty text") << false << QByteArray() << QByteArray("R4") << QByteArray("W000R4");
    QTest::newRow("empty code") << false << QByteArray("AB") << QByteArray() << QByteArray("W002AB");
    QTest::newRow("/00") << false << QByteArray("/00") << QByteArray("R4") << QByteArray("W001\0R4", 7);
    QTest::newRow("99 bytes") << false << a99 << QByteArray("R4") << "W099" + a99 + "R4";
    QTest::newRow("100 bytes") << false << a100 << QByteArray("R4") << "W0:0" + a100 + "R4";
    // 48 + 123 / 10 is '<'.
    QTest::newRow("123 bytes") << false << a123 << QByteArray("R4") << "W0<3" + a123 + "R4";
    QTest::newRow("123 bytes by escapes") << false << QByteArray("/61").repeated(123) << QByteArray("R4")
                                          << "W0<3" + a123 + "R4";
    QTest::newRow("2079 bytes") << false << a2079 << QByteArray("R4") << "W0\xFF" "9" + a2079 + "R4";
    QTest::newRow("2079 bytes from 6237 characters") << false << QByteArray("/61").repeated(2079)
                                                     << QByteArray("R4") << "W0\xFF" "9" + a2079 + "R4";
    QTest::newRow("2080 bytes refused") << false << QByteArray(2080, 'a') << QByteArray("R4") << QByteArray();

    QTest::newRow("short 12345") << true << QByteArray("12345") << QByteArray("R4") << QByteArray("w512345R4");
    QTest::newRow("short empty") << true << QByteArray() << QByteArray("R4") << QByteArray("w0R4");
    QTest::newRow("short escape literal") << true << QByteArray("/41") << QByteArray("R4") << QByteArray("w3/41R4");
    QTest::newRow("short NUL and high byte") << true << QByteArray("\0\xFF", 2) << QByteArray("C8")
                                             << QByteArray("w2\0\xFF" "C8", 6);
    QTest::newRow("short 207") << true << QByteArray(207, 'z') << QByteArray("R4")
                               << "w\xFF" + QByteArray(207, 'z') + "R4";
    QTest::newRow("short 208 refused") << true << QByteArray(208, 'z') << QByteArray("R4") << QByteArray();
}

void TestTagData::writeCommand()
{
    QFETCH(bool, shortForm);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, code);
    QFETCH(QByteArray, command);

    const Result<QByteArray> result = shortForm ? buildShortTagWriteCommand(text, code) : buildTagWriteCommand(text, code);
    QCOMPARE(result.value_or(QByteArray()), command);
    QCOMPARE(result.ok(), !command.isEmpty());
    // A refusal says how much there was.
    if (!result)
        QVERIFY2(result.error().startsWith(QString::number(text.size())), qPrintable(result.error()));
}

QTEST_GUILESS_MAIN(TestTagData)
#include "tst_tagdata.moc"
