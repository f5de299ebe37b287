// The file functions with the system failing or changing under them: each
// step of a write failing in turn, the order of those steps, and a symbolic
// link swapped in at the very moment a name is opened or renamed onto, after
// every look the tool takes at it. The library preloaded into this program
// (support/syscallfaults.c) does the failing and the swapping.
#include "platform/configfiles.h"
#include "platform/textfile.h"
#include "support/hostilefolder.h"
#include "support/syscallfaults.h"
#include "support/testdir.h"

#include <QFileInfo>
#include <QTest>

#include <cerrno>

using namespace zanto;

namespace {

// What a write or a create says went wrong; empty when nothing did.
QString writeProblem(const QString &path, const QList<QByteArray> &lines)
{
    const Done written = writeLineFile(path, lines);
    return written ? QString() : written.error();
}

QString createProblem(const QString &path)
{
    const Done created = createIfMissing(path);
    return created ? QString() : created.error();
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestFileSyscalls : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void failedStep_data();
    void failedStep();
    void stepsInOrder();
    void linkSwappedIn_data();
    void linkSwappedIn();

private:
    SyscallFaults m_faults;
};

void TestFileSyscalls::initTestCase()
{
    m_faults = SyscallFaults::find();
    if (!m_faults.loaded())
        QFAIL(SyscallFaultsMissing);
}

void TestFileSyscalls::init()
{
    m_faults.reset();
}

void TestFileSyscalls::failedStep_data()
{
    QTest::addColumn<QByteArray>("call");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("reason"); // how the system words the error
    QTest::addColumn<bool>("existed");
    const struct {
        const char *call;
        int error;
        const char *reason;
    } steps[] = {
        {"write", ENOSPC, "No space left on device"},
        {"fsync", EIO, "Input/output error"},
        {"close", EDQUOT, "Disk quota exceeded"},
        {"renameat", EROFS, "Read-only file system"},
    };
    for (const auto &s : steps) {
        QTest::addRow("%s fails, over an old file", s.call) << QByteArray(s.call) << s.error << s.reason << true;
        QTest::addRow("%s fails, no file before", s.call) << QByteArray(s.call) << s.error << s.reason << false;
    }
}

// Whichever step fails, the old file stays whole, the new one goes, and the
// message says what happened to the file and why.
void TestFileSyscalls::failedStep()
{
    QFETCH(QByteArray, call);
    QFETCH(int, error);
    QFETCH(QString, reason);
    QFETCH(bool, existed);
    TestDir dir;
    const QByteArray old = "old\r\nvalues\r\n";
    if (existed)
        QVERIFY(dir.write("f.ini", old));
    m_faults.arm(call.constData(), error);

    const QString problem = writeProblem(dir.filePath("f.ini"), {"new", "lines"});

    QVERIFY2(problem.contains("not written") && problem.contains(reason), qPrintable(problem));
    QVERIFY2(problem.contains(existed ? "the old file is unchanged" : "no file was created"), qPrintable(problem));
    QCOMPARE(entries(dir.path()), existed ? QStringList{"f.ini"} : QStringList{});
    if (existed)
        QCOMPARE(dir.read("f.ini"), old);
}

// The new file is on the disk before it takes the name, and closed without
// error: only then can a crash or a full disk leave no half file behind.
void TestFileSyscalls::stepsInOrder()
{
    TestDir dir;
    QVERIFY(dir.write("f.ini", "old\r\n"));
    QCOMPARE(writeProblem(dir.filePath("f.ini"), {"a", "b"}), QString());
    QCOMPARE(QByteArray(m_faults.trace()), QByteArray("owfcr"));
    QCOMPARE(dir.read("f.ini"), QByteArray("a\r\nb\r\n"));
}

void TestFileSyscalls::linkSwappedIn_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<QByteArray>("call"); // the call the link is swapped in before
    QTest::newRow("readLineFile") << "readLineFile" << QByteArray("openat");
    QTest::newRow("readFileBytes") << "readFileBytes" << QByteArray("openat");
    QTest::newRow("readConfigFile") << "readConfigFile" << QByteArray("openat");
    QTest::newRow("createIfMissing, a dangling link") << "createIfMissing" << QByteArray("openat");
    QTest::newRow("writeLineFile") << "writeLineFile" << QByteArray("renameat");
}

// A link put at the name after the tool looked at it is never followed: a
// read is refused, a create does not make the file the link points to, a write
// replaces the link itself. Nothing outside the folder is read or changed.
void TestFileSyscalls::linkSwappedIn()
{
    QFETCH(QString, function);
    QFETCH(QByteArray, call);
    HostileFolder folder;
    QVERIFY(folder.isValid());
    const QString path = folder.path() + "/cfg.zq";
    const bool create = function == "createIfMissing";
    if (!create) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("mine\r\n") == 6);
    }
    const QByteArray outside = folderSnapshot(folder.outsidePath());
    // A file with secret bytes, or (for a create) a name nothing stands at yet.
    const QString target = folder.outsidePath() + (create ? "/created.txt" : "/victim.txt");
    m_faults.swapLink(call.constData(), "cfg.zq", QFile::encodeName(target).constData());

    QString problem;
    QByteArray got;
    if (function == "readLineFile") {
        const Result<QList<QByteArray>> read = readLineFile(path);
        problem = read ? QString() : read.error();
        got = read.value_or({}).join('\n');
    } else if (function == "readFileBytes") {
        const auto read = readFileBytes(folder.path(), "cfg.zq", -1);
        problem = read ? QString() : read.error().message;
        got = read ? read->content : QByteArray();
    } else if (function == "readConfigFile") {
        const auto read = readConfigFile(folder.path(), "cfg.zq");
        problem = read ? QString() : read.error().message;
        got = read ? read->join('\n') : QByteArray();
    } else if (create) {
        problem = createProblem(path);
    } else {
        problem = writeProblem(path, {"new"});
    }

    QVERIFY2(QByteArray(m_faults.trace()).contains('s'), "the link was never swapped in");
    QCOMPARE(folderSnapshot(folder.outsidePath()), outside);
    if (function == "writeLineFile") {
        QCOMPARE(problem, QString());
        QVERIFY(QFileInfo(path).isFile() && !QFileInfo(path).isSymLink());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("new\r\n"));
    } else {
        QVERIFY2(problem.contains("symbolic link"), qPrintable(problem));
        QCOMPARE(got, QByteArray());
    }
}

QTEST_GUILESS_MAIN(TestFileSyscalls)
#include "tst_filesyscalls.moc"
