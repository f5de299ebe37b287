// zanto-reader-sim: stands in for a ZANTO tag reader so the setup tool can be
// tried and tested end to end without hardware.

#include "readersim.h"
#include "simoptions.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int number)
{
    // Only async-signal-safe work here: tell the event loop and return.
    const char byte = char(number);
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[0], &byte, 1);
}

bool catchTerminationSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // A client that goes away mid-write must cost us an error code, not our life.
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zanto-reader-sim"));

    const SimOptionsResult parsed = parseSimOptions(QCoreApplication::arguments());
    if (parsed.helpShown)
        return 0;
    if (!parsed.options) {
        std::fprintf(stderr, "zanto-reader-sim: %s (see --help)\n", qPrintable(parsed.error));
        return 2;
    }

    if (!catchTerminationSignals()) {
        std::perror("zanto-reader-sim: cannot catch SIGTERM/SIGINT");
        return 1;
    }
    QSocketNotifier signalNotifier(signalPipe[1], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t ignored = ::read(signalPipe[1], &byte, 1);
        QCoreApplication::quit();
    });

    // Destroyed before the application object, which removes the --link.
    ReaderSim sim(*parsed.options);
    if (const zanto::Done started = sim.start(); !started) {
        std::fprintf(stderr, "zanto-reader-sim: %s\n", qPrintable(started.error()));
        return 1;
    }
    return app.exec();
}
