#include "tcplink.h"

#include <QHostAddress>
#include <QTcpSocket>

TcpLink::TcpLink(QTcpSocket *socket, QObject *parent)
    : SimLink(QStringLiteral("tcp"), parent)
    , m_socket(socket)
{
    m_socket->setParent(this);
    // Bounded, so a client that sends faster than we answer is held back by
    // TCP itself instead of by our memory.
    m_socket->setReadBufferSize(ReadBufferSize);
    connect(m_socket, &QTcpSocket::readyRead, this, &TcpLink::readSome);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &SimLink::writable);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        m_hungUp = true;
        dropQueue();
        emit closed();
    });
}

bool TcpLink::isOpen() const
{
    return !m_hungUp && m_socket->state() == QAbstractSocket::ConnectedState;
}

qint64 TcpLink::backlog() const
{
    return m_socket->bytesToWrite();
}

void TcpLink::abandon()
{
    m_hungUp = true;
    dropQueue();
    disconnect(m_socket, nullptr, this, nullptr);
    m_socket->abort();
}

void TcpLink::readSome()
{
    // At most the read buffer's worth per wake-up, in small pieces, each cut
    // into commands and answered before the next is read.
    char chunk[4096];
    for (qint64 taken = 0; taken < ReadBufferSize && isOpen();) {
        const qint64 n = m_socket->read(chunk, sizeof chunk);
        if (n <= 0)
            return;
        taken += n;
        deliver(QByteArrayView(chunk, n));
    }
    // Still more buffered (it came in while we answered): come back after the
    // event loop has had its turn.
    if (isOpen() && m_socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &TcpLink::readSome, Qt::QueuedConnection);
}

void TcpLink::writeBytes(const QByteArray &bytes)
{
    m_socket->write(bytes);
}

bool TcpLink::hangUp()
{
    m_hungUp = true;
    // disconnectFromHost sends what is still buffered first, so the reply
    // that announced the reset arrives before the connection goes.
    m_socket->disconnectFromHost();
    return true;
}

bool TcpLink::overflow()
{
    // A client that does not take its answers is dropped at once, with what
    // was waiting for it: flushing megabytes it never reads first would keep
    // them in our memory for nothing.
    m_hungUp = true;
    dropQueue();
    QMetaObject::invokeMethod(this, [this] { m_socket->abort(); }, Qt::QueuedConnection);
    return true;
}
