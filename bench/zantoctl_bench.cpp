// How long zantoctl takes to read a configuration and to write one back and
// verify it, against the reader simulator over loopback TCP and over its
// pseudo-terminal at 9600 baud, with the reader quiet and streaming 20 tag
// reads a second; next to the time the same bytes take on a 9600 baud line,
// and, with --compare, next to another zantoctl run the same way in the same
// run. Then every command against the 20 Hz stream, to see each end within
// its --timeout.
//
//   zantoctl_bench [RUNS] [--compare OTHER_ZANTOCTL]
#include "support/simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Figures {
    double medianMs = 0;
    double maxMs = 0;
    int failures = 0;
};

// A run that has not ended by then is stopped and counted as not ending.
constexpr int LongestRunMs = 15000;

Figures runs(const QString &program, const QStringList &arguments, const QString &folder, int count)
{
    std::vector<double> times;
    Figures figures;
    for (int i = 0; i < count; ++i) {
        QProcess process;
        process.setWorkingDirectory(folder);
        QElapsedTimer clock;
        clock.start();
        process.start(program, arguments);
        if (!process.waitForFinished(LongestRunMs)) {
            process.kill();
            process.waitForFinished();
        }
        times.push_back(clock.nsecsElapsed() / 1e6);
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            ++figures.failures;
        std::fflush(stdout);
    }
    std::sort(times.begin(), times.end());
    figures.medianMs = times[times.size() / 2];
    figures.maxMs = times.back();
    return figures;
}

// A 9600 baud line with 8 data bits, no parity and one stop bit carries a byte
// in ten bit times.
double wireMs(int bytes)
{
    return bytes * 10 * 1000.0 / 9600.0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QStringList args = app.arguments().mid(1);
    QString other;
    if (const qsizetype at = args.indexOf(QStringLiteral("--compare")); at >= 0 && at + 1 < args.size()) {
        other = args[at + 1];
        args.remove(at, 2);
    }
    const int count = args.isEmpty() ? 10 : std::max(1, args.first().toInt());
    const QString zantoctl = QStringLiteral(ZANTOCTL_PATH);

    QTemporaryDir dir;
    // The starting texts, as a fresh dialog writes them.
    QFile zq(dir.filePath(QStringLiteral("XXXXX.zq")));
    if (!zq.open(QIODevice::WriteOnly))
        return 1;
    zq.write("XXXXX\r\nStandard\r\n9600\r\n4-wire\r\nFrequency hopping default sub-bands\r\n0D\r\n00\r\nF5\r\n48\r\n"
             "No Heartbeat\r\nRead Always\r\nRange 4(100%)\r\n");
    zq.close();

    // "L" CR and the 22-character Standard reply; then the write command (4 +
    // 17 characters and CR), its answer "OK" CR LF, and the read back.
    std::printf("runs: %d\n", count);
    std::printf("wire_read_config_ms: %.1f\n", wireMs(2 + 22));
    std::printf("wire_write_config_verify_ms: %.1f\n", wireMs(22 + 4 + 2 + 22));

    const QList<QPair<const char *, QStringList>> readers{{"quiet", {}}, {"stream20", {"--stream", "20"}}};
    const QList<QPair<const char *, QStringList>> commands{{"read_config", {"read-config"}},
                                                           {"write_config_verify", {"write-config", "XXXXX.zq", "--verify"}}};
    for (const auto &[readerName, readerOptions] : readers) {
        SimulatorProcess sim(QStringLiteral(ZANTO_SIM_PATH),
                             QStringList{"--tcp", "0", "--quiet", "--pty", "--link", dir.filePath(QStringLiteral("reader"))}
                                 + readerOptions);
        if (!sim.start()) {
            std::fprintf(stderr, "the simulator did not start\n");
            return 1;
        }
        const QList<QPair<const char *, QStringList>> links{
            {"tcp", {"--tcp", QStringLiteral("127.0.0.1:%1").arg(sim.port())}},
            {"pty9600", {"--serial", dir.filePath(QStringLiteral("reader")), "--baud", "9600"}}};
        for (const auto &[linkName, link] : links) {
            for (const auto &[commandName, command] : commands) {
                for (const QString &program : QStringList{zantoctl, other}) {
                    if (program.isEmpty())
                        continue;
                    const Figures f = runs(program, link + command, dir.path(), count);
                    std::printf("%s_%s_%s_%s_median_ms: %.1f\n", program == zantoctl ? "zantoctl" : "other", commandName,
                                linkName, readerName, f.medianMs);
                    if (f.failures)
                        std::printf("%s_%s_%s_%s_failures: %d\n", program == zantoctl ? "zantoctl" : "other",
                                    commandName, linkName, readerName, f.failures);
                }
            }
        }
        if (QByteArray(readerName) != "stream20")
            continue;
        // Every command against the stream, each bound by a --timeout of 1 s.
        const QList<QStringList> all{{"read-config"}, {"write-config", "XXXXX.zq"}, {"write-config", "XXXXX.zq", "--verify"},
                                     {"send", "G"}, {"button", "lon"}, {"tag-write", "AB"}, {"setup-tag", "read"},
                                     {"ethernet", "ip"}};
        for (const QString &program : QStringList{zantoctl, other}) {
            if (program.isEmpty())
                continue;
            double longest = 0;
            for (const QStringList &command : all) {
                const Figures f = runs(program, links.first().second + command + QStringList{"--timeout", "1"}, dir.path(),
                                       std::min(count, 3));
                longest = std::max(longest, f.maxMs);
            }
            std::printf("%s_stream20_longest_command_ms: %.1f (--timeout 1000; runs stopped at %d)\n",
                        program == zantoctl ? "zantoctl" : "other", longest, LongestRunMs);
        }
    }
    return 0;
}
