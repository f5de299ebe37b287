#include "ctloptions.h"

#include "link/portsettings.h"
#include "platform/configfiles.h"
#include "protocol/configstring.h"
#include "protocol/latin1.h"
#include "protocol/tagdata.h"
#include "protocol/version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cmath>
#include <span>
#include <string_view>

using namespace zanto;

namespace zantoctl {

namespace {

using Mask = unsigned;
constexpr Mask bit(Command c)
{
    return 1u << unsigned(c);
}
constexpr Mask AllCommands = 0xFFu;
// The commands that send something and then print what comes back.
constexpr Mask Answering = bit(Command::Send) | bit(Command::WriteConfig) | bit(Command::TagWrite)
    | bit(Command::SetupTag) | bit(Command::Ethernet) | bit(Command::Button);

struct OptionSpec {
    const char *name;
    char shortName;
    const char *value; // nullptr: a switch
    Mask commands;
    const char *help;
};

// Every option, the link options first; the help texts are built from this.
constexpr OptionSpec Options[] = {
    {"serial", 0, "PORT", AllCommands,
     "a serial port: a number (1: the first serial device) or a device path"},
    {"baud", 0, "N", AllCommands, "baud rate of --serial (default 9600); 8 data bits, no parity, 1 stop bit"},
    {"tcp", 0, "HOST[:PORT]", AllCommands, "the reader's address and TCP port (default port 10000)"},
    {"settings", 0, "FILE", AllCommands,
     "a settings1.ini as the window writes it"},
    {"quiet-ms", 0, "N", AllCommands, "a burst ends after N ms without a byte (default 250)"},
    {"timeout", 0, "S", AllCommands, "seconds to wait for the link, and for an answer after each command (default 3)"},
    {"help", 'h', nullptr, AllCommands, "show this help"},
    {"version", 0, nullptr, AllCommands, "show the version"},
    {"rule", 0, "RULE", bit(Command::Send), "tcp-first (default), both or serial-first: which link the text goes out on"},
    {"wait", 0, "S", Answering, "listen S seconds after the command, printing every burst (default: end with the answer)"},
    {"for", 0, "S", bit(Command::Monitor), "stop after S seconds (default: until interrupted or the link is lost)"},
    {"json", 0, nullptr, Answering | bit(Command::Monitor) | bit(Command::ReadConfig), "print JSON, one object a line"},
    {"output", 'o', "FILE", bit(Command::ReadConfig),
     "write the configuration file FILE as Write to File does (a folder: READERNAME.zq in it)"},
    {"verify", 0, nullptr, bit(Command::WriteConfig), "read the configuration back and compare it field by field"},
    {"code", 0, "CODE", bit(Command::TagWrite), "the code sent behind the data (default R4)"},
    {"mini", 0, nullptr, bit(Command::TagWrite), "the short form: at most five characters, no /xx escapes"},
};
constexpr int GlobalOptionCount = 8;

struct CommandInfo {
    Command command;
    const char *name;
    const char *operands; // as the usage line shows them
    int operandCount;
    const char *summary;
    const char *details;
};

constexpr CommandInfo Commands[] = {
    {Command::Send, "send", "TEXT", 1, "send TEXT and a CR, print what the reader answers",
     "Sends TEXT (8-bit text, as typed) followed by one carriage return, then prints the reader's answer:\n"
     "the first burst that ends after the command (a burst ends with a pause of --quiet-ms). With --wait S\n"
     "it prints every burst for S seconds instead. A reader that never pauses within --timeout (one\n"
     "streaming tag reads) ends the run with status 1 and what came printed, the last burst cut short.\n"
     "Put -- before a TEXT that starts with '-'."},
    {Command::Monitor, "monitor", "", 0, "print every burst the reader sends",
     "Prints each burst as it ends, one line each: the arrival time of its first byte (ISO 8601, in\n"
     "milliseconds), a tab, the bytes in hexadecimal as the window's grid shows them, a tab, and the text\n"
     "with every control character written /XX. With --json: {\"time\", \"hex\", \"length\"} a line.\n"
     "Runs until --for has passed, the link is lost (exit 2), or SIGINT or SIGTERM arrives (exit 0)."},
    {Command::ReadConfig, "read-config", "", 0, "read the reader's configuration",
     "Sends \"L\" and waits up to --timeout seconds for the configuration reply, which is found among\n"
     "whatever else the reader sends (tag reads) and in however many pieces it comes; as soon as it is\n"
     "whole, prints the twelve fields as \"Caption: text\" lines in the order of a configuration file\n"
     "(control characters as /XX), or with --json as one JSON object (control characters as \\u00XX).\n"
     "With -o the fields go to a .zq file instead, byte for byte as the window's Write to File writes\n"
     "them, and the file's path is printed."},
    {Command::WriteConfig, "write-config", "FILE.zq", 1, "send a configuration file to the reader",
     "Loads the twelve lines of FILE.zq onto the starting texts as Load from File does, refuses what\n"
     "Send Setup to Reader refuses (with the same message), sends the \"C0\" write command under the\n"
     "serial-first rule and prints the reader's answer; an answer starting \"ERR\" is a refusal: exit 4.\n"
     "With --verify it reads the configuration back as soon as the reader has answered the write, and\n"
     "names every field that differs (Mode and the fields the mode carries): exit 4."},
    {Command::TagWrite, "tag-write", "DATA", 1, "write DATA to a tag",
     "Sends the tag write \"W0\" with DATA as the main window's data field reads it (/xx is one byte of\n"
     "two upper-case hexadecimal digits), or with --mini the short form \"w\" with DATA as it stands.\n"
     "Prints the reader's answer as send does."},
    {Command::SetupTag, "setup-tag", "read|write", 1, "make the reader read or write a setup tag",
     "\"read\" sends M, \"write\" sends K (the reader writes its active configuration to the tag).\n"
     "Prints the reader's answer as send does."},
    {Command::Ethernet, "ethernet", "ip|reset", 1, "ask for the Ethernet parameters, or reboot the reader",
     "\"ip\" sends IP, \"reset\" sends RESET (the reader restarts; a connection it closes then is no error).\n"
     "Prints the reader's answer as send does."},
    {Command::Button, "button", "NAME", 1, "send one of the eight test commands",
     "NAME is input1 (G), input2 (N), input1plus (F), boot (S), lon (LON), loff (LOFF), input3 (A) or h (H),\n"
     "in any case. Prints the reader's answer as send does."},
};

template <typename T> struct Choice {
    const char *name;
    T value;
};
constexpr Choice<LinkRule> Rules[] = {
    {"tcp-first", LinkRule::TcpFirst}, {"both", LinkRule::BothLinks}, {"serial-first", LinkRule::SerialFirst}};
constexpr Choice<ReaderCommand> Buttons[] = {
    {"input1", ReaderCommand::Input1}, {"input2", ReaderCommand::Input2}, {"input1plus", ReaderCommand::Input1Plus},
    {"boot", ReaderCommand::BootString}, {"lon", ReaderCommand::Lon}, {"loff", ReaderCommand::Loff},
    {"input3", ReaderCommand::Input3}, {"h", ReaderCommand::H}};
constexpr Choice<ReaderCommand> SetupTagChoices[] = {{"read", ReaderCommand::ReadSetupTag},
                                                     {"write", ReaderCommand::WriteSetupTag}};
constexpr Choice<ReaderCommand> EthernetChoices[] = {{"ip", ReaderCommand::ReadEthernet},
                                                     {"reset", ReaderCommand::Reboot}};

// Names are taken in any case: "LON" is the button's own caption.
template <typename T> std::optional<T> choose(std::span<const Choice<T>> choices, const QString &name)
{
    for (const Choice<T> &c : choices) {
        if (name.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return c.value;
    }
    return std::nullopt;
}

template <typename T> QString choiceNames(std::span<const Choice<T>> choices)
{
    QStringList names;
    for (const Choice<T> &c : choices)
        names << QLatin1String(c.name);
    return names.join(QLatin1String(", "));
}

QString optionText(const OptionSpec &o)
{
    QString text = o.shortName ? QStringLiteral("-%1, --%2").arg(QLatin1Char(o.shortName)).arg(QLatin1String(o.name))
                               : QStringLiteral("--%1").arg(QLatin1String(o.name));
    if (o.value)
        text += QLatin1Char(' ') + QLatin1String(o.value);
    return text;
}

QString optionLines(int from, int to, Mask commands)
{
    QString out;
    for (int i = from; i < to; ++i) {
        if (Options[i].commands & commands)
            out += QStringLiteral("  %1%2\n").arg(optionText(Options[i]), -22).arg(QLatin1String(Options[i].help));
    }
    return out;
}

constexpr int OptionCount = int(std::size(Options));

const char *const ExitText =
    "Exit status: 0 done; 1 no answer (or no configuration reply) in time, or a reader that never paused;\n"
    "2 the link could not be opened or was lost; 3 bad input (an option, a file, a field text, data that\n"
    "cannot be sent); 4 the reader did not take the configuration (it refused it, or --verify found a\n"
    "difference); 5 the output could not be written (standard output or -o: a full disk, a closed pipe,\n"
    "an I/O error).\n";

QByteArray programHelp()
{
    QString out = QStringLiteral(
        "Usage: zantoctl [LINK] COMMAND [ARGUMENT] [OPTIONS]\n"
        "\n"
        "Sends a ZANTO tag reader its commands from a shell and prints what it answers, over the same\n"
        "link the setup tool uses.\n"
        "\nCommands:\n");
    for (const CommandInfo &c : Commands) {
        const QString head = QStringLiteral("%1 %2").arg(QLatin1String(c.name), QLatin1String(c.operands)).trimmed();
        out += QStringLiteral("  %1%2\n").arg(head, -22).arg(QLatin1String(c.summary));
    }
    out += QStringLiteral("\nLink, one of (default: settings1.ini in the current folder, as the window uses it):\n");
    out += optionLines(0, 4, AllCommands);
    out += QStringLiteral("\nOptions:\n") + optionLines(4, GlobalOptionCount, AllCommands);
    out += QStringLiteral("\n") + QLatin1String(ExitText);
    out += QStringLiteral("\n\"zantoctl help COMMAND\" or \"zantoctl COMMAND --help\" tells more about a command.\n");
    return out.toLocal8Bit();
}

QByteArray commandHelp(const CommandInfo &c)
{
    QString usage = QStringLiteral("Usage: zantoctl [LINK] %1").arg(QLatin1String(c.name));
    if (c.operandCount)
        usage += QLatin1Char(' ') + QLatin1String(c.operands);
    const Mask mask = bit(c.command);
    for (int i = GlobalOptionCount; i < OptionCount; ++i) {
        if (Options[i].commands & mask)
            usage += QStringLiteral(" [%1]").arg(optionText(Options[i]));
    }
    QString out = usage + QStringLiteral("\n\n%1\n").arg(QLatin1String(c.details));
    out += QStringLiteral("\nOptions:\n") + optionLines(GlobalOptionCount, OptionCount, mask) + optionLines(4, 6, AllCommands);
    out += QStringLiteral("\nLink, one of (default: settings1.ini in the current folder):\n") + optionLines(0, 4, AllCommands);
    out += QStringLiteral("\n") + QLatin1String(ExitText);
    return out.toLocal8Bit();
}

const CommandInfo *commandNamed(const QString &name)
{
    for (const CommandInfo &c : Commands) {
        if (name == QLatin1String(c.name))
            return &c;
    }
    return nullptr;
}

QString commandNames()
{
    QStringList names;
    for (const CommandInfo &c : Commands)
        names << QLatin1String(c.name);
    return names.join(QLatin1String(", "));
}

ParseResult badInput(const QString &message)
{
    ParseResult r;
    r.exitCode = ExitBadInput;
    r.error = message;
    return r;
}

ParseResult helpResult(const QByteArray &text)
{
    ParseResult r;
    r.standardOutput = text;
    return r;
}

// Seconds, fractions allowed, more than none and no more than a QTimer takes.
std::optional<int> milliseconds(const QString &text)
{
    bool ok = false;
    const double s = text.toDouble(&ok);
    if (!ok || !std::isfinite(s) || s <= 0 || s > 2'000'000)
        return std::nullopt;
    return qMax(1, int(std::lround(s * 1000)));
}

// 8-bit text from an argument, or why not.
Result<QByteArray> eightBit(const QString &text, const QString &what)
{
    Result<QByteArray> bytes = toBytes(text);
    if (!bytes)
        return failure(QStringLiteral("%1 holds %2, a character outside 8 bits; the reader takes 8-bit text only")
                           .arg(what, bytes.error()));
    return bytes;
}

// "HOST", "HOST:PORT", "[v6]" or "[v6]:PORT"; a bare IPv6 address has no port.
// Digits and nothing else: "+1" or " 9600" is a slip, not a number.
bool onlyDigits(const QString &text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

void splitHostPort(const QString &text, QString *host, QString *port)
{
    *port = QLatin1String(PortSettings::StartTexts[PortSettings::TcpPortLine]);
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close > 0) {
            *host = text.mid(1, close - 1);
            if (text.size() > close + 1 && text[close + 1] == QLatin1Char(':'))
                *port = text.mid(close + 2);
            else if (text.size() > close + 1)
                *host = text; // rubbish after the bracket: the connect will say so
            return;
        }
    }
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0 && text.indexOf(QLatin1Char(':')) == colon) {
        *host = text.left(colon);
        *port = text.mid(colon + 1);
    } else {
        *host = text;
    }
}

Result<LinkParameters> linkFromSettings(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    // Read as the Port Settings dialog reads it.
    const Result<LinkParameters> read = PortSettings::readFile(path);
    if (!read)
        return failure(QStringLiteral("%1 (the link settings, %2). Give the link with --serial PORT or --tcp HOST[:PORT], "
                                      "or run zantoctl in the folder whose settings1.ini the window uses.")
                           .arg(read.error(), QDir::toNativeSeparators(path)));
    const LinkParameters &p = *read;
    if (p.tcp && !p.tcpPort)
        return failure(QStringLiteral("%1 line 4: \"%2\" is no TCP port (1 to 65535); correct it in Port Settings "
                                      "or give --tcp HOST:PORT").arg(name, p.tcpPortText));
    if (!p.tcp && !p.baud)
        return failure(QStringLiteral("%1 line 3: \"%2\" is no baud rate; correct it in Port Settings "
                                      "or give --serial PORT --baud N").arg(name, p.baudText));
    return p;
}

Result<LinkParameters> chooseLink(const QHash<QString, QString> &given, const QString &currentDir)
{
    const int count = int(given.contains(QStringLiteral("serial"))) + int(given.contains(QStringLiteral("tcp")))
        + int(given.contains(QStringLiteral("settings")));
    if (count > 1)
        return failure(QStringLiteral("give one link only: --serial, --tcp or --settings"));
    if (given.contains(QStringLiteral("baud")) && !given.contains(QStringLiteral("serial")))
        return failure(QStringLiteral("--baud goes with --serial (a settings file gives the baud rate on its line 3)"));

    const QString defaultBaud = QLatin1String(PortSettings::StartTexts[PortSettings::BaudLine]);
    if (given.contains(QStringLiteral("serial"))) {
        const QString port = given.value(QStringLiteral("serial"));
        const QString baud = given.value(QStringLiteral("baud"), defaultBaud);
        if (port.isEmpty() || port == QLatin1String(TcpChoice))
            return failure(QStringLiteral("--serial wants a port number or a device path; for TCP/IP give --tcp HOST[:PORT]"));
        const LinkParameters p = linkParametersFrom(port, baud, QString(), QString());
        if (!p.baud || !onlyDigits(baud))
            return failure(QStringLiteral("--baud wants a rate such as 9600, not \"%1\"").arg(baud));
        return p;
    }
    if (given.contains(QStringLiteral("tcp"))) {
        QString host, port;
        splitHostPort(given.value(QStringLiteral("tcp")), &host, &port);
        if (host.isEmpty())
            return failure(QStringLiteral("--tcp wants the reader's address, as in --tcp 192.0.2.7:10000"));
        const LinkParameters p = linkParametersFrom(QLatin1String(TcpChoice), defaultBaud, host, port);
        if (!p.tcpPort || !onlyDigits(port))
            return failure(QStringLiteral("--tcp: \"%1\" is no TCP port (1 to 65535)").arg(port));
        return p;
    }
    const QString path =
        given.value(QStringLiteral("settings"), QDir(currentDir).filePath(QLatin1String(PortSettings::FileName)));
    return linkFromSettings(path);
}

// What the command sends, from its operand and options, or why it cannot be sent.
Done prepareCommand(CtlOptions &o, const QString &operand, const QHash<QString, QString> &given)
{
    const auto fixed = [&o](ReaderCommand command) {
        o.text = commandText(command);
        o.rule = commandRule(command);
        o.linkCloseExpected = command == ReaderCommand::Reboot;
        return Done();
    };
    const auto pick = [&](std::span<const Choice<ReaderCommand>> choices) -> Done {
        if (const auto command = choose(choices, operand))
            return fixed(*command);
        return failure(QStringLiteral("%1 wants one of %2, not \"%3\"").arg(o.commandName, choiceNames(choices), operand));
    };

    switch (o.command) {
    case Command::Send: {
        const Result<QByteArray> text = eightBit(operand, QStringLiteral("TEXT"));
        if (!text)
            return failure(text.error());
        o.text = *text;
        const QString rule = given.value(QStringLiteral("rule"), QStringLiteral("tcp-first"));
        const auto chosen = choose(std::span<const Choice<LinkRule>>(Rules), rule);
        if (!chosen)
            return failure(QStringLiteral("--rule wants %1, not \"%2\"").arg(choiceNames(std::span<const Choice<LinkRule>>(Rules)), rule));
        o.rule = *chosen;
        return Done();
    }
    case Command::Monitor:
        return Done();
    case Command::ReadConfig: {
        o.text = configReadRequest();
        o.rule = commandRule(ReaderCommand::ReadConfig);
        o.outputPath = given.value(QStringLiteral("output"));
        if (given.contains(QStringLiteral("output"))) {
            const QFileInfo target(o.outputPath);
            if (o.outputPath.isEmpty() || (!target.isDir() && !target.absoluteDir().exists())) {
                return failure(QStringLiteral("-o: there is no folder %1 to write the configuration file in")
                                   .arg(QDir::toNativeSeparators(target.absolutePath())));
            }
        }
        return Done();
    }
    case Command::WriteConfig: {
        o.configPath = operand;
        const QFileInfo file(operand);
        const auto lines = readConfigFile(file.path(), QFile::encodeName(file.fileName()));
        if (!lines && lines.error().kind == FileKind::Missing)
            return failure(QStringLiteral("there is no file %1").arg(QDir::toNativeSeparators(operand)));
        if (!lines)
            return failure(lines.error().message);
        // Onto the starting texts, as Load from File puts a file into a fresh dialog.
        for (const auto &[field, text] : configFileAssignments(*lines))
            o.expected[field] = text;
        const Result<QByteArray, ConfigProblem> command = configWriteCommand(o.expected);
        if (!command)
            return failure(command.error().text);
        o.text = *command;
        o.rule = commandRule(ReaderCommand::ConfigWrite);
        o.verify = given.contains(QStringLiteral("verify"));
        return Done();
    }
    case Command::TagWrite: {
        const Result<QByteArray> data = eightBit(operand, QStringLiteral("DATA"));
        if (!data)
            return failure(data.error());
        const Result<QByteArray> code =
            eightBit(given.value(QStringLiteral("code"), QLatin1String(DefaultTagWriteCode)), QStringLiteral("--code"));
        if (!code)
            return failure(code.error());
        const bool mini = given.contains(QStringLiteral("mini"));
        // The window keeps the data field at five characters in the short
        // form: the count is one digit.
        if (mini && data->size() > MaxShortTagWriteCharacters)
            return failure(QStringLiteral("--mini carries at most %1 characters; DATA has %2")
                               .arg(MaxShortTagWriteCharacters)
                               .arg(data->size()));
        const Result<QByteArray> command = mini ? buildShortTagWriteCommand(*data, *code) : buildTagWriteCommand(*data, *code);
        if (!command)
            return failure(QStringLiteral("DATA: %1").arg(command.error()));
        o.text = *command;
        o.rule = commandRule(mini ? ReaderCommand::ShortTagWrite : ReaderCommand::TagWrite);
        return Done();
    }
    case Command::SetupTag:
        return pick(SetupTagChoices);
    case Command::Ethernet:
        return pick(EthernetChoices);
    case Command::Button:
        return pick(Buttons);
    }
    return failure(QStringLiteral("unknown command"));
}

} // namespace

ParseResult parseCommandLine(const QStringList &arguments, const QString &currentDir)
{
    QHash<QString, QString> given; // option name -> value ("" for a switch)
    QStringList operands;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (optionsEnded || arg.size() < 2 || !arg.startsWith(QLatin1Char('-'))) {
            operands << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name = arg, value;
        bool inlineValue = false;
        if (arg.startsWith(QLatin1String("--"))) {
            name = arg.mid(2);
            if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
                value = name.mid(eq + 1);
                name.truncate(eq);
                inlineValue = true;
            }
        }
        const OptionSpec *spec = nullptr;
        for (const OptionSpec &o : Options) {
            const bool isShort = !arg.startsWith(QLatin1String("--")) && arg.size() == 2 && o.shortName
                && QLatin1Char(o.shortName) == arg[1];
            if (isShort || (arg.startsWith(QLatin1String("--")) && name == QLatin1String(o.name)))
                spec = &o;
        }
        if (!spec)
            return badInput(QStringLiteral("unknown option %1 (put -- before a TEXT or DATA that starts with '-'); "
                                          "see zantoctl --help").arg(arg));
        const QString key = QLatin1String(spec->name);
        if (spec->value && !inlineValue) {
            if (i + 1 >= arguments.size())
                return badInput(QStringLiteral("%1 needs a value: %2").arg(arg, optionText(*spec)));
            value = arguments[++i];
        } else if (!spec->value && inlineValue) {
            return badInput(QStringLiteral("--%1 takes no value").arg(key));
        }
        if (given.contains(key))
            return badInput(QStringLiteral("--%1 is given twice").arg(key));
        given.insert(key, value);
    }

    const bool help = given.contains(QStringLiteral("help"));
    if (given.contains(QStringLiteral("version")))
        return helpResult(QByteArray("zantoctl ") + ToolVersion + '\n');
    if (operands.isEmpty()) {
        if (help)
            return helpResult(programHelp());
        return badInput(QStringLiteral("no command given; the commands are %1. See zantoctl --help").arg(commandNames()));
    }
    if (operands.first() == QLatin1String("help")) {
        if (operands.size() == 1)
            return helpResult(programHelp());
        const CommandInfo *c = commandNamed(operands[1]);
        if (!c || operands.size() > 2)
            return badInput(QStringLiteral("no help for \"%1\"; the commands are %2").arg(operands.mid(1).join(QLatin1Char(' ')), commandNames()));
        return helpResult(commandHelp(*c));
    }
    const CommandInfo *info = commandNamed(operands.first());
    if (!info)
        return badInput(QStringLiteral("unknown command \"%1\"; the commands are %2").arg(operands.first(), commandNames()));
    if (help)
        return helpResult(commandHelp(*info));

    CtlOptions o;
    o.command = info->command;
    o.commandName = QLatin1String(info->name);
    for (const OptionSpec &spec : Options) {
        if (given.contains(QLatin1String(spec.name)) && !(spec.commands & bit(o.command)))
            return badInput(QStringLiteral("--%1 does not go with %2; see zantoctl help %2").arg(QLatin1String(spec.name), o.commandName));
    }
    if (operands.size() - 1 != info->operandCount) {
        if (info->operandCount == 0)
            return badInput(QStringLiteral("%1 takes no argument (\"%2\" given); see zantoctl help %1").arg(o.commandName, operands[1]));
        return badInput(QStringLiteral("%1 wants %2; see zantoctl help %1").arg(o.commandName, QLatin1String(info->operands)));
    }

    if (given.contains(QStringLiteral("quiet-ms"))) {
        bool ok = false;
        o.quietMs = given.value(QStringLiteral("quiet-ms")).toInt(&ok);
        if (!ok || o.quietMs < 1 || o.quietMs > 60000)
            return badInput(QStringLiteral("--quiet-ms wants milliseconds from 1 to 60000, not \"%1\"").arg(given.value(QStringLiteral("quiet-ms"))));
    }
    for (const char *name : {"timeout", "wait", "for"}) {
        const QString key = QLatin1String(name);
        if (!given.contains(key))
            continue;
        const std::optional<int> ms = milliseconds(given.value(key));
        if (!ms)
            return badInput(QStringLiteral("--%1 wants seconds, more than 0, such as 3 or 0.5, not \"%2\"").arg(key, given.value(key)));
        if (key == QLatin1String("timeout"))
            o.timeoutMs = *ms;
        else if (key == QLatin1String("wait"))
            o.waitMs = *ms;
        else
            o.forMs = *ms;
    }
    o.json = given.contains(QStringLiteral("json"));

    if (const Done prepared = prepareCommand(o, operands.value(1), given); !prepared)
        return badInput(prepared.error());

    // Last: a bad command line is said before a missing settings file is.
    const Result<LinkParameters> link = chooseLink(given, currentDir);
    if (!link)
        return badInput(link.error());
    o.link = *link;

    ParseResult r;
    r.options = o;
    return r;
}

} // namespace zantoctl
