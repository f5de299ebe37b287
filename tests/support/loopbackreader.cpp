#include "support/loopbackreader.h"

#include <QSignalSpy>
#include <QTest>

LoopbackReader::LoopbackReader()
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            if (m_client)
                m_client->deleteLater();
            m_client = socket;
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { m_received += socket->readAll(); });
        }
    });
}

bool LoopbackReader::waitForClient(int timeoutMs)
{
    for (QDeadlineTimer deadline(timeoutMs); !deadline.hasExpired();) {
        if (hasClient())
            return true;
        QTest::qWait(5);
    }
    return hasClient();
}

bool LoopbackReader::waitForBytes(qsizetype count, int timeoutMs)
{
    for (QDeadlineTimer deadline(timeoutMs); !deadline.hasExpired();) {
        if (m_received.size() >= count)
            return true;
        QTest::qWait(5);
    }
    return m_received.size() >= count;
}

bool LoopbackReader::send(const QByteArray &bytes)
{
    if (!m_client)
        return false;
    const bool ok = m_client->write(bytes) == bytes.size();
    m_client->flush();
    return ok;
}

void LoopbackReader::disconnectClient()
{
    if (m_client)
        m_client->disconnectFromHost();
}

void LoopbackReader::resetClient()
{
    if (m_client) {
        m_client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_client->abort();
    }
}
