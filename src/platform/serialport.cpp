#include "platform/serialport.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zanto {

SerialPort::SerialPort(QObject *parent)
    : QObject(parent)
{
}

SerialPort::~SerialPort()
{
    if (m_port) {
        m_port->disconnect(this);
        m_port->close();
    }
}

QString SerialPort::deviceForPortText(const QString &portText)
{
    if (portText.startsWith(QLatin1String("/dev/")))
        return portText;
    bool isNumber = false;
    const int n = portText.toShort(&isNumber);
    if (isNumber) {
        if (n < 1)
            return {};
#ifdef Q_OS_WIN
        return QStringLiteral("COM%1").arg(n);
#else
        return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
    }
#ifndef Q_OS_WIN
    // An existing character device given by another path (a symlink made for it).
    const QFileInfo info(portText);
    if (!portText.isEmpty() && info.exists() && !info.isDir() && !info.isFile())
        return portText;
#endif
    return {};
}

bool SerialPort::configure(QSerialPort &port, qint32 baud)
{
    return port.setBaudRate(baud) && port.setParity(QSerialPort::NoParity) && port.setDataBits(QSerialPort::Data8)
        && port.setStopBits(QSerialPort::OneStop) && port.setFlowControl(QSerialPort::NoFlowControl);
}

Result<void, SerialPort::OpenFailure> SerialPort::open(const QString &portText, qint32 baud)
{
    const QString device = deviceForPortText(portText);
    if (device.isEmpty())
        return failure(OpenFailure{tr("\"%1\" names no serial port").arg(portText), {}});
    const QString canonical = QFileInfo(device).canonicalFilePath();
    if (portOpen() && !canonical.isEmpty() && canonical == QFileInfo(m_device).canonicalFilePath()) {
        // Opening it again would only find it busy: it is ours already.
        if (!configure(*m_port, baud))
            return failure(OpenFailure{m_port->errorString(), {}});
        return {};
    }
    // The new port is opened beside the one that may be open: if it fails,
    // the working one is left alone.
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(device);
    port->setReadBufferSize(ReadBufferLimit);
    // Applied before opening: a pty refuses some changes while it is open.
    if (!configure(*port, baud))
        return failure(OpenFailure{port->errorString(), {}});
    if (!port->open(QIODevice::ReadWrite)) {
        const QString hint = port->error() == QSerialPort::PermissionError ? permissionHint(device) : QString();
        return failure(OpenFailure{port->errorString(), hint});
    }
    adopt(std::move(port));
    m_device = device;
    return {};
}

void SerialPort::adopt(std::unique_ptr<QSerialPort> port)
{
    if (m_port) {
        m_port->disconnect(this);
        m_port->close();
    }
    m_port = std::move(port);
    connect(m_port.get(), &QSerialPort::readyRead, this, &SerialPort::onComm);
    connect(m_port.get(), &QSerialPort::errorOccurred, this, &SerialPort::handleError);
}

QString SerialPort::permissionHint(const QString &device)
{
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(device);
    struct stat info {};
    if (::stat(path.constData(), &info) != 0 || ::access(path.constData(), R_OK | W_OK) == 0)
        return {}; // not a matter of permissions (a lock held by another program, say)
    if ((info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return {}; // no group would help
    QString group = QString::number(info.st_gid);
    char buffer[4096];
    struct group entry {};
    struct group *found = nullptr;
    if (::getgrgid_r(info.st_gid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        group = QString::fromLocal8Bit(found->gr_name);
    return tr("%1 may be used by the group %2 only: add your user to it "
              "(sudo usermod -aG %2 $USER), then log out and in again")
        .arg(device, group);
#else
    Q_UNUSED(device);
    return {};
#endif
}

void SerialPort::close()
{
    if (m_port && m_port->isOpen())
        m_port->close();
    if (m_port)
        m_port->clearError();
}

bool SerialPort::portOpen() const
{
    return m_port && m_port->isOpen();
}

Done SerialPort::output(const QByteArray &bytes)
{
    if (!portOpen())
        return failure(tr("the serial port is not open"));
    if (m_port->write(bytes) != bytes.size())
        return failure(m_port->errorString());
    return Done();
}

qint64 SerialPort::input(char *buffer, qint64 maxBytes)
{
    if (!portOpen())
        return 0;
    return qMax<qint64>(0, m_port->read(buffer, maxBytes));
}

void SerialPort::handleError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return;
    const bool lineGone = error == QSerialPort::ReadError || error == QSerialPort::WriteError
        || error == QSerialPort::ResourceError;
    if (lineGone && portOpen()) {
        // Qt keeps raising the read error in a tight loop until the port is
        // closed (a pty whose far end closed), so close it here, at once, and
        // report the loss a single time.
        // The system's words for a line that went away are those of whatever
        // call noticed it first ("Inappropriate ioctl for device" for a pty
        // whose far end closed); what happened is the same every time.
        const QString why = error == QSerialPort::WriteError
            ? m_port->errorString()
            : tr("the port closed at the other end: the reader, its cable or its adapter went away");
        // Bytes already taken in still belong to the reader's last burst.
        if (m_port->bytesAvailable() > 0)
            Q_EMIT onComm();
        m_port->close();
        m_port->clearError();
        Q_EMIT lost(why);
    }
}

} // namespace zanto
