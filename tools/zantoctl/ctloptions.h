#pragma once

// What the command line asks zantoctl to do, checked before any link is
// opened: a bad option, a file that cannot be read, a field text the reader
// would refuse or data that no command can carry all end here, with exit
// status 3 and a message saying what to do instead.

#include "link/linkparameters.h"
#include "link/receivepipeline.h"
#include "protocol/commands.h"
#include "protocol/configlayout.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace zantoctl {

enum ExitCode {
    ExitDone = 0,
    ExitNoAnswer = 1,  // no answer (or no configuration reply) in time
    ExitLink = 2,      // the link could not be opened, or was lost
    ExitBadInput = 3,  // a file, a field text, data that cannot be sent, a bad option
    ExitNotTaken = 4,  // the reader refused the configuration, or --verify found a difference
    ExitOutput = 5,    // the output (standard output or -o) could not be written
};

enum class Command { Send, Monitor, ReadConfig, WriteConfig, TagWrite, SetupTag, Ethernet, Button };

struct CtlOptions {
    Command command = Command::Send;
    QString commandName;

    zanto::LinkParameters link;
    int quietMs = zanto::ReceivePipeline::DefaultQuietMs;
    int timeoutMs = 3000;
    std::optional<int> waitMs;     // listen this long instead of ending with the answer's burst
    std::optional<int> forMs;      // monitor: how long to listen
    bool json = false;

    // What goes to the reader, without its CR, and under which rule.
    QByteArray text;
    zanto::LinkRule rule = zanto::LinkRule::TcpFirst;
    bool linkCloseExpected = false; // the reader restarts after this command

    // read-config: where the .zq goes (a file, or a folder for READERNAME.zq).
    QString outputPath;
    // write-config: the file and the texts it gave.
    QString configPath;
    zanto::ConfigFields expected;
    bool verify = false;
};

struct ParseResult {
    std::optional<CtlOptions> options; // set when there is work to do
    int exitCode = ExitDone;           // otherwise: how to end
    QByteArray standardOutput;         // help text
    QString error;                     // message for standard error
};

// arguments without the program name. `currentDir` is where settings1.ini is
// looked for when no link is given.
ParseResult parseCommandLine(const QStringList &arguments, const QString &currentDir);

} // namespace zantoctl
