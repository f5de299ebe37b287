#pragma once

#include <QString>

#include <optional>

namespace zanto {

// What the link opens, as values, made from the Port Settings texts and handed
// to the link whenever one of them changes. The texts go along: the status
// line names the port, the address and the port number as the user typed them.
struct LinkParameters {
    bool tcp = false;                 // the port choice is "TCP/IP" (exactly)
    QString portText;                 // the port choice as typed: "TCP/IP", "1", "/dev/ttyUSB0"
    std::optional<qint32> baud;       // none: the baud text is no usable rate
    QString baudText;
    QString host;                     // the reader's address as typed
    std::optional<quint16> tcpPort;   // none: the text is no TCP port (1 to 65535)
    QString tcpPortText;
};

// The port choice that selects TCP; any other text is a serial port.
inline constexpr const char *TcpChoice = "TCP/IP";
// A baud rate no serial port goes beyond; a larger number is a typing slip.
inline constexpr qint32 MaxBaud = 100'000'000;

// The values the four texts stand for.
LinkParameters linkParametersFrom(const QString &port, const QString &baud, const QString &host, const QString &tcpPort);

// Where Connect goes, in words: "TCP 127.0.0.1 port 10000", "/dev/ttyUSB0 at
// 9600 baud, 8N1", "Comm 1 (/dev/ttyS0) at 9600 baud, 8N1".
QString linkTarget(const LinkParameters &parameters);

} // namespace zanto
