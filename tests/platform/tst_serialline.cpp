// What the serial port asks of the line: the rate asked for, 8 data bits, no
// parity, one stop bit, no flow control of either kind. The rate, the stop
// bits and the flow control are read back from the pseudo-terminal itself. A
// pseudo-terminal forces 8 data bits and no parity whatever it is asked, so
// those two are read from every request the port made of it (noted by the
// library preloaded into this program, support/syscallfaults.c).
#include "platform/serialport.h"
#include "support/ptypair.h"
#include "support/syscallfaults.h"

#include <QFile>
#include <QTest>

#include <sys/stat.h>
#include <termios.h>

using namespace zanto;

class TestSerialLine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void lineSettings_data();
    void lineSettings();

private:
    SyscallFaults m_faults;
};

void TestSerialLine::initTestCase()
{
    m_faults = SyscallFaults::find();
    if (!m_faults.loaded())
        QFAIL(SyscallFaultsMissing);
}

void TestSerialLine::lineSettings_data()
{
    QTest::addColumn<int>("openBefore"); // the rate the port is already open at; 0: closed
    QTest::addColumn<int>("baud");
    QTest::addColumn<uint>("speed"); // the system's code for that rate
    QTest::newRow("4800") << 0 << 4800 << uint(B4800);
    QTest::newRow("9600") << 0 << 9600 << uint(B9600);
    QTest::newRow("19200") << 0 << 19200 << uint(B19200);
    QTest::newRow("38400") << 0 << 38400 << uint(B38400);
    QTest::newRow("57600") << 0 << 57600 << uint(B57600);
    QTest::newRow("115200") << 0 << 115200 << uint(B115200);
    QTest::newRow("open at 9600, then 57600") << 9600 << 57600 << uint(B57600);
}

void TestSerialLine::lineSettings()
{
    QFETCH(int, openBefore);
    QFETCH(int, baud);
    QFETCH(uint, speed);
    PtyPair pty;
    QVERIFY(pty.isValid());
    struct stat device {};
    QCOMPARE(::stat(QFile::encodeName(pty.slavePath()).constData(), &device), 0);
    SerialPort port;
    if (openBefore)
        QVERIFY(port.open(pty.linkPath(), openBefore));
    m_faults.reset();

    const auto opened = port.open(pty.linkPath(), baud);
    QVERIFY2(opened, qPrintable(opened ? QString() : opened.error().reason));

    termios asked[64];
    const int n = m_faults.lineRequests(device.st_rdev, asked, 64);
    QVERIFY(n > 0);
    for (int i = 0; i < n; ++i) {
        QCOMPARE(asked[i].c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(asked[i].c_cflag & PARENB, tcflag_t(0));
    }
    // Linux shows the slave's settings on the master as well.
    termios line {};
    QCOMPARE(::tcgetattr(pty.masterFd(), &line), 0);
    QCOMPARE(uint(cfgetispeed(&line)), speed);
    QCOMPARE(uint(cfgetospeed(&line)), speed);
    QCOMPARE(line.c_cflag & CSTOPB, tcflag_t(0));
    QCOMPARE(line.c_cflag & CRTSCTS, tcflag_t(0));
    QCOMPARE(line.c_iflag & (IXON | IXOFF), tcflag_t(0));
}

QTEST_GUILESS_MAIN(TestSerialLine)
#include "tst_serialline.moc"
