#include "link/linkparameters.h"

#include "platform/serialport.h"

#include <QCoreApplication>

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

QString linkTarget(const LinkParameters &p)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("LinkParameters", text); };
    if (p.tcp) {
        if (!p.tcpPort)
            return tr("TCP %1, port \"%2\" (no TCP port: 1 to 65535)").arg(p.host, p.tcpPortText);
        return tr("TCP %1 port %2").arg(p.host, p.tcpPortText);
    }
    const QString device = SerialPort::deviceForPortText(p.portText);
    if (device.isEmpty())
        return tr("\"%1\", which names no serial port").arg(p.portText);
    const QString port = device == p.portText ? device : tr("Comm %1 (%2)").arg(p.portText, device);
    if (!p.baud)
        return tr("%1 at \"%2\" baud (no usable rate)").arg(port, p.baudText);
    return tr("%1 at %2 baud, 8N1").arg(port, p.baudText);
}

} // namespace zanto
