// The serial port and the TCP client as the rest of the tool relies on them.
#include "platform/serialport.h"
#include "platform/tcpclient.h"
#include "support/loopbackreader.h"
#include "support/ptypair.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zanto;

class TestLinks : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void portTextNamesDevice_data();
    void portTextNamesDevice();
    void serialCarriesEveryByteBothWays();
    void permissionHintNamesTheGroup();
    void farEndClosedClosesPortOnce();
    void tcpStatesAndEvents();
    void tcpRefusedIsAnError();
    void tcpOwnCloseIsNoCloseEvent();
};

void TestLinks::portTextNamesDevice_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("device");
    QTest::newRow("first port") << "1" << "/dev/ttyS0";
    QTest::newRow("24th port") << "24" << "/dev/ttyS23";
    QTest::newRow("usb adapter path") << "/dev/ttyUSB0" << "/dev/ttyUSB0";
    QTest::newRow("by-id path") << "/dev/serial/by-id/usb-x" << "/dev/serial/by-id/usb-x";
    QTest::newRow("zero") << "0" << "";
    QTest::newRow("negative") << "-1" << "";
    QTest::newRow("lower-case tcp") << "tcp/ip" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("beyond 16 bits") << "70000" << "";
    QTest::newRow("plain file is no device") << "CMakeCache.txt" << "";
}

void TestLinks::portTextNamesDevice()
{
    QFETCH(QString, text);
    QFETCH(QString, device);
    QCOMPARE(SerialPort::deviceForPortText(text), device);
}

void TestLinks::serialCarriesEveryByteBothWays()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    SerialPort port;
    const auto opened = port.open(pty.linkPath(), 9600);
    QVERIFY2(opened, qPrintable(opened ? QString() : opened.error().reason));
    QVERIFY(port.portOpen());

    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    QVERIFY(port.output(all));
    QCOMPARE(pty.readAtLeast(all.size()), all);

    QSignalSpy comm(&port, &SerialPort::onComm);
    QVERIFY(pty.write(all));
    QByteArray got;
    char buffer[4096];
    QTRY_VERIFY((got += QByteArray(buffer, port.input(buffer, sizeof buffer))).size() >= all.size());
    QCOMPARE(got, all);
    QVERIFY(comm.count() >= 1);
    port.close();
    QVERIFY(!port.portOpen());
    port.close(); // closing a closed port is harmless
}

// A device the user may not open tells which group would give access. Run in
// a child that has given up root, since root may open anything.
void TestLinks::permissionHintNamesTheGroup()
{
    if (::geteuid() != 0)
        QSKIP("needs root to make a device file owned by another group and then give up root");
    QTemporaryDir dir;
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    const QString device = dir.filePath("ttyTEST");
    const QString privateDevice = dir.filePath("ttyPRIVATE");
    for (const QString &path : {device, privateDevice}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    // Group 0 ("root") may read and write the first; nobody but its owner the second.
    QVERIFY(::chmod(QFile::encodeName(device).constData(), 0660) == 0);
    QVERIFY(::chmod(QFile::encodeName(privateDevice).constData(), 0600) == 0);
    int pipeEnds[2];
    QVERIFY(::pipe(pipeEnds) == 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        const QByteArray answer = SerialPort::permissionHint(device).toUtf8() + '\n'
            + SerialPort::permissionHint(privateDevice).toUtf8() + '\n';
        ::_exit(::write(pipeEnds[1], answer.constData(), size_t(answer.size())) == answer.size() ? 0 : 3);
    }
    ::close(pipeEnds[1]);
    QByteArray answer;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, n);
    ::close(pipeEnds[0]);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    QCOMPARE(QString::fromUtf8(answer),
             device + " may be used by the group root only: add your user to it (sudo usermod -aG root $USER), "
                      "then log out and in again\n\n");
}

void TestLinks::farEndClosedClosesPortOnce()
{
    PtyPair pty;
    SerialPort port;
    QVERIFY(port.open(pty.linkPath(), 9600));
    QSignalSpy lost(&port, &SerialPort::lost);
    QSignalSpy comm(&port, &SerialPort::onComm);
    pty.write("AB");
    QTRY_VERIFY(comm.count() > 0);
    pty.closeMaster();
    QTRY_COMPARE(lost.count(), 1);
    QVERIFY(!port.portOpen());
    // No storm of errors or events once the port is closed.
    const int events = comm.count();
    QTest::qWait(200);
    QCOMPARE(lost.count(), 1);
    QVERIFY(comm.count() <= events + 1);
}

void TestLinks::tcpStatesAndEvents()
{
    LoopbackReader reader;
    TcpClient client;
    QCOMPARE(client.state(), int(TcpClient::Closed));
    client.setRemoteHost(QStringLiteral("127.0.0.1"));
    client.setRemotePort(reader.port());
    QSignalSpy connected(&client, &TcpClient::connected);
    QSignalSpy closed(&client, &TcpClient::closed);
    QSignalSpy errors(&client, &TcpClient::error);
    // Taken as the link takes it: everything, at every arrival. The end of
    // the connection is known once what came before it is taken.
    QByteArray got;
    connect(&client, &TcpClient::dataArrival, &client, [&] {
        char buffer[100];
        for (qint64 n; (n = client.getData(buffer, sizeof buffer)) > 0;)
            got.append(buffer, n);
    });
    client.connectToReader();
    QVERIFY(client.state() != int(TcpClient::Connected));
    QTRY_COMPARE(connected.count(), 1);
    QCOMPARE(client.state(), int(TcpClient::Connected));
    QVERIFY(reader.waitForClient());

    QVERIFY(client.sendData(QByteArray("L\r", 2)));
    QVERIFY(reader.waitForBytes(2));
    QCOMPARE(reader.received(), QByteArray("L\r"));

    reader.send("bye");
    reader.disconnectClient();
    QTRY_COMPARE(closed.count(), 1);
    QCOMPARE(errors.count(), 0); // the reader closing is no error
    QCOMPARE(client.state(), int(TcpClient::PeerClosing));
    QCOMPARE(got, QByteArray("bye"));
    QVERIFY(!client.sendData("x"));
    client.close();
    QCOMPARE(client.state(), int(TcpClient::Closed));
}

void TestLinks::tcpRefusedIsAnError()
{
    quint16 unusedPort;
    {
        LoopbackReader gone;
        unusedPort = gone.port();
    }
    TcpClient client;
    client.setRemoteHost(QStringLiteral("127.0.0.1"));
    client.setRemotePort(unusedPort);
    QSignalSpy errors(&client, &TcpClient::error);
    QSignalSpy closed(&client, &TcpClient::closed);
    client.connectToReader();
    QTRY_COMPARE(errors.count(), 1);
    QVERIFY(!errors.first().first().toString().isEmpty());
    QCOMPARE(client.state(), int(TcpClient::Error));
    QCOMPARE(closed.count(), 0);
    client.close();
    QCOMPARE(client.state(), int(TcpClient::Closed));
}

void TestLinks::tcpOwnCloseIsNoCloseEvent()
{
    LoopbackReader reader;
    TcpClient client;
    client.setRemoteHost(QStringLiteral("127.0.0.1"));
    client.setRemotePort(reader.port());
    QSignalSpy connected(&client, &TcpClient::connected);
    QSignalSpy closed(&client, &TcpClient::closed);
    QSignalSpy errors(&client, &TcpClient::error);
    client.connectToReader();
    QTRY_COMPARE(connected.count(), 1);
    client.close();
    QTest::qWait(50);
    QCOMPARE(closed.count(), 0);
    QCOMPARE(errors.count(), 0);
    QCOMPARE(client.state(), int(TcpClient::Closed));
}

QTEST_GUILESS_MAIN(TestLinks)
#include "tst_links.moc"
