#pragma once

#include "link/linkparameters.h"
#include "link/receivesink.h"
#include "platform/serialport.h"
#include "platform/tcpclient.h"
#include "protocol/linkrules.h"

#include <QObject>
#include <functional>

namespace zanto {

// The reader link: the serial port and the TCP client, opening and closing them
// as the connect button asks, the one send operation under the link rules, and
// every byte received on either link written into the receive sink. Status
// texts go out through status().
class ReaderLink : public QObject
{
    Q_OBJECT
public:
    // The parameters are asked for afresh whenever they are needed: at open,
    // at close and at each socket event. Everything received goes into the sink.
    ReaderLink(std::function<LinkParameters()> parameters, ReceiveSink *sink, QObject *parent = nullptr);

    // Opens the link the parameters select. True when the connect button should
    // now read "Disconnect".
    bool openLink();
    // Closes the link the parameters select now (not necessarily the one opened).
    void closeLink();

    // Sends the text and one CR under the rule. True when the frame went out on
    // at least one link; a link that refused it has said why through status().
    bool send(const QByteArray &text, LinkRule rule);

    bool tcpConnected() const { return tcp.state() == TcpClient::Connected; }
    bool serialOpen() const { return serial.portOpen(); }

    SerialPort serial;
    TcpClient tcp;

    // The most taken in at one arrival event; what is left is taken at the next.
    static constexpr qsizetype PerEvent = 1024 * 1024;

Q_SIGNALS:
    // The status line's text, and what more there is to say about it (the
    // system's reason a port could not be opened, what to do about it).
    void status(const QString &text, const QString &detail = QString());
    // Bytes received on either link, possibly none (an event without data),
    // just before the sink takes them. The array is only valid during the call.
    void received(const QByteArray &bytes);

private:
    void serialData();
    void tcpData();
    void tcpConnectedEvent();
    void tcpClosedByReader();
    void tcpError(const QString &description);

    template <typename Read> void drain(Read read);

    std::function<LinkParameters()> m_parameters;
    ReceiveSink *m_sink;
    QString m_serialPortText;
};

} // namespace zanto
