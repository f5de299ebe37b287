// The signal test's helper: a program that saves a large file the way the
// tool does, with the tool's signal handler installed, and stops in the
// middle of the write until a signal ends it.
//
//   stoppedwriter FOLDER    writes FOLDER/rows.txt; prints "writing" once
//                           several pieces are in the new file, then waits
#include "platform/textfile.h"
#include "platform/writingfiles.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <thread>
#include <unistd.h>

int main(int argc, char *argv[])
{
    if (argc != 2)
        return 2;
    // As a program started from a terminal finds them, whatever the test
    // runner left ignored.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, SIG_DFL);
    zanto::WritingFiles::removeOnSignals();
    QCoreApplication app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/rows.txt");
    const QByteArray line(1000, 'r');
    // On a thread of its own, as the tool's saves run; the signal may reach
    // either thread.
    std::thread writer([&] {
        (void)zanto::writeLineFile(path, 1000000, [&](qsizetype i) {
            if (i == 4000) {
                std::puts("writing");
                std::fflush(stdout);
                for (;;)
                    ::pause();
            }
            return line;
        });
    });
    writer.join();
    return 1;
}
