#include "link/readerlink.h"

namespace zanto {

ReaderLink::ReaderLink(ReceiveSink *sink, QObject *parent)
    : QObject(parent)
    , m_sink(sink)
{
    setObjectName(QStringLiteral("ReaderLink"));
    connect(&m_serial, &SerialPort::onComm, this, &ReaderLink::serialData);
    connect(&m_serial, &SerialPort::lost, this, [this](const QString &why) {
        Q_EMIT status(tr("Comm %1 lost").arg(m_serialPortText), why);
        Q_EMIT lost(why);
    });
    connect(&m_tcp, &TcpClient::dataArrival, this, &ReaderLink::tcpData);
    connect(&m_tcp, &TcpClient::connected, this, &ReaderLink::tcpConnectedEvent);
    connect(&m_tcp, &TcpClient::closed, this, &ReaderLink::tcpClosedByReader);
    connect(&m_tcp, &TcpClient::error, this, &ReaderLink::tcpError);
}

void ReaderLink::setParameters(const LinkParameters &parameters)
{
    m_parameters = parameters;
}

bool ReaderLink::openLink()
{
    const LinkParameters &p = m_parameters;
    if (!p.tcp) {
        // Every failure, a baud rate the port cannot use included, leaves the
        // port as it was and says the port is not available; the reason goes
        // with it.
        QString why;
        if (!p.baud) {
            why = tr("Baud rate \"%1\" is not usable").arg(p.baudText);
        } else if (const auto open = m_serial.open(p.portText, *p.baud); !open) {
            why = open.error().reason;
            if (!open.error().hint.isEmpty())
                why += QLatin1Char('\n') + open.error().hint;
        }
        if (!why.isEmpty()) {
            Q_EMIT status(QLatin1String("Comm ") + p.portText + QLatin1String(" not available"), why);
            return false;
        }
        m_serialPortText = p.portText;
        Q_EMIT status(QLatin1String("Connect to Comm ") + p.portText + QLatin1String(" Good"));
        Q_EMIT opened();
        return true;
    }

    if (!p.tcpPort) {
        Q_EMIT status(tr("Port number \"%1\" is not a TCP port (1 to 65535)").arg(p.tcpPortText));
        return false;
    }
    QString before;
    if (m_tcp.state() != TcpClient::Closed) {
        // A socket left over from an earlier attempt (closed by the reader, or
        // failed) must be closed before it can connect again.
        m_tcp.close();
        before = tr("Previous connection closed. ");
    }
    m_tcp.setRemoteHost(p.host);
    m_tcp.setRemotePort(*p.tcpPort);
    m_tcp.connectToReader();
    Q_EMIT status(before + QLatin1String("Attempting to connect ") + p.host + QLatin1String(" Port ") + p.tcpPortText);
    return true;
}

void ReaderLink::closeLink()
{
    if (!m_parameters.tcp)
        m_serial.close();
    else
        m_tcp.close();
    Q_EMIT status(QString());
}

bool ReaderLink::send(const QByteArray &text, LinkRule rule)
{
    const QByteArray frame = text + '\r';
    const LinkChoice choice = chooseLinks(rule, tcpConnected(), serialOpen());
    bool sent = false;
    if (choice.tcp) {
        if (const Done done = m_tcp.sendData(frame))
            sent = true;
        else
            Q_EMIT status(done.error());
    }
    if (choice.serial) {
        if (const Done done = m_serial.output(frame))
            sent = true;
        else
            Q_EMIT status(done.error());
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
        Q_EMIT bytesArrived(QByteArrayView(space, qMax<qint64>(n, 0)));
        m_sink->commit(qMax<qint64>(n, 0));
        if (n <= 0)
            return;
    }
}

void ReaderLink::serialData()
{
    drain([this](char *buffer, qint64 max) { return m_serial.input(buffer, max); });
}

void ReaderLink::tcpData()
{
    drain([this](char *buffer, qint64 max) { return m_tcp.getData(buffer, max); });
}

void ReaderLink::tcpConnectedEvent()
{
    // The texts of this moment, not of the click that started the connection.
    const LinkParameters &p = m_parameters;
    Q_EMIT status(QLatin1String("Connected to ") + p.host + QLatin1String(" Port ") + p.tcpPortText);
    Q_EMIT opened();
}

void ReaderLink::tcpClosedByReader()
{
    Q_EMIT status(QStringLiteral("Closed"));
    Q_EMIT closedByReader();
}

void ReaderLink::tcpError(const QString &description)
{
    Q_EMIT status(description);
    Q_EMIT lost(description);
}

} // namespace zanto
