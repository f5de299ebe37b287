#include "config/configfiles.h"
#include "protocol/linefile.h"
#include "support/testdir.h"

#include <QFile>
#include <QTest>

#include <sys/stat.h>

using namespace zanto;
using Lines = QList<QByteArray>;

// "1".."count", each filled to `width` characters.
static Lines numbered(int count, qsizetype width = 0)
{
    Lines out;
    for (int i = 1; i <= count; ++i)
        out.append(QByteArray::number(i).rightJustified(width, 'x'));
    return out;
}

class TestConfigFiles : public QObject
{
    Q_OBJECT
private slots:
    void fileName_data();
    void fileName();
    void readFile_data();
    void readFile();
    void listsRegularZqFilesSorted();
};

void TestConfigFiles::fileName_data()
{
    QTest::addColumn<QString>("readerName");
    QTest::addColumn<QString>("fileName"); // empty: refused

    QTest::newRow("empty name") << "" << ".zq";
    QTest::newRow("longer than typed") << "READER77" << "READER77.zq";
    QTest::newRow("one dot, blanks") << " a.b " << " a.b .zq";
    QTest::newRow("latin-1") << QString::fromLatin1("Caf\xE9\xFF") << QString::fromLatin1("Caf\xE9\xFF.zq");
    QTest::newRow("slash") << "a/b" << "";
    QTest::newRow("backslash") << "a\\b" << "";
    QTest::newRow("two dots") << ".." << "";
    QTest::newRow("two dots inside") << "x..y" << "";
    QTest::newRow("tab") << "x\ty" << "";
    QTest::newRow("DEL") << "x\x7F" << "";
    QTest::newRow("beyond 8 bits") << QString(QChar(0x100)) << "";
}

void TestConfigFiles::fileName()
{
    QFETCH(QString, readerName);
    QFETCH(QString, fileName);
    const ConfigFileName result = configFileName(readerName);
    QCOMPARE(result.fileName, fileName);
    QCOMPARE(result.problem.isEmpty(), !fileName.isEmpty());
    // One line on the dialog, whatever the name holds.
    for (QChar c : result.problem)
        QVERIFY2(c.unicode() >= 0x20 && c.unicode() != 0x7F, qPrintable(result.problem));
}

void TestConfigFiles::readFile_data()
{
    QTest::addColumn<QString>("kind"); // what stands at the path
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Lines>("expected");
    QTest::addColumn<bool>("refused");

    const Lines twelve = configFileLines(ConfigFields{});
    const Lines full = numbered(16, 4094); // with CR LF exactly 64 KiB
    QTest::newRow("CR LF") << "file" << formatLines(twelve) << twelve << false;
    QTest::newRow("LF only") << "file" << formatLines(twelve).replace("\r\n", "\n") << twelve << false;
    QTest::newRow("empty file") << "file" << QByteArray() << Lines{} << false;
    QTest::newRow("extra lines ignored") << "file" << formatLines(numbered(14)) << numbered(12) << false;
    QTest::newRow("exactly 64 KiB") << "file" << formatLines(full) << full.mid(0, 12) << false;
    QTest::newRow("one byte over 64 KiB") << "file" << formatLines(full) + "x" << Lines{} << true;
    QTest::newRow("line of 4096") << "file" << formatLines({QByteArray(4096, 'a')}) << Lines{QByteArray(4096, 'a')}
                                  << false;
    QTest::newRow("line of 4097") << "file" << formatLines({"A", QByteArray(4097, 'a')}) << Lines{} << true;
    QTest::newRow("long line after the twelfth") << "file" << formatLines(numbered(12) << QByteArray(5000, 'a'))
                                                 << numbered(12) << false;
    QTest::newRow("missing") << "missing" << QByteArray() << Lines{} << true;
    QTest::newRow("directory") << "directory" << QByteArray() << Lines{} << true;
    QTest::newRow("fifo") << "fifo" << QByteArray() << Lines{} << true; // opening one would wait for a writer
}

void TestConfigFiles::readFile()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, content);
    QFETCH(Lines, expected);
    QFETCH(bool, refused);
    TestDir dir;
    const QString path = dir.filePath("cfg.zq");
    if (kind == "file")
        QVERIFY(dir.write("cfg.zq", content));
    else if (kind == "directory")
        QVERIFY(QDir(dir.path()).mkdir("cfg.zq"));
    else if (kind == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const ConfigFileContent read = readConfigFile(path);
    QCOMPARE(read.lines, expected);
    QCOMPARE(read.problem.contains("cfg.zq"), refused);
    QCOMPARE(read.problem.isEmpty(), !refused);
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
