#pragma once

#include "link/receivesink.h"
#include "platform/serialport.h"
#include "platform/tcpclient.h"
#include "protocol/linkrules.h"

#include <QObject>
#include <functional>

namespace zanto {

// The link parameters as the Port Settings dialog shows them at this moment.
struct LinkParams {
    QString portText;   // "TCP/IP" or a serial port
    QString baudText;
    QString ipAddress;
    QString portNumber;
    bool isTcp() const { return portText == QLatin1String("TCP/IP"); }
};

// The reader link: the serial port and the TCP client, opening and closing them
// as the connect button asks, the one send operation under the link rules, and
// every byte received on either link handed on through received(). Status texts
// go out through status().
class ReaderLink : public QObject
{
    Q_OBJECT
public:
    // Everything received on either link goes into the sink.
    ReaderLink(std::function<LinkParams()> params, ReceiveSink *sink, QObject *parent = nullptr);

    // Opens the link the parameters select. True when the connect button should
    // now read "Disconnect".
    bool openLink();
    // Closes the link the parameters select now (not necessarily the one opened).
    void closeLink();

    // Sends the text and one CR under the rule. True when the frame went out on
    // at least one link; a link that refused it has said why through status().
    bool send(const QByteArray &text, LinkRule rule);

    bool tcpConnected() const { return Winsock1.state() == TcpClient::Connected; }
    bool serialOpen() const { return MSComm1.portOpen(); }

    SerialPort MSComm1;
    TcpClient Winsock1;

    // Largest piece handed on at once; a huge arrival becomes several pieces.
    static constexpr qsizetype ReadChunk = 256 * 1024;

Q_SIGNALS:
    // The status line's text, and what more there is to say about it (the
    // system's reason a port could not be opened, what to do about it).
    void status(const QString &text, const QString &detail = QString());
    // Bytes received on either link, possibly none (an event without data),
    // just before the sink takes them. The array is only valid during the call.
    void received(const QByteArray &bytes);

private:
    void MSComm1_OnComm();
    void Winsock1_DataArrival();
    void Winsock1_Connect();
    void Winsock1_Close();
    void Winsock1_Error(const QString &description);

    template <typename Read> void drain(Read read);

    std::function<LinkParams()> m_params;
    ReceiveSink *m_sink;
    QString m_serialPortText;
};

} // namespace zanto
