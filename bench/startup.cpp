// Median time from process start to the main window shown (offscreen), over
// ten runs of the tool's start-up (startup_probe: the tool's main() that says
// when its window is up).
#include "benchsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    QTemporaryDir dir;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        tool.setProcessEnvironment(env);
        tool.setWorkingDirectory(dir.path());
        QElapsedTimer clock;
        clock.start();
        tool.start(QStringLiteral(ZANTO_TOOL_PATH), {});
        double shownMs = -1;
        while (shownMs < 0 && tool.waitForReadyRead(10000)) {
            const QByteArray line = tool.readAllStandardOutput();
            if (line.contains("shown")) {
                shownMs = clock.nsecsElapsed() / 1e6;
            }
        }
        tool.terminate();
        tool.waitForFinished(5000);
        if (shownMs < 0) {
            std::fprintf(stderr, "run %d: the window was not reported shown\n", i);
            return 1;
        }
        times.push_back(shownMs);
    }
    std::sort(times.begin(), times.end());
    std::printf("runs: %d\n", runs);
    std::printf("startup_median_ms: %.1f\n", times[times.size() / 2]);
    std::printf("startup_min_ms: %.1f\n", times.front());
    std::printf("startup_max_ms: %.1f\n", times.back());
    return 0;
}
