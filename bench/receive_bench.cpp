// How fast the main window takes in a reader that never pauses, next to a bare
// socket (and a bare serial port) reading the same volume in the same run, how
// long the event loop is ever blocked, and what a row costs in memory. The
// floors: pty_dd_MBps (a bare loop reading the pty in 1 MiB blocks) and
// ring_floor_MBps (a bare socket loop keeping every byte in a 256 MiB ring).
//
//   receive_bench [MiB]         stream MiB (default 512: the 256 MiB budget, then as much
//                               again past it) over TCP, 64 over a pty
//   receive_bench --rows N      append N small bursts (default 1000000)
//   receive_bench --rows N --log  the same with Settings > Log to File running
#include "app/logtofile.h"
#include "app/mainwindow.h"
#include "link/portsettings.h"
#include "link/readerlink.h"
#include "link/receivepipeline.h"
#include "benchsupport.h"
#include "windowparts.h"
#include "widgets/receivedgrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <vector>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>

using namespace zanto;

namespace {

// CPU time of the calling thread.
double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

void print(const char *key, double value, int decimals = 1)
{
    std::printf("%s: %.*f\n", key, decimals, value);
    std::fflush(stdout);
}

struct Pty {
    int master = -1, slave = -1;
    QString link;
    explicit Pty(const QString &dir)
    {
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        openpty(&master, &slave, name, &raw, nullptr);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        static int n = 0;
        link = dir + QStringLiteral("/bench-pty-%1").arg(++n);
        QFile::link(QString::fromLocal8Bit(name), link);
    }
    ~Pty()
    {
        ::close(slave);
        ::close(master);
    }
};

// Waits until `done` holds, spinning the event loop.
template <typename F> void spin(F done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}


double rawTcp(qint64 total)
{
    LoopbackSender sender(total);
    QTcpSocket socket;
    socket.setReadBufferSize(1 << 20);
    qint64 got = 0;
    QByteArray row;
    row.reserve(32767);
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] {
        const QByteArray bytes = socket.readAll();
        got += bytes.size();
    });
    QElapsedTimer clock;
    clock.start();
    socket.connectToHost(QHostAddress::LocalHost, sender.port());
    spin([&] { return got >= total; });
    return total / 1048576.0 / (clock.nsecsElapsed() / 1e9);
}

double rawPty(qint64 total, const QString &dir)
{
    Pty pty(dir);
    QSerialPort port(pty.link);
    port.setReadBufferSize(1 << 20);
    port.setBaudRate(115200);
    if (!port.open(QIODevice::ReadWrite))
        return 0;
    qint64 got = 0;
    QObject::connect(&port, &QSerialPort::readyRead, [&] { got += port.readAll().size(); });
    QElapsedTimer clock;
    clock.start();
    FdSender sender(pty.master, total);
    spin([&] { return got >= total; });
    return total / 1048576.0 / (clock.nsecsElapsed() / 1e9);
}

// What a pseudo-terminal gives at all: a bare loop reading the slave in 1 MiB
// blocks, as dd would, while a thread writes the master.
double ddPty(qint64 total, const QString &dir)
{
    Pty pty(dir);
    std::vector<char> block(1 << 20);
    qint64 got = 0;
    QElapsedTimer clock;
    clock.start();
    FdSender sender(pty.master, total);
    while (got < total) {
        const ssize_t n = ::read(pty.slave, block.data(), block.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    return total / 1048576.0 / (clock.nsecsElapsed() / 1e9);
}

// A plain socket connected to 127.0.0.1:port, or -1.
int connectLoopback(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// What any program that keeps what it shows can do: the same bare loop over a
// socket, every byte also kept in a bounded ring as large as the grid's
// budget. Measured past the ring's first fill, as the pipeline's past-budget
// figure is, when the ring's memory is its own already.
double ringFloorTcp(qint64 total, qint64 ringBytes, bool direct)
{
    LoopbackSender sender(total);
    const int fd = connectLoopback(sender.port());
    if (fd < 0)
        return 0;
    std::vector<char> block(1 << 20);
    std::vector<char> ring(static_cast<size_t>(ringBytes));
    qint64 got = 0, at = 0, filledNs = 0;
    QElapsedTimer clock;
    clock.start();
    while (got < total) {
        // direct: the system copies straight into the ring, as the tool's
        // links read straight into the row store; else through a small block
        // that stays in the cache, and then a second copy.
        char *into = direct ? ring.data() + at : block.data();
        const size_t most = direct ? size_t(qMin<qint64>(ringBytes - at, qint64(block.size()))) : block.size();
        const ssize_t n = ::recv(fd, into, most, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        for (qint64 done = 0; done < n && !direct;) {
            const qint64 take = qMin<qint64>(n - done, ringBytes - at);
            std::memcpy(ring.data() + at, block.data() + done, size_t(take));
            done += take;
            at = (at + take) % ringBytes;
        }
        if (direct)
            at = (at + n) % ringBytes;
        got += n;
        if (filledNs == 0 && got >= ringBytes)
            filledNs = clock.nsecsElapsed();
    }
    ::close(fd);
    if (total <= ringBytes)
        return total / 1048576.0 / (clock.nsecsElapsed() / 1e9);
    return (total - ringBytes) / 1048576.0 / ((clock.nsecsElapsed() - filledNs) / 1e9);
}

// The ring floor's direct loop driven by the event loop, as any GUI program
// must read: a socket notifier, each wake-up reading until the socket is empty.
// Nothing else runs, so the gap between this and ring_direct is the cost of
// waiting in poll() instead of blocking in recv().
double ringEventLoopTcp(qint64 total, qint64 ringBytes)
{
    LoopbackSender sender(total);
    const int fd = connectLoopback(sender.port());
    if (fd < 0)
        return 0;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    std::vector<char> ring(static_cast<size_t>(ringBytes));
    qint64 got = 0, at = 0, filledNs = 0;
    bool ended = false;
    QElapsedTimer clock;
    QSocketNotifier notifier(fd, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        for (;;) {
            const size_t most = size_t(qMin<qint64>(ringBytes - at, 1 << 20));
            const ssize_t n = ::recv(fd, ring.data() + at, most, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                ended = n == 0 || errno != EAGAIN;
                break;
            }
            at = (at + n) % ringBytes;
            got += n;
            if (filledNs == 0 && got >= ringBytes)
                filledNs = clock.nsecsElapsed();
        }
    });
    clock.start();
    spin([&] { return got >= total || ended; });
    const qint64 allNs = clock.nsecsElapsed();
    notifier.setEnabled(false);
    ::close(fd);
    if (total <= ringBytes)
        return total / 1048576.0 / (allNs / 1e9);
    return (total - ringBytes) / 1048576.0 / ((allNs - filledNs) / 1e9);
}

// The floor for a grid that keeps what it shows: a bare socket whose bytes are
// cut into 32,767-byte rows kept in new memory, as many as the budget holds.
double storeTcp(qint64 total)
{
    LoopbackSender sender(total);
    QTcpSocket socket;
    socket.setReadBufferSize(1 << 20);
    qint64 got = 0;
    std::vector<QByteArray> rows;
    QByteArray row;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] {
        const QByteArray bytes = socket.readAll();
        got += bytes.size();
        for (qsizetype at = 0; at < bytes.size();) {
            const qsizetype take = qMin(bytes.size() - at, 32767 - row.size());
            row.append(bytes.constData() + at, take);
            at += take;
            if (row.size() == 32767) {
                rows.push_back(row);
                row = QByteArray();
                row.reserve(32767);
            }
        }
    });
    QElapsedTimer clock;
    clock.start();
    socket.connectToHost(QHostAddress::LocalHost, sender.port());
    spin([&] { return got >= total; });
    return total / 1048576.0 / (clock.nsecsElapsed() / 1e9);
}

struct PipelineRun {
    double mbps = 0;        // the whole stream
    double fillMbps = 0;    // up to the grid's budget: every row in new memory
    double steadyMbps = 0;  // past it: the oldest rows make room
    double fillRssMiB = 0;  // resident memory when the budget was reached
    double stallMs = 0;
    qint64 rows = 0;
    double peakMiB = 0;
    double startMiB = 0;
    qint64 arrivals = 0;
};

PipelineRun pipeline(qint64 total, bool overTcp, const QString &dir)
{
    PipelineRun run;
    std::unique_ptr<Pty> pty;
    std::unique_ptr<LoopbackSender> sender;
    if (overTcp)
        sender = std::make_unique<LoopbackSender>(total);
    else
        pty = std::make_unique<Pty>(dir);

    resetPeakResident();
    run.startMiB = residentMiB();
    MainWindow w;
    if (!qEnvironmentVariableIsSet("BENCH_HIDDEN"))
        w.show();
    const WindowParts parts(w);
    if (overTcp)
        parts.select({{PortSettings::PortLine, QStringLiteral("TCP/IP")},
                      {PortSettings::HostLine, QStringLiteral("127.0.0.1")},
                      {PortSettings::TcpPortLine, QString::number(sender->port())}});
    else
        parts.select({{PortSettings::PortLine, pty->link}, {PortSettings::BaudLine, QStringLiteral("115200")}});
    qint64 got = 0;
    qint64 arrivals = 0;
    qint64 fillNs = 0;
    const qint64 budget = qint64(ReceivedGrid::DefaultByteBudget);
    QElapsedTimer clock;
    QObject::connect(parts.link, &ReaderLink::bytesArrived, [&](QByteArrayView bytes) {
        got += bytes.size();
        ++arrivals;
        if (fillNs == 0 && got >= qMin(budget, total)) {
            fillNs = clock.nsecsElapsed();
            run.fillRssMiB = residentMiB();
        }
    });
    // The window is on screen and painted before the stream starts, as it is
    // when a technician connects.
    QElapsedTimer shown;
    shown.start();
    spin([&] { return shown.elapsed() > 200; });
    StallMeter stalls;
    stalls.start();
    // Timed as the bare readers are: over TCP from the connect, over a pty
    // from the first byte written, with the port already open.
    if (overTcp)
        clock.start();
    parts.connect->click();
    std::unique_ptr<FdSender> fdSender;
    if (!overTcp) {
        clock.start();
        fdSender = std::make_unique<FdSender>(pty->master, total);
    }
    spin([&] { return got >= total; });
    const qint64 allNs = clock.nsecsElapsed();
    run.mbps = total / 1048576.0 / (allNs / 1e9);
    run.fillMbps = qMin(budget, total) / 1048576.0 / (fillNs / 1e9);
    if (total > budget)
        run.steadyMbps = (total - budget) / 1048576.0 / ((allNs - fillNs) / 1e9);
    // The last, partial burst ends after the quiet interval.
    QElapsedTimer settle;
    settle.start();
    spin([&] { return settle.elapsed() > 400; });
    run.stallMs = stalls.stop();
    parts.grid->flush();
    run.rows = parts.grid->rows() - 1;
    run.peakMiB = peakResidentMiB();
    run.arrivals = arrivals;
    parts.connect->click();
    return run;
}

int streamMode(qint64 mib)
{
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const qint64 total = mib * 1048576;
    const qint64 budget = qint64(ReceivedGrid::DefaultByteBudget);
    // Side by side, twice each, the best of each kept.
    const double raw1 = rawTcp(total);
    const PipelineRun first = pipeline(total, true, dir.path());
    const double store1 = storeTcp(qMin(total, budget));
    const double ring1 = ringFloorTcp(total, budget, false);
    const double direct1 = ringFloorTcp(total, budget, true);
    const double loop1 = ringEventLoopTcp(total, budget);
    const double raw2 = rawTcp(total);
    const PipelineRun second = pipeline(total, true, dir.path());
    const double store2 = storeTcp(qMin(total, budget));
    const double ring2 = ringFloorTcp(total, budget, false);
    const double direct2 = ringFloorTcp(total, budget, true);
    const double loop2 = ringEventLoopTcp(total, budget);
    const double ring = qMax(ring1, ring2);
    const double direct = qMax(direct1, direct2);
    const double loop = qMax(loop1, loop2);
    const double raw = qMax(raw1, raw2);
    const double store = qMax(store1, store2);
    const double piped = qMax(first.mbps, second.mbps);
    const double fill = qMax(first.fillMbps, second.fillMbps);
    print("bytes_MiB", double(mib), 0);
    print("raw_MBps", raw);
    print("store_floor_MBps", store);
    print("pipeline_MBps", piped);
    print("ratio_to_raw", piped / raw, 3);
    print("pipeline_fill_MBps", fill);
    print("fill_ratio_to_store_floor", fill / store, 3);
    if (total > budget) {
        const double steady = qMax(first.steadyMbps, second.steadyMbps);
        print("pipeline_past_budget_MBps", steady);
        print("past_budget_ratio_to_raw", steady / raw, 3);
        print("ring_floor_MBps", ring);
        print("past_budget_ratio_to_ring_floor", steady / ring, 3);
        print("ring_direct_MBps", direct);
        print("past_budget_ratio_to_ring_direct", steady / direct, 3);
        print("ring_event_loop_MBps", loop);
        print("past_budget_ratio_to_ring_event_loop", steady / loop, 3);
    }
    print("max_stall_ms", qMax(first.stallMs, second.stallMs));
    print("rows", double(first.rows), 0);
    print("peak_rss_MiB", first.peakMiB);
    print("rss_at_budget_MiB", first.fillRssMiB);
    print("rss_per_MiB_received", (first.fillRssMiB - first.startMiB) / double(qMin(total, budget) / 1048576), 3);

    // Side by side, twice each, the best of each kept.
    const qint64 ptyTotal = qMin<qint64>(total, 64 * 1048576);
    double ptyDd = 0, ptyRaw = 0;
    PipelineRun ptyRun;
    for (int round = 0; round < 2; ++round) {
        ptyDd = qMax(ptyDd, ddPty(ptyTotal, dir.path()));
        ptyRaw = qMax(ptyRaw, rawPty(ptyTotal, dir.path()));
        const PipelineRun run = pipeline(ptyTotal, false, dir.path());
        if (run.mbps > ptyRun.mbps)
            ptyRun = run;
    }
    print("pty_MiB", double(ptyTotal / 1048576), 0);
    print("pty_dd_MBps", ptyDd);
    print("pty_raw_MBps", ptyRaw);
    print("pty_pipeline_MBps", ptyRun.mbps);
    print("pty_ratio_to_dd", ptyRun.mbps / ptyDd, 3);
    print("pty_ratio", ptyRun.mbps / ptyRaw, 3);
    print("pty_max_stall_ms", ptyRun.stallMs);
    return 0;
}

int rowsMode(qint64 count, bool log)
{
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    MainWindow w;
    w.show();
    const WindowParts parts(w);
    // As chosen in its file dialog.
    LogToFile *logToFile = w.findChild<LogToFile *>();
    if (log && logToFile)
        logToFile->start(dir.filePath(QStringLiteral("capture.log")));
    if (log && !(logToFile && logToFile->running()))
        qFatal("the log did not start");
    QCoreApplication::processEvents();
    const double before = residentMiB();
    qint64 bytes = 0;
    StallMeter stalls;
    stalls.start();
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = threadCpuSeconds();
    for (qint64 i = 0; i < count; ++i) {
        const QByteArray burst = "TAG " + QByteArray::number(i) + "\r\n";
        bytes += burst.size();
        parts.pipeline->arrival(burst);
        parts.pipeline->endBurstNow(); // the quiet interval has passed
        if (i % 2000 == 0)
            QCoreApplication::processEvents();
    }
    parts.grid->flush();
    QCoreApplication::processEvents();
    const double seconds = clock.nsecsElapsed() / 1e9;
    const double cpu = threadCpuSeconds() - cpuBefore;
    const double after = residentMiB();
    print("rows", double(parts.grid->rows() - 1), 0);
    print("time_per_row_us", seconds * 1e6 / double(count), 2);
    // The window thread's own work, whatever else the machine runs.
    print("window_cpu_per_row_us", cpu * 1e6 / double(count), 2);
    print("bytes_per_row", double(bytes) / double(count), 1);
    print("memory_per_row_bytes", (after - before) * 1048576.0 / double(count), 1);
    print("overhead_per_row_bytes", (after - before) * 1048576.0 / double(count) - double(bytes) / double(count), 1);
    print("max_stall_ms", stalls.stop());
    if (log) {
        QElapsedTimer closing;
        closing.start();
        logToFile->stop(); // what is still queued is written first
        print("log_close_ms", closing.nsecsElapsed() / 1e6);
        QFile file(dir.filePath(QStringLiteral("capture.log")));
        qint64 lines = 0;
        if (file.open(QIODevice::ReadOnly)) {
            while (!file.atEnd())
                lines += file.readLine().endsWith('\n') ? 1 : 0;
        }
        print("log_lines", double(lines), 0);
        // Bursts that found the log's queue full: its writer fell behind.
        print("log_bursts_lost", double(count - lines), 0);
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--pipeline-only")) { // for profiling
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        const PipelineRun run = pipeline(args.value(2).toLongLong() * 1048576, true, dir.path());
        print("pipeline_MBps", run.mbps);
        print("arrivals", double(run.arrivals), 0);
        print("rows", double(run.rows), 0);
        return 0;
    }
    if (args.value(1) == QLatin1String("--rows")) {
        const qint64 count = args.size() > 2 && !args.value(2).startsWith(QLatin1Char('-')) ? args.value(2).toLongLong() : 1000000;
        return rowsMode(count, args.contains(QLatin1String("--log")));
    }
    return streamMode(args.size() > 1 ? args.value(1).toLongLong() : 512);
}
