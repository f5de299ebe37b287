#include "platform/serialport.h"

#include <QFileInfo>

namespace zanto {

SerialPort::SerialPort(QObject *parent)
    : QObject(parent)
{
    m_port.setReadBufferSize(ReadBufferLimit);
    connect(&m_port, &QSerialPort::readyRead, this, &SerialPort::onComm);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialPort::handleError);
}

SerialPort::~SerialPort()
{
    m_port.disconnect(this);
    m_port.close();
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

bool SerialPort::setSettings(const QString &settings)
{
    m_settingsValid = false;
    const QStringList parts = settings.split(QLatin1Char(','));
    if (parts.size() != 4) {
        m_error = tr("Settings \"%1\" are not baud,parity,data,stop").arg(settings);
        return false;
    }
    bool ok = false;
    const qint64 baud = parts[0].toLongLong(&ok);
    if (!ok || baud <= 0 || baud > 100000000 || parts[0] != parts[0].trimmed()) {
        m_error = tr("Baud rate \"%1\" is not usable").arg(parts[0]);
        return false;
    }
    static const struct { QChar c; QSerialPort::Parity p; } parities[] = {
        {QLatin1Char('n'), QSerialPort::NoParity},   {QLatin1Char('e'), QSerialPort::EvenParity},
        {QLatin1Char('o'), QSerialPort::OddParity},  {QLatin1Char('m'), QSerialPort::MarkParity},
        {QLatin1Char('s'), QSerialPort::SpaceParity},
    };
    bool parityOk = false;
    if (parts[1].size() == 1) {
        for (const auto &row : parities) {
            if (row.c == parts[1].at(0).toLower()) {
                m_parity = row.p;
                parityOk = true;
            }
        }
    }
    const int data = parts[2].toInt(&ok);
    if (!parityOk || !ok || data < 5 || data > 8) {
        m_error = tr("Settings \"%1\" are not usable").arg(settings);
        return false;
    }
    m_dataBits = static_cast<QSerialPort::DataBits>(data);
    if (parts[3] == QLatin1String("1"))
        m_stopBits = QSerialPort::OneStop;
    else if (parts[3] == QLatin1String("1.5"))
        m_stopBits = QSerialPort::OneAndHalfStop;
    else if (parts[3] == QLatin1String("2"))
        m_stopBits = QSerialPort::TwoStop;
    else {
        m_error = tr("Settings \"%1\" are not usable").arg(settings);
        return false;
    }
    m_baud = static_cast<qint32>(baud);
    m_settingsValid = true;
    return true;
}

bool SerialPort::open(const QString &portText)
{
    if (m_port.isOpen())
        m_port.close();
    if (!m_settingsValid)
        return false;
    const QString device = deviceForPortText(portText);
    if (device.isEmpty()) {
        m_error = tr("\"%1\" names no serial port").arg(portText);
        return false;
    }
    m_port.setPortName(device);
    // Applied before opening: a pty refuses some changes while it is open.
    if (!m_port.setBaudRate(m_baud) || !m_port.setParity(m_parity) || !m_port.setDataBits(m_dataBits)
        || !m_port.setStopBits(m_stopBits) || !m_port.setFlowControl(QSerialPort::NoFlowControl)) {
        m_error = m_port.errorString();
        return false;
    }
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_error = m_port.errorString();
        m_port.clearError();
        return false;
    }
    return true;
}

void SerialPort::close()
{
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

bool SerialPort::portOpen() const
{
    return m_port.isOpen();
}

bool SerialPort::output(const QByteArray &bytes)
{
    if (!m_port.isOpen())
        return false;
    const qint64 written = m_port.write(bytes);
    if (written != bytes.size()) {
        m_error = m_port.errorString();
        return false;
    }
    return true;
}

QByteArray SerialPort::input(qsizetype maxBytes)
{
    if (!m_port.isOpen())
        return {};
    return m_port.read(maxBytes);
}

qint64 SerialPort::input(char *buffer, qint64 maxBytes)
{
    if (!m_port.isOpen())
        return 0;
    return qMax<qint64>(0, m_port.read(buffer, maxBytes));
}

qint64 SerialPort::bytesWaiting() const
{
    return m_port.isOpen() ? m_port.bytesAvailable() : 0;
}

void SerialPort::handleError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return;
    const bool lineGone = error == QSerialPort::ReadError || error == QSerialPort::WriteError
        || error == QSerialPort::ResourceError;
    if (lineGone && m_port.isOpen()) {
        // Qt keeps raising the read error in a tight loop until the port is
        // closed (a pty whose far end closed), so close it here, at once, and
        // report the loss a single time.
        m_error = m_port.errorString();
        // Bytes already taken in still belong to the reader's last burst.
        if (m_port.bytesAvailable() > 0)
            Q_EMIT onComm();
        m_port.close();
        m_port.clearError();
        Q_EMIT lost(m_error);
    }
}

} // namespace zanto
