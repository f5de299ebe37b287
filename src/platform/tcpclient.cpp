#include "platform/tcpclient.h"

namespace zanto {

TcpClient::TcpClient(QObject *parent)
    : QObject(parent)
{
    connect(&m_socket, &QTcpSocket::connected, this, &TcpClient::connected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &TcpClient::handleReadyRead);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &TcpClient::handleError);
    connect(&m_socket, &QTcpSocket::disconnected, this, &TcpClient::handleDisconnected);
}

TcpClient::~TcpClient()
{
    // Going away is not the reader closing the connection: say nothing.
    m_closing = true;
    m_socket.disconnect(this);
    m_socket.abort();
}

void TcpClient::connectToReader()
{
    m_peerClosed = false;
    m_failed = false;
    m_holding = false;
    // Unbuffered: reads go from the system straight into the caller's space
    // (the row being gathered), not through a buffer of the socket's own.
    m_socket.connectToHost(m_host, m_port, QIODevice::ReadWrite | QIODevice::Unbuffered);
}

void TcpClient::close()
{
    m_holding = false;
    m_closing = true;
    m_socket.abort();
    m_closing = false;
    m_peerClosed = false;
    m_failed = false;
}

// The one place where the socket's states meet the numbering the link tests use.
int TcpClient::state() const
{
    if (m_peerClosed)
        return PeerClosing;
    if (m_failed)
        return Error;
    switch (m_socket.state()) {
    case QAbstractSocket::UnconnectedState:
        return Closed;
    case QAbstractSocket::HostLookupState:
        return ResolvingHost;
    case QAbstractSocket::ConnectingState:
        return Connecting;
    case QAbstractSocket::ConnectedState:
        return Connected;
    case QAbstractSocket::BoundState:
        return Open;
    case QAbstractSocket::ListeningState:
        return Listening;
    case QAbstractSocket::ClosingState:
        return PeerClosing;
    }
    return Closed;
}

Done TcpClient::sendData(const QByteArray &bytes)
{
    if (m_socket.state() != QAbstractSocket::ConnectedState)
        return failure(tr("the TCP connection is not open"));
    if (m_socket.write(bytes) != bytes.size()) {
        // A write that meets the reader's reset before a read has seen the
        // end is the reader having closed: told as a read would tell it, once
        // this send is over.
        if (m_socket.error() == QAbstractSocket::RemoteHostClosedError && !m_peerClosed && !m_failed) {
            m_peerClosed = true;
            QMetaObject::invokeMethod(this, &TcpClient::closed, Qt::QueuedConnection);
        }
        return failure(m_socket.errorString());
    }
    return Done();
}

void TcpClient::handleReadyRead()
{
    // Without a buffer of its own the socket says "readable" for data and for
    // the end of the connection alike; only data is an arrival. A read of one
    // byte tells them apart (and lets the socket watch again).
    if (m_socket.bytesAvailable() > 0) {
        Q_EMIT dataArrival();
        return;
    }
    char byte = 0;
    const qint64 n = m_socket.read(&byte, 1);
    if (n == 1) {
        m_held = byte; // arrived meanwhile: it goes first to the next reader
        m_holding = true;
        Q_EMIT dataArrival();
    } else if (n < 0) {
        noteEnd(false);
    }
}

void TcpClient::noteEnd(bool queued)
{
    if (m_closing || m_peerClosed || m_failed || m_socket.state() == QAbstractSocket::ConnectedState)
        return;
    // The socket learns of the end only on reading, and says nothing: the
    // reader closing, or the link failing, is told from here.
    if (m_socket.error() == QAbstractSocket::RemoteHostClosedError) {
        m_peerClosed = true;
        if (queued)
            QMetaObject::invokeMethod(this, &TcpClient::closed, Qt::QueuedConnection);
        else
            Q_EMIT closed();
        return;
    }
    m_failed = true;
    const QString why = m_socket.errorString();
    if (queued)
        QMetaObject::invokeMethod(this, [this, why] { Q_EMIT error(why); }, Qt::QueuedConnection);
    else
        Q_EMIT error(why);
}

qint64 TcpClient::getData(char *buffer, qint64 maxBytes)
{
    // Closed by whoever heard the last bytes: nothing more to take.
    if (!m_socket.isOpen())
        return 0;
    qint64 taken = 0;
    if (m_holding && maxBytes > 0) {
        buffer[taken++] = m_held;
        m_holding = false;
    }
    const qint64 n = m_socket.read(buffer + taken, maxBytes - taken);
    if (n >= 0)
        return taken + n;
    // The end comes after what was read before it: told once the caller is
    // done with this read.
    noteEnd(true);
    return taken;
}

void TcpClient::handleError(QAbstractSocket::SocketError error)
{
    if (m_closing)
        return;
    // The reader ending the connection is its own event, not an error.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    m_failed = true;
    Q_EMIT this->error(m_socket.errorString());
}

void TcpClient::handleDisconnected()
{
    if (m_closing || m_failed || m_peerClosed)
        return;
    m_peerClosed = true;
    // Whatever the reader sent before it closed is still waiting to be taken.
    if (m_socket.bytesAvailable() > 0)
        Q_EMIT dataArrival();
    Q_EMIT closed();
}

} // namespace zanto
