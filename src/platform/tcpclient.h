#pragma once

#include "protocol/result.h"

#include <QByteArray>
#include <QObject>
#include <QTcpSocket>

namespace zanto {

// The reader's TCP link, always the client side. state() keeps the numbering
// the rest of the tool tests against (7 = connected); connected(), closed(),
// error() and dataArrival() are its events. closed() is only the reader ending
// the connection, never the tool's own close().
class TcpClient : public QObject
{
    Q_OBJECT
public:
    enum State {
        Closed = 0,
        Open = 1,
        Listening = 2,
        ConnectionPending = 3,
        ResolvingHost = 4,
        HostResolved = 5,
        Connecting = 6,
        Connected = 7,
        PeerClosing = 8,
        Error = 9,
    };

    explicit TcpClient(QObject *parent = nullptr);
    ~TcpClient() override;

    void setRemoteHost(const QString &host) { m_host = host; }
    void setRemotePort(quint16 port) { m_port = port; }

    void connectToReader();
    void close();
    int state() const;

    // Hands the whole frame to the socket, or says why the socket refused it.
    Done sendData(const QByteArray &bytes);
    // Takes at most maxBytes into the caller's buffer; the count taken.
    qint64 getData(char *buffer, qint64 maxBytes);

Q_SIGNALS:
    void connected();
    void closed();
    void error(const QString &description);
    void dataArrival();

private:
    void handleError(QAbstractSocket::SocketError error);
    void handleDisconnected();
    void handleReadyRead();
    // The socket has ended: closed by the reader, or failed. `queued` tells
    // it after the current read is done.
    void noteEnd(bool queued);

    QTcpSocket m_socket;
    QString m_host;
    quint16 m_port = 0;
    bool m_peerClosed = false;
    bool m_failed = false;
    bool m_closing = false;
    // A byte read to tell data from the end of the connection, not yet taken.
    char m_held = 0;
    bool m_holding = false;
};

} // namespace zanto
