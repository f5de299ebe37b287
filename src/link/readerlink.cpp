#include "link/readerlink.h"

namespace zanto {

ReaderLink::ReaderLink(std::function<LinkParameters()> parameters, ReceiveSink *sink, QObject *parent)
    : QObject(parent)
    , m_parameters(std::move(parameters))
    , m_sink(sink)
{
    connect(&serial, &SerialPort::onComm, this, &ReaderLink::serialData);
    connect(&serial, &SerialPort::lost, this, [this](const QString &why) {
        Q_EMIT status(tr("Comm %1 lost").arg(m_serialPortText), why);
    });
    connect(&tcp, &TcpClient::dataArrival, this, &ReaderLink::tcpData);
    connect(&tcp, &TcpClient::connected, this, &ReaderLink::tcpConnectedEvent);
    connect(&tcp, &TcpClient::closed, this, &ReaderLink::tcpClosedByReader);
    connect(&tcp, &TcpClient::error, this, &ReaderLink::tcpError);
}

bool ReaderLink::openLink()
{
    const LinkParameters p = m_parameters();
    if (!p.tcp) {
        // Every failure, a baud rate the port cannot use included, leaves the
        // port as it was and says the port is not available; the reason goes
        // with it.
        if (!p.baud || !serial.open(p.portText, *p.baud)) {
            QString why = p.baud ? serial.errorString() : tr("Baud rate \"%1\" is not usable").arg(p.baudText);
            if (p.baud && !serial.accessHint().isEmpty())
                why += QLatin1Char('\n') + serial.accessHint();
            Q_EMIT status(QLatin1String("Comm ") + p.portText + QLatin1String(" not available"), why);
            return false;
        }
        m_serialPortText = p.portText;
        Q_EMIT status(QLatin1String("Connect to Comm ") + p.portText + QLatin1String(" Good"));
        return true;
    }

    if (!p.tcpPort) {
        Q_EMIT status(tr("Port number \"%1\" is not a TCP port (1 to 65535)").arg(p.tcpPortText));
        return false;
    }
    QString before;
    if (tcp.state() != TcpClient::Closed) {
        // A socket left over from an earlier attempt (closed by the reader, or
        // failed) must be closed before it can connect again.
        tcp.close();
        before = tr("Previous connection closed. ");
    }
    tcp.setRemoteHost(p.host);
    tcp.setRemotePort(*p.tcpPort);
    tcp.connectToReader();
    Q_EMIT status(before + QLatin1String("Attempting to connect ") + p.host + QLatin1String(" Port ") + p.tcpPortText);
    return true;
}

void ReaderLink::closeLink()
{
    if (!m_parameters().tcp)
        serial.close();
    else
        tcp.close();
    Q_EMIT status(QString());
}

bool ReaderLink::send(const QByteArray &text, LinkRule rule)
{
    const QByteArray frame = text + '\r';
    const LinkChoice choice = chooseLinks(rule, tcpConnected(), serialOpen());
    bool sent = false;
    if (choice.tcp) {
        if (tcp.sendData(frame))
            sent = true;
        else
            Q_EMIT status(tcp.errorString());
    }
    if (choice.serial) {
        if (serial.output(frame))
            sent = true;
        else
            Q_EMIT status(serial.errorString());
    }
    return sent;
}

// Takes what is waiting straight into the sink's space, so no event costs an
// allocation or an extra copy, and at most PerEvent bytes of it: a reader
// faster than the window would otherwise keep it here for ever. The rest is
// announced again. An event without data still counts as an arrival.
template <typename Read> void ReaderLink::drain(Read read)
{
    qsizetype taken = 0;
    for (bool first = true;; first = false) {
        if (taken >= PerEvent)
            return;
        qsizetype room = 0;
        char *space = m_sink->reserve(&room);
        const qint64 n = read(space, qMin(room, PerEvent - taken));
        if (n <= 0 && !first)
            return;
        taken += qMax<qint64>(n, 0);
        // Observers see the bytes while they are still where they were read to.
        Q_EMIT received(QByteArray::fromRawData(space, qMax<qint64>(n, 0)));
        m_sink->commit(qMax<qint64>(n, 0));
        if (n <= 0)
            return;
    }
}

void ReaderLink::serialData()
{
    drain([this](char *buffer, qint64 max) { return serial.input(buffer, max); });
}

void ReaderLink::tcpData()
{
    drain([this](char *buffer, qint64 max) { return tcp.getData(buffer, max); });
}

void ReaderLink::tcpConnectedEvent()
{
    const LinkParameters p = m_parameters();
    Q_EMIT status(QLatin1String("Connected to ") + p.host + QLatin1String(" Port ") + p.tcpPortText);
}

void ReaderLink::tcpClosedByReader()
{
    Q_EMIT status(QStringLiteral("Closed"));
}

void ReaderLink::tcpError(const QString &description)
{
    Q_EMIT status(description);
}

} // namespace zanto
