// Every file the tool reads or writes, against what a hostile folder or a full
// disk puts under its name. Whatever stands there, each call returns, says what
// it found, and changes nothing: not the planted name, not what a link points
// to, nothing outside the folder.
#include "platform/configfiles.h"
#include "platform/textfile.h"
#include "support/hostilefolder.h"
#include "support/restricteddir.h"
#include "support/results.h"

#include <QTest>

#include <unistd.h>

using namespace zanto;

namespace {

// settings1.ini, settings2.ini, a configuration file and a saved-rows file.
const QByteArray Files[] = {"settings1.ini", "settings2.ini", "XXXXX.zq", "rows.txt"};

} // namespace

class TestFileFaults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void plantedName_data();
    void plantedName();
    void fullDisk_data();
    void fullDisk();
};

void TestFileFaults::plantedName_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("plant");
    QTest::addColumn<QString>("kind"); // what the messages call it

    const struct {
        HostileFolder::Plant plant;
        const char *row;
        const char *kind;
    } plants[] = {
        {HostileFolder::LinkToOutsideFile, "link to a file outside", "a symbolic link"},
        {HostileFolder::DanglingLink, "dangling link", "a symbolic link"},
        {HostileFolder::LinkToDevice, "link to a device", "a symbolic link"},
        {HostileFolder::Fifo, "FIFO", "a FIFO"},
        {HostileFolder::DeviceNode, "device node", "a character device"},
        {HostileFolder::Directory, "directory", "a directory"},
        {HostileFolder::Socket, "socket", "a socket"},
    };
    for (const QByteArray &file : Files) {
        for (const auto &p : plants)
            QTest::addRow("%s, %s", file.constData(), p.row) << file << int(p.plant) << QString::fromLatin1(p.kind);
    }
}

void TestFileFaults::plantedName()
{
    QFETCH(QByteArray, file);
    QFETCH(int, plant);
    QFETCH(QString, kind);
    HostileFolder folder;
    QVERIFY(folder.isValid());
    if (const QString why = folder.plant(HostileFolder::Plant(plant), file); !why.isEmpty())
        QSKIP(qPrintable(why));
    const QString path = folder.path() + QLatin1Char('/') + QString::fromLatin1(file);
    const QByteArray before = folder.snapshot();
    const bool config = file.endsWith(".zq");

    // In the order a dialog uses them: create when missing, read, write.
    QString created, read, written, appended, loaded;
    QList<ConfigFileEntry> listed;
    const auto calls = [&] {
        created = problemOf(createIfMissing(path));
        read = problemOf(readLineFile(path, {4, 64 * 1024, 1024 * 1024}));
        written = problemOf(writeLineFile(path, {"1", "192.168.0.2", "9600", "10000"}));
        // As the log opens its file: to add to it.
        appended = problemOf(openForAppend(folder.path(), file));
        if (config) {
            const auto config = readConfigFile(folder.path(), file);
            loaded = config ? QString() : config.error().message;
            listed = configFileEntries(folder.path());
        }
    };
    QVERIFY2(returnsInTime(calls, folder.path()), "a call froze on the planted name");

    const QString name = QString::fromLatin1(file);
    QCOMPARE(created, name + " not used: it is " + kind);
    QCOMPARE(read, name + " not read: it is " + kind);
    QCOMPARE(written, name + " not written: it is " + kind + "; it is left as it was");
    QCOMPARE(appended, name + " not opened: it is " + kind);
    if (config) {
        QCOMPARE(loaded, "Not loaded: " + name + " is " + kind + ", not a regular file");
        // Listed, so that choosing it says why it cannot be loaded; a directory is not.
        QCOMPARE(listed.size(), plant == HostileFolder::Directory ? 0 : 1);
    }
    QCOMPARE(folder.snapshot(), before);
}

void TestFileFaults::fullDisk_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("existed");
    for (const QByteArray &file : Files) {
        QTest::addRow("%s over an old one", file.constData()) << file << true;
        QTest::addRow("%s, none before", file.constData()) << file << false;
    }
}

// A few bytes, well within any write buffer: the disk's refusal comes only when
// they are flushed, and must still keep the old file.
void TestFileFaults::fullDisk()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, existed);
    const QString name = QString::fromLatin1(file);
    const QByteArray old = "old\r\nvalues\r\n";
    // A full tmpfs needs root; otherwise a folder without write permission.
    const bool root = geteuid() == 0;
    RestrictedDir dir(root ? RestrictedDir::Full : RestrictedDir::ReadOnly,
                      existed ? QList<QPair<QString, QByteArray>>{{name, old}} : QList<QPair<QString, QByteArray>>{});
    if (!dir.isValid())
        QSKIP(qPrintable(dir.why()));
    const QByteArray before = folderSnapshot(dir.path());

    const QString problem = problemOf(writeLineFile(dir.path() + QLatin1Char('/') + name, {"1", "2"}));

    QCOMPARE(problem, name + " not written: " + (root ? "No space left on device" : "Permission denied")
                          + (existed ? "; the old file is unchanged" : "; no file was created"));
    QCOMPARE(folderSnapshot(dir.path()), before); // no half file, no file left behind
    if (existed)
        QCOMPARE(readLineFile(dir.path() + QLatin1Char('/') + name).value_or({}), (QList<QByteArray>{"old", "values"}));
}

QTEST_GUILESS_MAIN(TestFileFaults)
#include "tst_filefaults.moc"
