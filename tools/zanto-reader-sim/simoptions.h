#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <optional>

// What the command line asked for.
struct SimOptions {
    std::optional<quint16> tcpPort;
    QHostAddress listenAddress{QHostAddress::LocalHost};
    QString portFile;
    bool pty = false;
    QString linkPath;
    int splitMs = 0;
    double streamHz = 0;
    bool flood = false;
    bool quiet = false;
    bool ignoreWrites = false;
    bool refuseWrites = false;
};

struct SimOptionsResult {
    std::optional<SimOptions> options; // nothing: a usage error, see error
    QString error;
    bool helpShown = false;            // --help printed; exit 0
};

SimOptionsResult parseSimOptions(const QStringList &arguments);
