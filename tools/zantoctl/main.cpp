// zantoctl: the reader's commands from a shell, over the link the setup tool
// uses, with no window and no display.
#include "ctloptions.h"
#include "ctloutput.h"
#include "ctlsession.h"

#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// SIGINT and SIGTERM reach the event loop through a pipe: the handler only
// writes a byte, the loop does the rest.
int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

bool watchSignals()
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zantoctl"));
    // A reader of our output that goes away (a closed pipe) is an error to
    // report with its status, not a signal that ends us without a word.
    std::signal(SIGPIPE, SIG_IGN);
    zantoctl::CtlOutput out(stdout);
    const auto ending = [&out](int code) {
        if (!out.close() && code == zantoctl::ExitDone) {
            std::fprintf(stderr, "zantoctl: the output could not be written: %s.\n", out.error().toLocal8Bit().constData());
            return int(zantoctl::ExitOutput);
        }
        return code;
    };

    const zantoctl::ParseResult parsed = zantoctl::parseCommandLine(app.arguments().mid(1), QDir::currentPath());
    if (!parsed.options) {
        out.write(parsed.standardOutput);
        if (!parsed.error.isEmpty())
            std::fprintf(stderr, "zantoctl: %s\n", parsed.error.toLocal8Bit().constData());
        return ending(parsed.exitCode);
    }

    zantoctl::CtlSession session(*parsed.options, &out, stderr);
    QObject::connect(&session, &zantoctl::CtlSession::finished, &app, [](int code) { QCoreApplication::exit(code); });

    // Without the pipe the signals keep their default action, which ends the
    // run all the same, only without printing a burst being gathered.
    QSocketNotifier *signalWatch = nullptr;
    if (watchSignals()) {
        signalWatch = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &session);
        QObject::connect(signalWatch, &QSocketNotifier::activated, &session, [&session] {
            char bytes[16];
            while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
            }
            session.interrupt();
        });
    }

    // Started from the loop, so that an early end still reaches exec().
    QTimer::singleShot(0, &session, &zantoctl::CtlSession::start);
    return ending(app.exec());
}
