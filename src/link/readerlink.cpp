#include "link/readerlink.h"

namespace zanto {

ReaderLink::ReaderLink(std::function<LinkParams()> params, ReceiveSink *sink, QObject *parent)
    : QObject(parent)
    , m_params(std::move(params))
    , m_sink(sink)
{
    connect(&MSComm1, &SerialPort::onComm, this, &ReaderLink::MSComm1_OnComm);
    connect(&MSComm1, &SerialPort::lost, this, [this](const QString &) {
        Q_EMIT status(tr("Comm %1 lost").arg(m_serialPortText));
    });
    connect(&Winsock1, &TcpClient::dataArrival, this, &ReaderLink::Winsock1_DataArrival);
    connect(&Winsock1, &TcpClient::connected, this, &ReaderLink::Winsock1_Connect);
    connect(&Winsock1, &TcpClient::closed, this, &ReaderLink::Winsock1_Close);
    connect(&Winsock1, &TcpClient::error, this, &ReaderLink::Winsock1_Error);
}

bool ReaderLink::openLink()
{
    const LinkParams p = m_params();
    if (!p.isTcp()) {
        // Every failure, a baud rate the port cannot use included, leaves the
        // port closed and says the port is not available.
        if (!MSComm1.setSettings(p.baudText + QLatin1String(",n,8,1")) || !MSComm1.open(p.portText)) {
            QString why = MSComm1.errorString();
            if (!MSComm1.accessHint().isEmpty())
                why += QLatin1Char('\n') + MSComm1.accessHint();
            Q_EMIT status(QLatin1String("Comm ") + p.portText + QLatin1String(" not available"), why);
            return false;
        }
        m_serialPortText = p.portText;
        Q_EMIT status(QLatin1String("Connect to Comm ") + p.portText + QLatin1String(" Good"));
        return true;
    }

    bool isNumber = false;
    const int port = p.portNumber.toInt(&isNumber);
    if (!isNumber || port < 1 || port > 65535) {
        Q_EMIT status(tr("Port number \"%1\" is not a TCP port (1 to 65535)").arg(p.portNumber));
        return false;
    }
    QString before;
    if (Winsock1.state() != TcpClient::Closed) {
        // A socket left over from an earlier attempt (closed by the reader, or
        // failed) must be closed before it can connect again.
        Winsock1.close();
        before = tr("Previous connection closed. ");
    }
    Winsock1.setRemoteHost(p.ipAddress);
    Winsock1.setRemotePort(quint16(port));
    Winsock1.connectToReader();
    Q_EMIT status(before + QLatin1String("Attempting to connect ") + p.ipAddress + QLatin1String(" Port ") + p.portNumber);
    return true;
}

void ReaderLink::closeLink()
{
    const LinkParams p = m_params();
    if (!p.isTcp())
        MSComm1.close();
    else
        Winsock1.close();
    Q_EMIT status(QString());
}

bool ReaderLink::send(const QByteArray &text, LinkRule rule)
{
    const QByteArray frame = text + '\r';
    const LinkChoice choice = chooseLinks(rule, tcpConnected(), serialOpen());
    bool sent = false;
    if (choice.tcp) {
        if (Winsock1.sendData(frame))
            sent = true;
        else
            Q_EMIT status(Winsock1.errorString());
    }
    if (choice.serial) {
        if (MSComm1.output(frame))
            sent = true;
        else
            Q_EMIT status(MSComm1.errorString());
    }
    return sent;
}

// Takes what is waiting in bounded pieces straight into the sink's space, so
// one huge arrival cannot hold the window and no event costs an allocation or
// an extra copy; an event without data still counts as an arrival.
template <typename Read> void ReaderLink::drain(Read read)
{
    for (bool first = true;; first = false) {
        qsizetype room = 0;
        char *space = m_sink->reserve(&room);
        const qint64 n = read(space, qMin(room, ReadChunk));
        if (n <= 0 && !first)
            return;
        // Observers see the bytes while they are still where they were read to.
        Q_EMIT received(QByteArray::fromRawData(space, qMax<qint64>(n, 0)));
        m_sink->commit(qMax<qint64>(n, 0));
        if (n <= 0)
            return;
    }
}

void ReaderLink::MSComm1_OnComm()
{
    drain([this](char *buffer, qint64 max) { return MSComm1.input(buffer, max); });
}

void ReaderLink::Winsock1_DataArrival()
{
    drain([this](char *buffer, qint64 max) { return Winsock1.getData(buffer, max); });
}

void ReaderLink::Winsock1_Connect()
{
    const LinkParams p = m_params();
    Q_EMIT status(QLatin1String("Connected to ") + p.ipAddress + QLatin1String(" Port ") + p.portNumber);
}

void ReaderLink::Winsock1_Close()
{
    Q_EMIT status(QStringLiteral("Closed"));
}

void ReaderLink::Winsock1_Error(const QString &description)
{
    Q_EMIT status(description);
}

} // namespace zanto
