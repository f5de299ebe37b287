// A long run of the tool against the reader simulator: first a tag read every
// time the quiet interval allows (each its own burst), then a flood without
// pauses (cut into full rows). Prints key: value figures.
//
//   soak [SECONDS]     default 600; 40% paced bursts, then 60% flood
#include "app/mainwindow.h"
#include "benchsupport.h"
#include "windowparts.h"
#include "link/portsettings.h"
#include "link/readerlink.h"
#include "link/receivepipeline.h"
#include "widgets/receivedgrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace zanto;

namespace {

struct Figures {
    qint64 bytes = 0;
    qint64 errors = 0;
    double maxStallMs = 0;
    qint64 stallsOver50 = 0;
    qint64 stallsOver20 = 0;
    double rssMaxMiB = 0;
    double rssAtBudgetMiB = -1;
};

void print(const char *key, double value, int decimals = 1)
{
    std::printf("%s: %.*f\n", key, decimals, value);
    std::fflush(stdout);
}


// One phase: a fresh simulator with `args`, the tool connected to it for
// `seconds`, then disconnected.
bool phase(const WindowParts &parts, const QStringList &args, double seconds, const QString &dir, Figures &f)
{
    const QString portFile = dir + QStringLiteral("/port");
    QFile::remove(portFile);
    QProcess sim;
    sim.start(QStringLiteral(ZANTO_SIM_PATH), args + QStringList{QStringLiteral("--tcp"), QStringLiteral("0"),
                                                                 QStringLiteral("--port-file"), portFile, QStringLiteral("--quiet")});
    if (!sim.waitForStarted(5000))
        return false;
    QElapsedTimer wait;
    wait.start();
    while (!QFile::exists(portFile) && wait.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QFile file(portFile);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString port = QString::fromLatin1(file.readAll());

    // What typing into Port Settings would hold, in force at once; loaded
    // first, so Connect keeps them rather than reading settings1.ini.
    parts.settings->load();
    parts.settings->setText(PortSettings::PortLine, QStringLiteral("TCP/IP"));
    parts.settings->setText(PortSettings::HostLine, QStringLiteral("127.0.0.1"));
    parts.settings->setText(PortSettings::TcpPortLine, port);
    const QString connected = QStringLiteral("Connected to 127.0.0.1 Port ") + port;
    QObject statusWatch;
    QObject::connect(parts.status, &QLineEdit::textChanged, &statusWatch, [&](const QString &text) {
        if (!text.isEmpty() && text != connected && !text.startsWith(QLatin1String("Attempting to connect")))
            ++f.errors;
    });
    QObject::connect(parts.link, &ReaderLink::bytesArrived, &statusWatch, [&](QByteArrayView bytes) { f.bytes += bytes.size(); });

    parts.connect->click();
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer sample;
    sample.start();
    while (clock.elapsed() < qint64(seconds * 1000)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (sample.elapsed() >= 200) {
            sample.restart();
            const double rss = residentMiB();
            f.rssMaxMiB = qMax(f.rssMaxMiB, rss);
            if (f.rssAtBudgetMiB < 0 && parts.grid->droppedRows() > 0)
                f.rssAtBudgetMiB = rss;
        }
        if (sim.state() != QProcess::Running) {
            ++f.errors;
            break;
        }
    }
    if (!parts.link->tcpConnected())
        ++f.errors;
    parts.connect->click();
    sim.terminate();
    sim.waitForFinished(5000);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 600.0;
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    MainWindow window;
    window.show();
    const WindowParts parts(window);
    // Every burst, the empty ones included, as the window counts them.
    qint64 bursts = 0;
    QObject::connect(parts.pipeline, &ReceivePipeline::burstEnded, [&bursts] { ++bursts; });
    QCoreApplication::processEvents();
    Figures f;
    const double rssStart = residentMiB();

    QTimer stallTimer;
    stallTimer.setTimerType(Qt::PreciseTimer);
    QElapsedTimer stallClock;
    stallClock.start();
    qint64 last = 0;
    QObject::connect(&stallTimer, &QTimer::timeout, [&] {
        const qint64 now = stallClock.nsecsElapsed();
        const double stall = (now - last) / 1e6 - 10.0;
        f.maxStallMs = qMax(f.maxStallMs, stall);
        f.stallsOver20 += stall > 20 ? 1 : 0;
        f.stallsOver50 += stall > 50 ? 1 : 0;
        last = now;
    });
    last = stallClock.nsecsElapsed();
    stallTimer.start(10);

    // The quickest bursts the quiet rule allows: one line every 260 ms.
    const bool paced = phase(parts, {QStringLiteral("--stream"), QStringLiteral("3.85")}, seconds * 0.4, dir.path(), f);
    const qint64 pacedBursts = bursts;
    const bool flood = phase(parts, {QStringLiteral("--flood")}, seconds * 0.6, dir.path(), f);
    stallTimer.stop();
    QCoreApplication::processEvents();
    parts.grid->flush();

    print("seconds", seconds, 0);
    print("paced_bursts", double(pacedBursts), 0);
    print("bursts", double(bursts), 0);
    print("bytes", double(f.bytes), 0);
    print("rows", double(parts.grid->rows() - 1), 0);
    print("rows_dropped", double(parts.grid->droppedRows()), 0);
    print("rss_start_MiB", rssStart);
    print("rss_at_budget_MiB", f.rssAtBudgetMiB);
    print("rss_max_MiB", f.rssMaxMiB);
    print("rss_end_MiB", residentMiB());
    print("max_stall_ms", f.maxStallMs);
    print("stalls_over_20ms", double(f.stallsOver20), 0);
    print("stalls_over_50ms", double(f.stallsOver50), 0);
    print("errors", double(f.errors + (paced ? 0 : 1) + (flood ? 0 : 1)), 0);
    return 0;
}
