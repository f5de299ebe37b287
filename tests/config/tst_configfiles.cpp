#include "config/configfiles.h"
#include "support/testdir.h"

#include <QFile>
#include <QTest>

#include <sys/stat.h>

using namespace zanto;

namespace {

QByteArray lines(const QList<QByteArray> &values, const char *end = "\r\n")
{
    QByteArray out;
    for (const QByteArray &v : values)
        out += v + end;
    return out;
}

QList<QByteArray> numbered(int count, qsizetype width = 0)
{
    QList<QByteArray> out;
    for (int i = 1; i <= count; ++i)
        out.append(QByteArray::number(i).rightJustified(width, 'x'));
    return out;
}

} // namespace

class TestConfigFiles : public QObject
{
    Q_OBJECT
private slots:
    void fileName_data();
    void fileName();
    void readFile_data();
    void readFile();
    void readRefusesWhatIsNoFile_data();
    void readRefusesWhatIsNoFile();
    void listsRegularZqFilesSorted();
};

void TestConfigFiles::fileName_data()
{
    QTest::addColumn<QString>("readerName");
    QTest::addColumn<QString>("fileName"); // empty: refused

    QTest::newRow("starting name") << "XXXXX" << "XXXXX.zq";
    QTest::newRow("empty name") << "" << ".zq";
    QTest::newRow("longer than typed") << "READER77" << "READER77.zq";
    QTest::newRow("one dot") << "a.b" << "a.b.zq";
    QTest::newRow("blanks") << " x " << " x .zq";
    QTest::newRow("latin-1") << QString::fromLatin1("Caf\xE9\xFF") << QString::fromLatin1("Caf\xE9\xFF.zq");
    QTest::newRow("slash") << "a/b" << "";
    QTest::newRow("parent path") << "../x" << "";
    QTest::newRow("backslash") << "a\\b" << "";
    QTest::newRow("two dots") << ".." << "";
    QTest::newRow("two dots inside") << "x..y" << "";
    QTest::newRow("tab") << "x\ty" << "";
    QTest::newRow("line feed") << "x\n" << "";
    QTest::newRow("DEL") << "x\x7F" << "";
    QTest::newRow("first beyond 8 bits") << QString(QChar(0x100)) << "";
    QTest::newRow("euro") << QString(QChar(0x20AC)) + "1" << "";
}

void TestConfigFiles::fileName()
{
    QFETCH(QString, readerName);
    QFETCH(QString, fileName);
    const ConfigFileName result = configFileName(readerName);
    QCOMPARE(result.fileName, fileName);
    if (fileName.isEmpty()) {
        QVERIFY(!result.problem.isEmpty());
        // One line on the dialog, whatever the name holds.
        for (QChar c : result.problem)
            QVERIFY2(c.unicode() >= 0x20 && c.unicode() != 0x7F, qPrintable(result.problem));
    } else {
        QVERIFY(result.problem.isEmpty());
    }
}

void TestConfigFiles::readFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<QByteArray>>("expected");
    QTest::addColumn<bool>("refused");

    const QList<QByteArray> twelve = configFileLines(ConfigFields{});
    QTest::newRow("CR LF") << lines(twelve) << twelve << false;
    QTest::newRow("LF only") << lines(twelve, "\n") << twelve << false;
    QTest::newRow("no end on last line") << QByteArray("A\r\nB") << QList<QByteArray>{"A", "B"} << false;
    QTest::newRow("CR inside a value stays") << QByteArray("A\rB\r\n") << QList<QByteArray>{"A\rB"} << false;
    QTest::newRow("empty lines") << QByteArray("\r\n\r\n") << QList<QByteArray>{"", ""} << false;
    QTest::newRow("empty file") << QByteArray() << QList<QByteArray>{} << false;
    QTest::newRow("extra lines ignored") << lines(numbered(14)) << numbered(12) << false;

    // 16 lines of 4094 characters and CR LF: exactly 64 KiB.
    const QList<QByteArray> full = numbered(16, 4094);
    QTest::newRow("exactly 64 KiB") << lines(full) << full.mid(0, 12) << false;
    QTest::newRow("one byte over 64 KiB") << lines(full) + "x" << QList<QByteArray>{} << true;
    QTest::newRow("line of 4096") << lines({QByteArray(4096, 'a')}) << QList<QByteArray>{QByteArray(4096, 'a')} << false;
    QTest::newRow("line of 4097") << lines({"A", QByteArray(4097, 'a')}) << QList<QByteArray>{} << true;
    QTest::newRow("long line after the twelfth") << lines(numbered(12) << QByteArray(5000, 'a')) << numbered(12) << false;
}

void TestConfigFiles::readFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QList<QByteArray>, expected);
    QFETCH(bool, refused);
    TestDir dir;
    QVERIFY(dir.write("cfg.zq", content));
    const ConfigFileContent read = readConfigFile(dir.filePath("cfg.zq"));
    QCOMPARE(read.lines, expected);
    QCOMPARE(read.problem.isEmpty(), !refused);
    if (refused)
        QVERIFY2(read.problem.contains("cfg.zq"), qPrintable(read.problem));
}

void TestConfigFiles::readRefusesWhatIsNoFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("directory") << "directory";
    QTest::newRow("fifo") << "fifo"; // opening one to read would wait for a writer
}

void TestConfigFiles::readRefusesWhatIsNoFile()
{
    QFETCH(QString, kind);
    TestDir dir;
    const QString path = dir.filePath("cfg.zq");
    if (kind == "directory")
        QVERIFY(QDir(dir.path()).mkdir("cfg.zq"));
    else if (kind == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const ConfigFileContent read = readConfigFile(path);
    QVERIFY(read.lines.isEmpty());
    QVERIFY2(read.problem.contains("cfg.zq"), qPrintable(read.problem));
}

void TestConfigFiles::listsRegularZqFilesSorted()
{
    TestDir dir;
    for (const char *name : {"b.zq", "a.zq", "B.zq", ".zq", "notes.txt", "c.zq.bak", "zq"})
        QVERIFY(dir.write(name, "x\r\n"));
    QVERIFY(QDir(dir.path()).mkdir("d.zq"));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("f.zq")).constData(), 0600), 0);
    QVERIFY(QFile::link(dir.filePath("a.zq"), dir.filePath("l.zq")));
    QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("broken.zq")));

    QCOMPARE(configFileNames(dir.path()), (QStringList{".zq", "B.zq", "a.zq", "b.zq", "l.zq"}));
}

QTEST_GUILESS_MAIN(TestConfigFiles)
#include "tst_configfiles.moc"
