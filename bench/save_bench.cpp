// "Save rows as..." of a full grid in the main window: how long the event loop
// is ever kept from a 10 ms timer while the save runs, with a reader's stream
// still arriving, and how fast the file is written; beside it, the same save
// on the window thread, as it ran before (the window frozen for all of it).
//
//   save_bench [MiB] [--stream KIB_PER_S]
//     MiB     the rows' bytes in the grid (default 256: the grid's budget, a
//             file of about 1.2 GB with the arrival times)
//     KIB_PER_S  what arrives while the save runs, in 32,767-byte bursts
//             (default 4096); 0 for none
#include "app/mainwindow.h"
#include "benchsupport.h"
#include "link/receivepipeline.h"
#include "widgets/receivedgrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace zanto;

namespace {

void print(const char *key, double value, int decimals = 1)
{
    std::printf("%s: %.*f\n", key, decimals, value);
    std::fflush(stdout);
}

// A burst of the whole byte range, so the text part has escapes to write too.
QByteArray burstBytes(qint64 n)
{
    QByteArray bytes(ReceivePipeline::MaxBurstBytes, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 31 + n) & 0xFF);
    return bytes;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    qint64 mib = 256;
    qint64 streamKiB = 4096;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--stream") && i + 1 < args.size())
            streamKiB = args[++i].toLongLong();
        else
            mib = args[i].toLongLong();
    }
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    MainWindow w;
    w.show();
    auto *pipeline = w.findChild<ReceivePipeline *>(QStringLiteral("ReceivePipeline"));
    auto *grid = w.findChild<ReceivedGrid *>(QStringLiteral("MSFlexGrid1"));
    if (!pipeline || !grid)
        qFatal("the main window lacks a part the benchmark drives");
    grid->setByteBudget(quint64(qMax<qint64>(mib, 1)) * 1024 * 1024);

    // The grid filled as a reader that never pauses fills it: full bursts.
    qint64 bursts = 0;
    for (qint64 filled = 0; filled < mib * 1024 * 1024; filled += ReceivePipeline::MaxBurstBytes) {
        pipeline->arrival(burstBytes(bursts++));
        if (bursts % 256 == 0)
            QCoreApplication::processEvents();
    }
    grid->flush();
    QCoreApplication::processEvents();
    print("rows", double(grid->rows() - 1), 0);
    print("rows_MiB", double(mib), 0);

    // As before: the save on the window thread, which stalls it throughout.
    const QString path = dir.filePath(QStringLiteral("rows.txt"));
    QElapsedTimer clock;
    clock.start();
    if (!grid->saveRows(path))
        qFatal("the save on the window thread failed");
    const double syncSeconds = clock.nsecsElapsed() / 1e9;
    print("window_thread_save_s", syncSeconds, 2);
    QFile::remove(path);

    // The stream goes on while the save runs, and so does the budget.
    const QByteArray streamBurst = burstBytes(7);
    QTimer stream;
    qint64 streamed = 0;
    QElapsedTimer streamClock;
    QObject::connect(&stream, &QTimer::timeout, [&] {
        const qint64 due = streamKiB * 1024 * streamClock.elapsed() / 1000;
        while (streamed + streamBurst.size() <= due) {
            pipeline->arrival(streamBurst);
            streamed += streamBurst.size();
        }
    });

    resetPeakResident();
    const double rssBefore = residentMiB();
    bool ended = false;
    QObject::connect(grid, &ReceivedGrid::saveEnded, [&] { ended = true; });
    StallMeter stalls;
    stalls.start();
    if (streamKiB > 0) {
        streamClock.start();
        stream.start(5);
    }
    clock.restart();
    grid->startSave(path);
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = clock.nsecsElapsed() / 1e9;
    stream.stop();
    // The rows the save kept past the budget go at the next batch.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    stalls.stop();

    const double fileMiB = QFileInfo(path).size() / 1048576.0;
    print("file_MiB", fileMiB);
    print("save_s", seconds, 2);
    print("save_MBps", fileMiB / seconds);
    print("window_thread_save_MBps", fileMiB / syncSeconds);
    print("max_stall_ms", stalls.maxMs());
    print("stalls_over_20ms", double(stalls.over20()), 0);
    print("stalls_over_50ms", double(stalls.over50()), 0);
    print("streamed_MiB_during_save", streamed / 1048576.0);
    print("rss_before_MiB", rssBefore);
    print("peak_rss_during_save_MiB", peakResidentMiB());
    print("rss_after_MiB", residentMiB());
    return grid->notice().startsWith(QLatin1String("Saved")) ? 0 : 1;
}
