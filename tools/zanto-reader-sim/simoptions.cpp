#include "simoptions.h"

#include <QCommandLineParser>
#include <cmath>
#include <cstdio>

SimOptionsResult parseSimOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Behaves like a ZANTO tag reader on a TCP port and/or a pseudo-terminal, so the setup tool can be "
        "tried without hardware. Listens on 127.0.0.1 unless --listen says otherwise."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption tcp(QStringLiteral("tcp"), QStringLiteral("Listen for the tool on TCP port PORT (0: any free port)."),
                                 QStringLiteral("PORT"));
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("Listen on ADDR instead of 127.0.0.1."), QStringLiteral("ADDR"));
    const QCommandLineOption portFile(QStringLiteral("port-file"),
                                      QStringLiteral("Write the TCP port actually used to PATH."), QStringLiteral("PATH"));
    const QCommandLineOption pty(QStringLiteral("pty"),
                                 QStringLiteral("Offer a pseudo-terminal as the reader's serial port; its path is printed."));
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Also make PATH a symbolic link to the pseudo-terminal."), QStringLiteral("PATH"));
    const QCommandLineOption split(QStringLiteral("split"),
                                   QStringLiteral("Send every reply in two pieces, MS milliseconds apart."), QStringLiteral("MS"));
    const QCommandLineOption stream(QStringLiteral("stream"),
                                    QStringLiteral("Send HZ tag reads a second on every open link (fractions allowed)."),
                                    QStringLiteral("HZ"));
    const QCommandLineOption flood(QStringLiteral("flood"),
                                   QStringLiteral("Send tag reads as fast as each link takes them (load tests)."));
    const QCommandLineOption ignoreWrites(
        QStringLiteral("ignore-writes"),
        QStringLiteral("Answer configuration writes (C0) as usual, OK included, but keep the configuration "
                       "unchanged: a later L reports the old one."));
    const QCommandLineOption refuseWrites(
        QStringLiteral("refuse-writes"),
        QStringLiteral("Answer every configuration write (C0) with \"ERR config\" and keep the configuration "
                       "unchanged."));
    const QCommandLineOption quiet(QStringLiteral("quiet"), QStringLiteral("Log nothing on stderr."));
    parser.addOptions({tcp, listen, portFile, pty, link, split, stream, flood, ignoreWrites, refuseWrites, quiet});

    SimOptionsResult result;
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        std::fflush(stdout);
        result.helpShown = true;
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
        return result;
    }

    SimOptions options;
    if (parser.isSet(tcp)) {
        bool ok = false;
        const uint port = parser.value(tcp).toUInt(&ok);
        if (!ok || port > 65535) {
            result.error = QStringLiteral("--tcp wants a port number from 0 to 65535, not %1").arg(parser.value(tcp));
            return result;
        }
        options.tcpPort = quint16(port);
    }
    if (parser.isSet(listen)) {
        if (!options.listenAddress.setAddress(parser.value(listen))) {
            result.error = QStringLiteral("--listen wants an IP address, not %1").arg(parser.value(listen));
            return result;
        }
    }
    options.portFile = parser.value(portFile);
    options.pty = parser.isSet(pty);
    options.linkPath = parser.value(link);
    if (parser.isSet(split)) {
        bool ok = false;
        options.splitMs = parser.value(split).toInt(&ok);
        if (!ok || options.splitMs < 0 || options.splitMs > 60000) {
            result.error = QStringLiteral("--split wants milliseconds from 0 to 60000, not %1").arg(parser.value(split));
            return result;
        }
    }
    if (parser.isSet(stream)) {
        bool ok = false;
        options.streamHz = parser.value(stream).toDouble(&ok);
        if (!ok || !std::isfinite(options.streamHz) || options.streamHz < 0 || options.streamHz > 1e6) {
            result.error = QStringLiteral("--stream wants reads a second from 0 to 1000000, not %1").arg(parser.value(stream));
            return result;
        }
    }
    options.flood = parser.isSet(flood);
    options.quiet = parser.isSet(quiet);
    options.ignoreWrites = parser.isSet(ignoreWrites);
    options.refuseWrites = parser.isSet(refuseWrites);

    if (!options.tcpPort && !options.pty)
        result.error = QStringLiteral("give --tcp PORT, --pty or both");
    else if (!options.tcpPort && (parser.isSet(listen) || parser.isSet(portFile)))
        result.error = QStringLiteral("--listen and --port-file need --tcp");
    else if (!options.pty && parser.isSet(link))
        result.error = QStringLiteral("--link needs --pty");
    else if (parser.isSet(link) && options.linkPath.isEmpty())
        result.error = QStringLiteral("--link wants a path");
    else if (options.ignoreWrites && options.refuseWrites)
        result.error = QStringLiteral("--ignore-writes and --refuse-writes exclude each other");
    if (result.error.isEmpty())
        result.options = options;
    return result;
}
