// The Ethernet Settings dialog: its two commands on every open link, and the
// three address texts it keeps in settings2.ini.
#include "app/mainwindow.h"
#include "ethernet/ethernetsettingsdialog.h"
#include "support/harness.h"
#include "support/testdir.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace zanto;

class TestEthernet : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void dialogAsDrawn();
    void settingsFile_data();
    void settingsFile();
    void unreadableSettingsFile();
    void commandsOnEveryOpenLink();
};

void TestEthernet::dialogAsDrawn()
{
    TestDir dir;
    MainWindow w;
    w.mnuEthernet->trigger();
    EthernetSettingsDialog *d = w.existingEthernetSettings();
    QVERIFY(d && d->isVisible() && !d->isModal());
    QCOMPARE(d->objectName(), QStringLiteral("EthernetSettings"));
    QCOMPARE(d->windowTitle(), QStringLiteral("Ethernet Settings"));
    QCOMPARE(d->Command1->text(), QStringLiteral("Read Ethernet Parameters"));
    QCOMPARE(d->Reboot->text(), QStringLiteral("Reboot"));
    QCOMPARE(EthernetSettingsDialog::helpText(),
             QStringLiteral("The IP address, subnet mask and gateway can be configured from the web page.  "
                            "Default IP address is 192.168.0.2 with subnet mask 155.155.155.0\r\n"));
    // The box shows the closing CR LF as the line break it is.
    QCOMPARE(d->Text1->toPlainText(), QString(EthernetSettingsDialog::helpText()).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    for (QWidget *hidden : std::initializer_list<QWidget *>{d->IPAddress, d->SubnetMask, d->Gateway, d->Label1, d->Label2, d->Label3})
        QVERIFY(!hidden->isVisible());
    QCOMPARE(d->Label2->text(), QStringLiteral("Subnet Mask"));
    QVERIFY(d->Command1->isVisible() && d->Reboot->isVisible() && d->Text1->isVisible());
    w.mnuEthernet->trigger();
    QCOMPARE(w.existingEthernetSettings(), d);
}

void TestEthernet::settingsFile_data()
{
    QTest::addColumn<QByteArray>("before"); // "-" for none
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QByteArray>("after");
    const QByteArray defaults = "172.18.30.78\r\n255.255.0.0\r\n172.18.0.54\r\n";
    QTest::newRow("first run") << QByteArray("-") << QStringList{"172.18.30.78", "255.255.0.0", "172.18.0.54"} << defaults;
    QTest::newRow("two lines") << QByteArray("10.0.0.5\r\n255.255.255.0\r\n") << QStringList{"10.0.0.5", "255.255.255.0", "172.18.0.54"}
                               << QByteArray("10.0.0.5\r\n255.255.255.0\r\n172.18.0.54\r\n");
    QTest::newRow("more than three lines") << QByteArray("a\r\nb\r\nc\r\nd\r\n") << QStringList{"a", "b", "c"} << QByteArray("a\r\nb\r\nc\r\n");
    QTest::newRow("empty lines stand") << QByteArray("\r\n\r\nx\n") << QStringList{"", "", "x"} << QByteArray("\r\n\r\nx\r\n");
}

void TestEthernet::settingsFile()
{
    QFETCH(QByteArray, before);
    QFETCH(QStringList, fields);
    QFETCH(QByteArray, after);
    TestDir dir;
    PtyPair pty;
    if (before != "-")
        QVERIFY(dir.write(QStringLiteral("settings2.ini"), before));
    MainWindow w;
    QVERIFY(connectSerial(w, pty));
    EthernetSettingsDialog *d = w.ethernetSettings(true);
    // Opening creates a missing file at once, empty.
    QCOMPARE(dir.read(QStringLiteral("settings2.ini")), before == "-" ? QByteArray() : before);
    QCOMPARE((QStringList{d->IPAddress->text(), d->SubnetMask->text(), d->Gateway->text()}), fields);
    d->close();
    QTRY_VERIFY(!w.existingEthernetSettings());
    QCOMPARE(dir.read(QStringLiteral("settings2.ini")), after);
    QCOMPARE(pty.readAvailable(), QByteArray()); // opening and closing send nothing
}

void TestEthernet::unreadableSettingsFile()
{
    TestDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("settings2.ini")));
    MainWindow w;
    EthernetSettingsDialog *d = w.ethernetSettings(true);
    QCOMPARE(d->IPAddress->text(), QStringLiteral("172.18.30.78"));
    QVERIFY(d->fileProblem().contains(QLatin1String("settings2.ini")));
    d->close();
    QVERIFY(w.existingEthernetSettings()); // first close: the problem is said, the dialog stays
    d->close();
    QTRY_VERIFY(!w.existingEthernetSettings());
}

void TestEthernet::commandsOnEveryOpenLink()
{
    TestDir dir;
    PtyPair pty;
    LoopbackReader reader;
    MainWindow w;
    EthernetSettingsDialog *d = w.ethernetSettings(true);
    d->Command1->click(); // no link: nothing, no word
    QCOMPARE(w.Connect_Error->text(), QString());

    QVERIFY(connectSerial(w, pty));
    d->Reboot->click();
    QCOMPARE(pty.readAtLeast(6), QByteArray("RESET\r"));

    selectTcp(w, reader.portText());
    w.Command1_Click(); // the TCP side's Disconnect: serial stays open
    QVERIFY(connectTcp(w, reader));
    d->Command1->click();
    d->Reboot->click();
    QVERIFY(reader.waitForBytes(9));
    QCOMPARE(reader.received(), QByteArray("IP\rRESET\r"));
    QCOMPARE(pty.readAtLeast(9), QByteArray("IP\rRESET\r"));
}

QTEST_MAIN(TestEthernet)
#include "tst_ethernet.moc"
