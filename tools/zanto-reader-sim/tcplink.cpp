#include "tcplink.h"

#include <QHostAddress>
#include <QTcpSocket>

TcpLink::TcpLink(QTcpSocket *socket, QObject *parent)
    : SimLink(QStringLiteral("tcp"), parent)
    , m_socket(socket)
{
    m_socket->setParent(this);
    connect(m_socket, &QTcpSocket::readyRead, this, [this] { deliver(m_socket->readAll()); });
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
