// A save stopped by a signal (Ctrl+C, a logout, a kill) takes its unfinished
// file with it and leaves the old one whole. The save runs in a helper
// program with the tool's handler (stoppedwriter.cpp), held in the middle of
// its write.
#include "support/testdir.h"

#include <QDir>
#include <QProcess>
#include <QTest>

#include <csignal>

class TestStoppedSave : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void signalRemovesNewFile_data();
    void signalRemovesNewFile();
};

void TestStoppedSave::signalRemovesNewFile_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestStoppedSave::signalRemovesNewFile()
{
    QFETCH(int, signal);
    TestDir dir;
    QVERIFY(dir.write(QStringLiteral("rows.txt"), "old\r\n"));
    QProcess writer;
    writer.start(QStringLiteral(ZANTO_STOPPED_WRITER), {dir.path()});
    QVERIFY(writer.waitForStarted());
    QVERIFY2(writer.waitForReadyRead(20000), "the helper never got to its write");
    QCOMPARE(writer.readAll(), QByteArray("writing\n"));
    const QStringList during = QDir(dir.path()).entryList({QStringLiteral(".zanto-*.tmp")}, QDir::Files | QDir::Hidden);
    QCOMPARE(during.size(), 1);
    QVERIFY(QFileInfo(dir.filePath(during[0])).size() >= 3 * 1024 * 1024);

    ::kill(pid_t(writer.processId()), signal);

    QVERIFY(writer.waitForFinished(10000));
    // Ended by the signal itself, as it would have without the handler.
    QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
    QCOMPARE(writer.exitCode(), signal);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("rows.txt")});
    QCOMPARE(dir.read(QStringLiteral("rows.txt")), QByteArray("old\r\n"));
}

QTEST_GUILESS_MAIN(TestStoppedSave)
#include "tst_stoppedsave.moc"
