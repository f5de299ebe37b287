// 8-bit line files: what is written is exactly what is read back, and no write
// ever leaves a file half done.
#include "platform/textfile.h"
#include "support/results.h"
#include "support/testdir.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

using namespace zanto;

class TestTextFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void writesCrLfAndEveryByte();
    void createIfMissingKeepsExisting();
    void failedWriteKeepsOldFile();
    void lineFeedRefusedCrKept_data();
    void lineFeedRefusedCrKept();
    void shownName_data();
    void shownName();
    void limits_data();
    void limits();
    void cancelKeepsOldFile_data();
    void cancelKeepsOldFile();
    void leftoversRemovedAtStart_data();
    void leftoversRemovedAtStart();
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
    QCOMPARE(problemOf(writeLineFile(path, {"one", every, ""})), QString());
    QCOMPARE(dir.read(QStringLiteral("all.zq")), QByteArray("one\r\n") + every + "\r\n\r\n");
    QCOMPARE(readLineFile(path).value_or({}), (QList<QByteArray>{"one", every, ""}));
}

void TestTextFile::createIfMissingKeepsExisting()
{
    TestDir dir;
    const QString path = dir.filePath(QStringLiteral("settings1.ini"));
    QCOMPARE(problemOf(createIfMissing(path)), QString());
    QVERIFY(QFileInfo(path).isFile() && !QFileInfo(path).isSymLink());
    QCOMPARE(dir.read(QStringLiteral("settings1.ini")), QByteArray());
    QVERIFY(dir.write(QStringLiteral("settings1.ini"), "kept\r\n"));
    QCOMPARE(problemOf(createIfMissing(path)), QString());
    QCOMPARE(dir.read(QStringLiteral("settings1.ini")), QByteArray("kept\r\n"));
}

void TestTextFile::failedWriteKeepsOldFile()
{
    TestDir dir;
    // A directory where the file should go: nothing can be written there, and
    // a file beside it must not be touched.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("blocked.zq")));
    QVERIFY(!writeLineFile(dir.filePath(QStringLiteral("blocked.zq")), {"x"}));
    QVERIFY(!writeLineFile(dir.filePath(QStringLiteral("missing-dir/a.zq")), {"x"}));
    QVERIFY(!readLineFile(dir.filePath(QStringLiteral("nothing.zq"))));
}

void TestTextFile::lineFeedRefusedCrKept_data()
{
    QTest::addColumn<QByteArray>("before"); // null: no file
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QByteArray>("after");  // null: no file
    QTest::addColumn<QString>("problem");
    QTest::newRow("CR inside and at the end of values")
        << QByteArray("old\r\n") << QList<QByteArray>{"a\rb", "c\r", "\r"} << QByteArray("a\rb\r\nc\r\r\n\r\r\n") << "";
    QTest::newRow("line feed over an old file") << QByteArray("old\r\n") << QList<QByteArray>{"a", "b\nc"}
                                               << QByteArray("old\r\n")
                                               << "f.ini not written: line 2 holds a line feed; the old file is unchanged";
    QTest::newRow("line feed, no file before") << QByteArray() << QList<QByteArray>{"\n"} << QByteArray()
                                              << "f.ini not written: line 1 holds a line feed; no file was created";
}

// A value holding LF would come back as two lines and shift every value after
// it; one holding CR comes back as it was.
void TestTextFile::lineFeedRefusedCrKept()
{
    QFETCH(QByteArray, before);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QByteArray, after);
    QFETCH(QString, problem);
    TestDir dir;
    if (!before.isNull())
        QVERIFY(dir.write(QStringLiteral("f.ini"), before));
    const QString path = dir.filePath(QStringLiteral("f.ini"));
    QCOMPARE(problemOf(writeLineFile(path, lines)), problem);
    QCOMPARE(QFile::exists(path), !after.isNull());
    QCOMPARE(dir.read(QStringLiteral("f.ini")), after);
    if (problem.isEmpty())
        QCOMPARE(readLineFile(path).value_or({}), lines);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), after.isNull() ? 0 : 1);
}

void TestTextFile::shownName_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << QByteArray("settings1.ini") << "settings1.ini";
    QTest::newRow("UTF-8") << QByteArray("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80.zq") << QString::fromUtf8("Caf\u00E9 \u20AC \U0001F600.zq");
    QTest::newRow("Latin-1 byte") << QByteArray("caf\xE9.zq") << "caf\\xE9.zq";
    QTest::newRow("cut sequence") << QByteArray("\xE2\x82.zq") << "\\xE2\\x82.zq";
    QTest::newRow("lone continuation, then UTF-8") << QByteArray("\x80\xC3\xA9") << QString::fromUtf8("\\x80\u00E9");
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << "\\xC0\\xAF";
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << "\\xED\\xA0\\x80";
    QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << "\\xF4\\x90\\x80\\x80";
    QTest::newRow("C0 and DEL") << QByteArray("a\tb\nc\x7F") << "a\\x09b\\x0Ac\\x7F";
    QTest::newRow("C1 NEL") << QByteArray("A\xC2\x85" "B") << "A\\xC2\\x85B";
    QTest::newRow("right-to-left override") << QByteArray("a\xE2\x80\xAE" "b") << "a\\xE2\\x80\\xAEb";
    QTest::newRow("line separator") << QByteArray("a\xE2\x80\xA8") << "a\\xE2\\x80\\xA8";
    QTest::newRow("a backslash is not an escape") << QByteArray("a\\xE9") << "a\\\\xE9";
}

void TestTextFile::shownName()
{
    QFETCH(QByteArray, raw);
    QFETCH(QString, shown);
    QCOMPARE(shownFileName(raw), shown);
}

void TestTextFile::limits_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<bool>("problem");
    const QByteArray longLine(70 * 1024, 'x');
    QTest::newRow("a line over 64 KiB: nothing used") << QByteArray("a\r\n" + longLine + "\r\nc\r\n") << QList<QByteArray>{} << true;
    QTest::newRow("a line over 64 KiB after those wanted") << QByteArray("a\r\nb\r\n" + longLine + "\r\n") << QList<QByteArray>{"a", "b"} << false;
    QByteArray big = "first\r\nsecond\r\n";
    while (big.size() < 1100 * 1024)
        big += QByteArray(1000, 'y') + "\r\n";
    QTest::newRow("file over 1 MiB, the lines wanted in its start") << big << QList<QByteArray>{"first", "second"} << false;
    QTest::newRow("file over 1 MiB of one line: nothing used") << QByteArray(1100 * 1024, 'z') << QList<QByteArray>{} << true;
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
    const Result<QList<QByteArray>> read = readLineFile(dir.filePath(QStringLiteral("f.ini")), limits);
    QCOMPARE(read.value_or({}), lines);
    QCOMPARE(!read, problem);
    if (!read)
        QVERIFY2(read.error().contains("not used"), qPrintable(read.error()));
}

namespace {

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// The id of a process that has ended (and been reaped).
qint64 deadPid()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

} // namespace

void TestTextFile::cancelKeepsOldFile_data()
{
    QTest::addColumn<int>("cancelAtReport"); // -1: never
    QTest::addColumn<QList<qsizetype>>("lineReports");
    // 3000 lines of 1,000 bytes and CR LF: the writer hands the system a
    // piece once 1 MiB is gathered (after line 1047 and line 2094), then the rest.
    QTest::newRow("not cancelled") << -1 << QList<qsizetype>{1047, 2094, 3000};
    QTest::newRow("cancelled after the first piece") << 0 << QList<qsizetype>{1047};
    // Everything is written and on its way to the disk, but the old file is
    // still there until the new one takes its name.
    QTest::newRow("cancelled once all is written") << 2 << QList<qsizetype>{1047, 2094, 3000};
}

// Cancel leaves the old file whole and no new file beside it, wherever the
// write is; progress counts lines and bytes as they go out.
void TestTextFile::cancelKeepsOldFile()
{
    QFETCH(int, cancelAtReport);
    QFETCH(QList<qsizetype>, lineReports);
    TestDir dir;
    QVERIFY(dir.write(QStringLiteral("rows.txt"), "old\r\n"));
    WriteControl control;
    QList<qsizetype> lines;
    QList<qint64> bytes;
    QStringList during;
    control.progress = [&](qsizetype line, qint64 written) {
        lines << line;
        bytes << written;
        during = entries(dir.path());
        if (lines.size() == cancelAtReport + 1)
            control.cancel = true;
    };
    const QByteArray line(1000, 'x');
    const Done written = writeLineFile(dir.filePath(QStringLiteral("rows.txt")), 3000, [&](qsizetype) { return line; }, &control);

    QCOMPARE(lines, lineReports);
    QCOMPARE(bytes.last(), lines.last() * 1002);
    // The new file stands beside the old one meanwhile, named with this
    // process's id so a later start can tell whether its writer is gone.
    QCOMPARE(during.size(), 2);
    QVERIFY2(during[0].startsWith(QStringLiteral(".zanto-%1-").arg(getpid())) && during[0].endsWith(".tmp"),
             qPrintable(during[0]));
    if (cancelAtReport < 0) {
        QVERIFY(written);
        QCOMPARE(dir.read(QStringLiteral("rows.txt")).size(), 3000 * 1002);
    } else {
        QCOMPARE(problemOf(written), QStringLiteral("rows.txt not written: cancelled; the old file is unchanged"));
        QCOMPARE(dir.read(QStringLiteral("rows.txt")), QByteArray("old\r\n"));
    }
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("rows.txt")});
}

void TestTextFile::leftoversRemovedAtStart_data()
{
    QTest::addColumn<QString>("name"); // %1: the pid
    QTest::addColumn<QString>("kind"); // file, link, folder
    QTest::addColumn<QString>("pid");  // dead, live, own
    QTest::addColumn<bool>("removed");
    QTest::newRow("file of a program that is gone") << ".zanto-%1-3fa9c2.tmp" << "file" << "dead" << true;
    QTest::newRow("file of a running program") << ".zanto-%1-3fa9c2.tmp" << "file" << "live" << false;
    QTest::newRow("file of this process's id, from before") << ".zanto-%1-3fa9c2.tmp" << "file" << "own" << true;
    QTest::newRow("link named like one") << ".zanto-%1-3fa9c2.tmp" << "link" << "dead" << false;
    QTest::newRow("folder named like one") << ".zanto-%1-3fa9c2.tmp" << "folder" << "dead" << false;
    QTest::newRow("older name without an id") << ".zanto-3fa9c2.tmp" << "file" << "dead" << false;
    QTest::newRow("another name") << ".zanto-%1-3fa9c2.tmp.bak" << "file" << "dead" << false;
}

// At start the tool removes the new files a stopped save left behind, and
// nothing else: not another instance's file in progress, not a link (nor
// what it points to), not a folder.
void TestTextFile::leftoversRemovedAtStart()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, pid);
    QFETCH(bool, removed);
    TestDir dir;
    QTemporaryDir outside;
    const qint64 id = pid == "dead" ? deadPid() : pid == "live" ? qint64(getppid()) : qint64(getpid());
    if (name.contains("%1"))
        name = name.arg(id);
    const QString path = dir.filePath(name);
    const QString target = outside.filePath(QStringLiteral("kept.txt"));
    QFile targetFile(target);
    QVERIFY(targetFile.open(QIODevice::WriteOnly) && targetFile.write("outside\n") == 8);
    targetFile.close();
    if (kind == "file")
        QVERIFY(dir.write(name, "half a save"));
    else if (kind == "link")
        QVERIFY(QFile::link(target, path));
    else
        QVERIFY(QDir(dir.path()).mkdir(name));
    QVERIFY(dir.write(QStringLiteral("rows.txt"), "kept\r\n"));

    QCOMPARE(removeLeftoverTemporaryFiles(dir.path()), removed ? 1 : 0);

    const QStringList left = removed ? QStringList{"rows.txt"} : QStringList{name, "rows.txt"};
    QCOMPARE(entries(dir.path()), left);
    QCOMPARE(dir.read(QStringLiteral("rows.txt")), QByteArray("kept\r\n"));
    QVERIFY(targetFile.open(QIODevice::ReadOnly));
    QCOMPARE(targetFile.readAll(), QByteArray("outside\n"));
}

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
