#pragma once

#include "protocol/result.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <memory>

namespace zanto {

// The reader's serial link. The baud rate (with 8 data bits, no parity, one
// stop bit) is applied before the port opens; received bytes are announced by onComm()
// and taken with input() in bounded chunks; a read or resource error (adapter
// unplugged, far end of a pty closed) closes the port at once and is reported
// once by lost().
class SerialPort : public QObject
{
    Q_OBJECT
public:
    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    // The device a port text names: a number n is the platform's n-th serial
    // device, a device path is taken as it stands; anything else names none.
    static QString deviceForPortText(const QString &portText);

    // Why a port would not open, and what a user can do about it when there
    // is something (on Linux: the group that gives access to the device).
    struct OpenFailure {
        QString reason;
        QString hint;
    };

    // Opens the device the port text names at the baud rate, 8 data bits, no
    // parity, one stop bit. On failure a port that was open before stays open
    // and working; on success the new port replaces it. The port already open
    // is only given the new rate.
    Result<void, OpenFailure> open(const QString &portText, qint32 baud);
    void close();
    bool portOpen() const;

    // Writes the whole frame, or says why the port refused it.
    Done output(const QByteArray &bytes);
    // Takes at most maxBytes into the caller's buffer; the count taken.
    qint64 input(char *buffer, qint64 maxBytes);

    static constexpr qint64 ReadBufferLimit = 1 << 20;

    // The hint for a device the system refused to open: the group owning it,
    // when the user is not in that group.
    static QString permissionHint(const QString &device);

Q_SIGNALS:
    void onComm();
    void lost(const QString &why);

private:
    static bool configure(QSerialPort &port, qint32 baud);
    void adopt(std::unique_ptr<QSerialPort> port);
    void handleError(QSerialPort::SerialPortError error);

    std::unique_ptr<QSerialPort> m_port;
    QString m_device;
};

} // namespace zanto
