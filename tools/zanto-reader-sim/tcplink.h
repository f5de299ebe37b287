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

protected:
    void writeBytes(const QByteArray &bytes) override;
    bool hangUp() override;

private:
    QTcpSocket *m_socket;
    bool m_hungUp = false;
};
