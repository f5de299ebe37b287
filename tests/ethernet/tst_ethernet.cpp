// The Ethernet Settings dialog: its two commands on every open link, and the
// three address texts it keeps in settings2.ini. Driven through the menus and
// the mouse, as a technician works it.
#include "support/harness.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QWindow>

namespace {

const QString Ethernet = QStringLiteral("EthernetSettings");

// The close box of a window's frame: the close the window system asks for.
// True when the window went.
bool closeBox(QWidget *window)
{
    return window->windowHandle() && window->windowHandle()->close();
}

QString shown(const QDialog *d, const char *name)
{
    return ui::text(ui::find(d, QLatin1String(name)));
}

} // namespace

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
    Tool t;
    QDialog *d = t.ethernet();
    QVERIFY(d && d->isVisible() && !d->isModal());
    QCOMPARE(d->objectName(), Ethernet);
    QCOMPARE(d->windowTitle(), QStringLiteral("Ethernet Settings"));
    QCOMPARE(shown(d, "Command1"), QStringLiteral("Read Ethernet Parameters"));
    QCOMPARE(shown(d, "Reboot"), QStringLiteral("Reboot"));
    // The help text ends in CR LF; the box shows it as the line break it is.
    auto *help = ui::find<QPlainTextEdit>(d, QStringLiteral("Text1"));
    QVERIFY(help);
    QCOMPARE(help->toPlainText(),
             QStringLiteral("The IP address, subnet mask and gateway can be configured from the web page.  "
                            "Default IP address is 192.168.0.2 with subnet mask 155.155.155.0\n"));
    for (const char *hidden : {"IPAddress", "SubnetMask", "Gateway", "Label1", "Label2", "Label3"}) {
        QWidget *control = ui::find(d, QLatin1String(hidden));
        QVERIFY2(control && !control->isVisible(), hidden);
    }
    QCOMPARE(shown(d, "Label2"), QStringLiteral("Subnet Mask"));
    for (const char *visible : {"Command1", "Reboot", "Text1"})
        QVERIFY2(ui::find(d, QLatin1String(visible))->isVisible(), visible);
    // Chosen again, the menu brings the one dialog forward.
    QCOMPARE(t.ethernet(), d);
    QCOMPARE(t.w.findChildren<QDialog *>(Ethernet).size(), 1);
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
    Tool t;
    PtyPair pty;
    if (before != "-")
        QVERIFY(t.dir.write(QStringLiteral("settings2.ini"), before));
    QVERIFY(connectSerial(t, pty));
    QDialog *d = t.ethernet();
    QVERIFY(d);
    // Opening creates a missing file at once, empty.
    QCOMPARE(t.dir.read(QStringLiteral("settings2.ini")), before == "-" ? QByteArray() : before);
    QCOMPARE((QStringList{shown(d, "IPAddress"), shown(d, "SubnetMask"), shown(d, "Gateway")}), fields);
    QVERIFY(closeBox(d));
    QTRY_VERIFY(!ui::dialog(&t.w, Ethernet));
    QCOMPARE(t.dir.read(QStringLiteral("settings2.ini")), after);
    QCOMPARE(pty.readAvailable(), QByteArray()); // opening and closing send nothing
}

void TestEthernet::unreadableSettingsFile()
{
    Tool t;
    QVERIFY(QDir(t.dir.path()).mkdir(QStringLiteral("settings2.ini")));
    QDialog *d = t.ethernet();
    QVERIFY(d);
    QCOMPARE(shown(d, "IPAddress"), QStringLiteral("172.18.30.78"));
    QVERIFY2(shown(d, "FileStatus").contains(QLatin1String("settings2.ini")), qPrintable(shown(d, "FileStatus")));
    QVERIFY(ui::find(d, QStringLiteral("FileStatus"))->isVisible());
    // Nothing here is the user's to lose: the close writes nothing over the
    // file it could not read, so there is no failed save to stop it.
    QVERIFY(closeBox(d));
    QTRY_VERIFY(!ui::dialog(&t.w, Ethernet));
    QVERIFY(QFileInfo(t.dir.filePath(QStringLiteral("settings2.ini"))).isDir());

    // A file that can no longer be written when the dialog closes: the close
    // says why and stays; the second close discards.
    QVERIFY(QDir(t.dir.path()).rmdir(QStringLiteral("settings2.ini")));
    d = t.ethernet();
    QVERIFY(d);
    QVERIFY(QFile::remove(t.dir.filePath(QStringLiteral("settings2.ini"))));
    QVERIFY(QDir(t.dir.path()).mkdir(QStringLiteral("settings2.ini")));
    QVERIFY(!closeBox(d));
    QVERIFY(d->isVisible());
    const QWidget *status = ui::find(d, QStringLiteral("FileStatus"));
    const QString said = status->toolTip().isEmpty() ? ui::text(status) : status->toolTip();
    QVERIFY2(said.contains(QLatin1String("settings2.ini")) && said.endsWith(QLatin1String(". Close again to discard.")),
             qPrintable(said));
    QVERIFY(closeBox(d));
    QTRY_VERIFY(!ui::dialog(&t.w, Ethernet));
}

void TestEthernet::commandsOnEveryOpenLink()
{
    Tool t;
    PtyPair pty;
    LoopbackReader reader;
    QDialog *d = t.ethernet();
    QVERIFY(d);
    QPushButton *read = ui::find<QPushButton>(d, QStringLiteral("Command1"));
    QPushButton *reboot = ui::find<QPushButton>(d, QStringLiteral("Reboot"));
    QVERIFY(ui::click(read)); // no link: nothing, no word
    QCOMPARE(t.status(), QString());

    QVERIFY(connectSerial(t, pty));
    QVERIFY(ui::click(reboot));
    QCOMPARE(pty.readAtLeast(6), QByteArray("RESET\r"));

    QVERIFY(selectTcp(t, reader.portText()));
    QVERIFY(ui::click(t.button(QStringLiteral("Command1")))); // the TCP side's Disconnect: serial stays open
    QVERIFY(connectTcp(t, reader));
    QVERIFY(ui::click(read));
    QVERIFY(ui::click(reboot));
    QVERIFY(reader.waitForBytes(9));
    QCOMPARE(reader.received(), QByteArray("IP\rRESET\r"));
    QCOMPARE(pty.readAtLeast(9), QByteArray("IP\rRESET\r"));
}

QTEST_MAIN(TestEthernet)
#include "tst_ethernet.moc"
