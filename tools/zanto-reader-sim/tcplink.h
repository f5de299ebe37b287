#pragma once

#include "simlink.h"

class QTcpSocket;

// The connected TCP client. The link takes the socket over.
class TcpLink : public SimLink
{
    Q_OBJECT
public:
    TcpLink(QTcpSocket *socket, QObject *parent = nullptr);

    bool isOpen() const override;
    qint64 backlog() const override;
    // A newer client takes this one's place: no goodbye, no closed() signal.
    void abandon();

    // What the socket holds of the client's bytes before we take them: past
    // this the kernel's window closes and the client has to wait.
    static constexpr qint64 ReadBufferSize = 64 * 1024;

protected:
    void writeBytes(const QByteArray &bytes) override;
    bool hangUp() override;
    bool overflow() override;

private:
    void readSome();

    QTcpSocket *m_socket;
    bool m_hungUp = false;
};
