#include "link/linkparameters.h"

namespace zanto {

LinkParameters linkParametersFrom(const QString &port, const QString &baud, const QString &host, const QString &tcpPort)
{
    LinkParameters p;
    p.portText = port;
    p.tcp = port == QLatin1String(TcpChoice);
    p.baudText = baud;
    p.host = host;
    p.tcpPortText = tcpPort;

    // Digits only: a blank inside or around a rate is a slip, not a rate.
    bool ok = false;
    const qint64 rate = baud.toLongLong(&ok);
    if (ok && rate > 0 && rate <= MaxBaud && baud == baud.trimmed())
        p.baud = qint32(rate);

    const int number = tcpPort.toInt(&ok);
    if (ok && number >= 1 && number <= 65535)
        p.tcpPort = quint16(number);
    return p;
}

} // namespace zanto
