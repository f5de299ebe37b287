#include "platform/configfiles.h"
#include "protocol/linefile.h"
#include "support/results.h"
#include "support/testdir.h"

#include <QFile>
#include <QScopeGuard>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zanto;
using Lines = QList<QByteArray>;

// The lines read, or none when the file was refused.
template <typename E> static Lines linesOf(const Result<Lines, E> &read)
{
    return read ? *read : Lines{};
}

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
    void entriesByRawName();
};

void TestConfigFiles::fileName_data()
{
    QTest::addColumn<QString>("readerName");
    QTest::addColumn<QString>("fileName"); // empty: refused
    QTest::addColumn<QString>("problem");  // the whole message, reason first

    QTest::newRow("empty name") << "" << ".zq" << "";
    QTest::newRow("longer than typed") << "READER77" << "READER77.zq" << "";
    QTest::newRow("one dot, blanks") << " a.b " << " a.b .zq" << "";
    QTest::newRow("blanks around") << " AB " << " AB .zq" << "";
    QTest::newRow("latin-1") << QString::fromLatin1("Caf\xE9\xFF") << QString::fromLatin1("Caf\xE9\xFF.zq") << "";
    QTest::newRow("no-break space is no control") << QString::fromLatin1("a\xA0") << QString::fromLatin1("a\xA0.zq") << "";
    QTest::newRow("slash") << "a/b" << "" << "Not written: '/' cannot be in a file name (ReaderName \"a/b\")";
    QTest::newRow("backslash") << "a\\b" << "" << "Not written: '\\' cannot be in a file name (ReaderName \"a\\b\")";
    QTest::newRow("two dots") << ".." << "" << "Not written: \"..\" cannot be in a file name (ReaderName \"..\")";
    QTest::newRow("two dots inside") << "x..y" << ""
                                     << "Not written: \"..\" cannot be in a file name (ReaderName \"x..y\")";
    QTest::newRow("tab") << "x\ty" << ""
                         << "Not written: a control character (U+0009) cannot be in a file name (ReaderName \"x?y\")";
    QTest::newRow("DEL") << "x\x7F" << ""
                         << "Not written: a control character (U+007F) cannot be in a file name (ReaderName \"x?\")";
    QTest::newRow("C1 first") << QString::fromLatin1("\x80x") << ""
                              << "Not written: a control character (U+0080) cannot be in a file name (ReaderName \"?x\")";
    QTest::newRow("C1 NEL") << QString::fromLatin1("x\x85y") << ""
                            << "Not written: a control character (U+0085) cannot be in a file name (ReaderName \"x?y\")";
    QTest::newRow("C1 last") << QString::fromLatin1("\x9F") << ""
                             << "Not written: a control character (U+009F) cannot be in a file name (ReaderName \"?\")";
    QTest::newRow("beyond 8 bits") << QString(QChar(0x100)) << ""
                                   << QString::fromUtf8("Not written: U+0100, a character outside 8 bits, cannot be in a "
                                                        "file name (ReaderName \"\u0100\")");
}

void TestConfigFiles::fileName()
{
    QFETCH(QString, readerName);
    QFETCH(QString, fileName);
    QFETCH(QString, problem);
    const Result<QString> result = configFileName(readerName);
    QCOMPARE(result ? *result : QString(), fileName);
    QCOMPARE(problemOf(result), problem);
}

namespace {

// A file's content: each line ended by CR LF.
QByteArray crlf(const Lines &lines)
{
    return lines.join("\r\n") + (lines.isEmpty() ? "" : "\r\n");
}

} // namespace

void TestConfigFiles::readFile_data()
{
    QTest::addColumn<QString>("kind"); // what stands at the path
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Lines>("expected");
    QTest::addColumn<bool>("refused");

    const Lines twelve{"XXXXX", "Standard", "9600", "4-wire", "Frequency hopping default sub-bands", "0D", "00", "F5",
                       "48", "No Heartbeat", "Read Always", "Range 4(100%)"};
    const Lines full = numbered(16, 4094); // with CR LF exactly 64 KiB
    QTest::newRow("CR LF") << "file" << crlf(twelve) << twelve << false;
    QTest::newRow("LF only") << "file" << crlf(twelve).replace("\r\n", "\n") << twelve << false;
    QTest::newRow("empty file") << "file" << QByteArray() << Lines{} << false;
    QTest::newRow("extra lines ignored") << "file" << crlf(numbered(14)) << numbered(12) << false;
    QTest::newRow("exactly 64 KiB") << "file" << crlf(full) << full.mid(0, 12) << false;
    QTest::newRow("one byte over 64 KiB") << "file" << crlf(full) + "x" << Lines{} << true;
    QTest::newRow("line of 4096") << "file" << crlf({QByteArray(4096, 'a')}) << Lines{QByteArray(4096, 'a')}
                                  << false;
    QTest::newRow("line of 4097") << "file" << crlf({"A", QByteArray(4097, 'a')}) << Lines{} << true;
    QTest::newRow("long line after the twelfth") << "file" << crlf(numbered(12) << QByteArray(5000, 'a'))
                                                 << numbered(12) << false;
    QTest::newRow("missing") << "missing" << QByteArray() << Lines{} << true;
    QTest::newRow("directory") << "directory" << QByteArray() << Lines{} << true;
    QTest::newRow("fifo") << "fifo" << QByteArray() << Lines{} << true; // opening one would wait for a writer
    QTest::newRow("link to a file") << "link" << crlf(twelve) << Lines{} << true;
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
    else if (kind == "link")
        QVERIFY(dir.write("real.zq", content) && QFile::link(dir.filePath("real.zq"), path));
    const auto read = readConfigFile(dir.path(), "cfg.zq");
    QCOMPARE(linesOf(read), expected);
    QCOMPARE(problemOf(read).contains("cfg.zq"), refused);
    QCOMPARE(problemOf(read).isEmpty(), !refused);
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
    // Every name but a directory's, links and FIFOs included (loading them says
    // why it cannot), in byte order.
    QStringList shown;
    for (const ConfigFileEntry &entry : configFileEntries(dir.path()))
        shown << entry.shownName;
    QCOMPARE(shown, (QStringList{".zq", "B.zq", "a.zq", "b.zq", "broken.zq", "f.zq", "l.zq"}));
}

// Names are bytes: one that is not UTF-8 is listed, shown readably and opened
// by its bytes; the list is in byte order and leaves out only directories.
void TestConfigFiles::entriesByRawName()
{
    TestDir dir;
    const QByteArray where = QFile::encodeName(dir.path()) + '/';
    // By the bytes: QFile would decode the name first, and lose what is not UTF-8.
    const auto make = [&](const QByteArray &name, const QByteArray &content) {
        const int fd = ::open((where + name).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        const bool written = fd >= 0 && ::write(fd, content.constData(), size_t(content.size())) == content.size();
        return ::close(fd) == 0 && written;
    };
    for (const QByteArray &name : {QByteArray("b.zq"), QByteArray("a.zq"), QByteArray(".zq"), QByteArray("Caf\xC3\xA9.zq"),
                                   QByteArray("\xFF.zq"), QByteArray("notes.txt"), QByteArray("x.ZQ")})
        QVERIFY(make(name, "x\r\n"));
    QVERIFY(make("caf\xE9.zq", "LATIN\r\nTrack\r\n"));
    // QTemporaryDir removes by decoded names, which miss these two.
    const auto removeRaw = qScopeGuard([&] {
        ::unlink((where + "caf\xE9.zq").constData());
        ::unlink((where + "\xFF.zq").constData());
    });
    QCOMPARE(::mkdir((where + "d.zq").constData(), 0700), 0);
    QCOMPARE(::mkfifo((where + "f.zq").constData(), 0600), 0);
    QCOMPARE(::symlink((where + "a.zq").constData(), (where + "l.zq").constData()), 0);
    QCOMPARE(::symlink((where + "gone").constData(), (where + "broken.zq").constData()), 0);
    QCOMPARE(::mkdir((where + "sub").constData(), 0700), 0);
    QVERIFY(make("sub/in.zq", "x\r\n"));

    QList<QByteArray> raw;
    QStringList shown;
    for (const ConfigFileEntry &entry : configFileEntries(dir.path())) {
        raw << entry.rawName;
        shown << entry.shownName;
    }
    QCOMPARE(raw, (QList<QByteArray>{".zq", "Caf\xC3\xA9.zq", "a.zq", "b.zq", "broken.zq", "caf\xE9.zq", "f.zq", "l.zq",
                                     "\xFF.zq"}));
    QCOMPARE(shown, (QStringList{".zq", QString::fromUtf8("Caf\u00E9.zq"), "a.zq", "b.zq", "broken.zq", "caf\\xE9.zq",
                                 "f.zq", "l.zq", "\\xFF.zq"}));

    QCOMPARE(linesOf(readConfigFile(dir.path(), "caf\xE9.zq")), (Lines{"LATIN", "Track"}));
    QCOMPARE(problemOf(readConfigFile(dir.path(), "caf\xE9.zq")), QString());
    QCOMPARE(linesOf(readConfigFile(dir.path(), "\xFF.zq")), Lines{"x"});
    QCOMPARE(problemOf(readConfigFile(dir.path(), "l.zq")), "Not loaded: l.zq is a symbolic link, not a regular file");
    QCOMPARE(problemOf(readConfigFile(dir.path(), "broken.zq")), "Not loaded: broken.zq is a symbolic link, not a regular file");
    QCOMPARE(problemOf(readConfigFile(dir.path(), "f.zq")), "Not loaded: f.zq is a FIFO, not a regular file");
    // Named in the shown form, the file gone meanwhile, a name reaching into another folder.
    QCOMPARE(problemOf(readConfigFile(dir.path(), "\\xFF.zq")), "Not loaded: \\\\xFF.zq is no longer there");
    QCOMPARE(problemOf(readConfigFile(dir.path(), "sub/in.zq")), "Not loaded: cannot read sub/in.zq: a file name cannot hold '/'");
    QCOMPARE(linesOf(readConfigFile(dir.path(), "sub/in.zq")), Lines{});
}

QTEST_GUILESS_MAIN(TestConfigFiles)
#include "tst_configfiles.moc"
