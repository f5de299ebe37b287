#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// A reader on the TCP side: a server on 127.0.0.1 (never any other address),
// port chosen by the system, capturing what the tool sends and letting the
// test answer, drop or reset the connection.
class LoopbackReader : public QObject
{
    Q_OBJECT
public:
    LoopbackReader();

    quint16 port() const { return m_server.serverPort(); }
    QString portText() const { return QString::number(port()); }
    bool waitForClient(int timeoutMs = 3000);
    bool hasClient() const { return m_client && m_client->state() == QAbstractSocket::ConnectedState; }

    QByteArray received() const { return m_received; }
    // Waits until at least `count` bytes were received (or the time runs out).
    bool waitForBytes(qsizetype count, int timeoutMs = 3000);
    void clearReceived() { m_received.clear(); }

    bool send(const QByteArray &bytes);
    void disconnectClient();       // an orderly close by the reader
    void resetClient();            // an abrupt reset
    void stopListening() { m_server.close(); }

private:
    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
    QByteArray m_received;
};
