// 8-bit line files: what is written is exactly what is read back, and no write
// ever leaves a file half done.
#include "platform/textfile.h"
#include "support/testdir.h"

#include <QTest>

using namespace zanto;

class TestTextFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void writesCrLfAndEveryByte();
    void createIfMissingKeepsExisting();
    void failedWriteKeepsOldFile();
    void limits_data();
    void limits();
};

void TestTextFile::writesCrLfAndEveryByte()
{
    TestDir dir;
    QByteArray every;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r' && b != '\n')
            every.append(char(b));
    }
    const QString path = dir.filePath(QStringLiteral("all.zq"));
    QCOMPARE(writeLineFile(path, {"one", every, ""}), QString());
    QCOMPARE(dir.read(QStringLiteral("all.zq")), QByteArray("one\r\n") + every + "\r\n\r\n");
    QCOMPARE(readLineFile(path).lines, (QList<QByteArray>{"one", every, ""}));
}

void TestTextFile::createIfMissingKeepsExisting()
{
    TestDir dir;
    const QString path = dir.filePath(QStringLiteral("settings1.ini"));
    QCOMPARE(createIfMissing(path), QString());
    QVERIFY(fileExists(path));
    QCOMPARE(dir.read(QStringLiteral("settings1.ini")), QByteArray());
    QVERIFY(dir.write(QStringLiteral("settings1.ini"), "kept\r\n"));
    QCOMPARE(createIfMissing(path), QString());
    QCOMPARE(dir.read(QStringLiteral("settings1.ini")), QByteArray("kept\r\n"));
}

void TestTextFile::failedWriteKeepsOldFile()
{
    TestDir dir;
    // A directory where the file should go: nothing can be written there, and
    // a file beside it must not be touched.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("blocked.zq")));
    QVERIFY(!writeLineFile(dir.filePath(QStringLiteral("blocked.zq")), {"x"}).isEmpty());
    QVERIFY(!writeLineFile(dir.filePath(QStringLiteral("missing-dir/a.zq")), {"x"}).isEmpty());
    QVERIFY(!readLineFile(dir.filePath(QStringLiteral("nothing.zq"))).problem.isEmpty());
}

void TestTextFile::limits_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<bool>("problem");
    const QByteArray longLine(70 * 1024, 'x');
    QTest::newRow("line over 64 KiB stops the reading") << QByteArray("a\r\n" + longLine + "\r\nc\r\n") << QList<QByteArray>{"a"} << true;
    QByteArray big = "first\r\nsecond\r\n";
    while (big.size() < 1100 * 1024)
        big += QByteArray(1000, 'y') + "\r\n";
    QTest::newRow("file over 1 MiB: its start") << big << QList<QByteArray>{"first", "second"} << false;
    QByteArray binary;
    for (int i = 0; i < 5000; ++i)
        binary.append(char((i * 7919) & 0xFF));
    QTest::newRow("binary garbage") << binary << parseLines(binary, {2, -1}).lines << false;
}

void TestTextFile::limits()
{
    QFETCH(QByteArray, content);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(bool, problem);
    TestDir dir;
    QVERIFY(dir.write(QStringLiteral("f.ini"), content));
    FileReadLimits limits;
    limits.maxLines = 2;
    const FileLines read = readLineFile(dir.filePath(QStringLiteral("f.ini")), limits);
    QCOMPARE(read.lines, lines);
    QCOMPARE(!read.problem.isEmpty(), problem);
}

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
