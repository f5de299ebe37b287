#pragma once

#include "link/linkparameters.h"
#include "link/receivesink.h"
#include "platform/serialport.h"
#include "platform/tcpclient.h"
#include "protocol/linkrules.h"

#include <QByteArrayView>
#include <QObject>

namespace zanto {

// The reader link: the serial port and the TCP client, opening and closing them
// as the connect button asks, the one send operation under the link rules, and
// every byte received on either link written into the receive sink. What it
// opens is what the last setParameters() said; what happens to it is told by
// its signals, and its ports are its own.
class ReaderLink : public QObject
{
    Q_OBJECT
public:
    // Everything received goes into the sink.
    explicit ReaderLink(ReceiveSink *sink, QObject *parent = nullptr);

    // In force from now: the next open, close and connection event use them.
    void setParameters(const LinkParameters &parameters);
    const LinkParameters &parameters() const { return m_parameters; }

    // Opens the link the parameters select. True when the connect button should
    // now read "Disconnect" (a TCP connection is then under way, or open).
    bool openLink();
    // Closes the link the parameters select now (not necessarily the one opened).
    void closeLink();

    // Sends the text and one CR under the rule. True when the frame went out on
    // at least one link; a link that refused it has said why through status().
    bool send(const QByteArray &text, LinkRule rule);

    bool tcpConnected() const { return m_tcp.state() == TcpClient::Connected; }
    bool serialOpen() const { return m_serial.portOpen(); }

    // The most taken in at one arrival event; what is left is taken at the next.
    static constexpr qsizetype PerEvent = 1024 * 1024;

Q_SIGNALS:
    // The status line's text, and what more there is to say about it (the
    // system's reason a port could not be opened, what to do about it).
    void status(const QString &text, const QString &detail = QString());
    // The link can carry commands: the serial port opened, or the TCP
    // connection was made.
    void opened();
    // The reader ended the TCP connection.
    void closedByReader();
    // The link failed: a TCP error, or the serial line gone (the port is
    // closed already).
    void lost(const QString &reason);
    // Bytes received on either link, possibly none (an event without data),
    // just before the sink takes them. The view is only valid during the call.
    void bytesArrived(QByteArrayView bytes);

private:
    void serialData();
    void tcpData();
    void tcpConnectedEvent();
    void tcpClosedByReader();
    void tcpError(const QString &description);

    template <typename Read> void drain(Read read);

    SerialPort m_serial;
    TcpClient m_tcp;
    LinkParameters m_parameters;
    ReceiveSink *m_sink;
    QString m_serialPortText;
};

} // namespace zanto
