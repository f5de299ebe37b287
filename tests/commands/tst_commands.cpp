// The test command buttons, the modes of operation, the tag data field with
// its write command, and the setup tag dialog, against a pty and a loopback
// reader.
#include "app/mainwindow.h"
#include "commands/setuptagdialog.h"
#include "widgets/receivedgrid.h"
#include "support/harness.h"
#include "support/testdir.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace zanto;

class TestCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void buttonsWithBothLinks_data();
    void buttonsWithBothLinks();
    void noLinkSendsNothing();
    void modeVisibility_data();
    void modeVisibility();
    void tagDataCountWhileTyping_data();
    void tagDataCountWhileTyping();
    void miniLimitsTheField();
    void writeCommand_data();
    void writeCommand();
    void writeRefusals();
    void setupTagDialog();
};

void TestCommands::buttonsWithBothLinks_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("alsoSerial"); // both-links rule
    QTest::newRow("Input 1") << "Command3" << QByteArray("G\r") << false;
    QTest::newRow("Input 2") << "Command4" << QByteArray("N\r") << false;
    QTest::newRow("Input 1 +") << "Command6" << QByteArray("F\r") << false;
    QTest::newRow("Boot String") << "S" << QByteArray("S\r") << false;
    QTest::newRow("LON") << "Command8" << QByteArray("LON\r") << false;
    QTest::newRow("LOFF") << "Command10" << QByteArray("LOFF\r") << true;
    QTest::newRow("Input 3") << "Command7" << QByteArray("A\r") << false;
    QTest::newRow("H") << "ButH" << QByteArray("H\r") << true;
}

void TestCommands::buttonsWithBothLinks()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, alsoSerial);
    TestDir dir;
    PtyPair pty;
    LoopbackReader reader;
    MainWindow w;
    w.show();
    w.OptUniversal->click(); // every button in view
    QVERIFY(connectBoth(w, pty, reader));
    auto *b = w.findChild<QPushButton *>(button);
    QVERIFY(b && b->isVisible());
    b->click();
    QVERIFY(reader.waitForBytes(bytes.size()));
    QTest::qWait(50);
    QCOMPARE(reader.received(), bytes);
    QCOMPARE(pty.readAvailable(), alsoSerial ? bytes : QByteArray());
}

void TestCommands::noLinkSendsNothing()
{
    TestDir dir;
    MainWindow w;
    w.show();
    w.OptUniversal->click();
    w.Text6->setText(QStringLiteral("AB"));
    for (const char *name : {"Command3", "Command4", "Command6", "S", "Command8", "Command10", "Command7", "ButH", "Command17"})
        w.findChild<QPushButton *>(QLatin1String(name))->click();
    QCOMPARE(w.Connect_Error->text(), QString());
    QCOMPARE(w.MSFlexGrid1->rows(), 1);
    QCOMPARE(w.Text5->text(), QStringLiteral("2")); // the write still counts its bytes
}

void TestCommands::modeVisibility_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QList<bool>>("shown"); // Command7, Command8, Command10, ButH
    QTest::newRow("Standard") << "OptStandard" << QList<bool>{false, false, false, false};
    QTest::newRow("Enhanced") << "OptEnhanced" << QList<bool>{false, false, false, false};
    QTest::newRow("Track") << "OptTrack" << QList<bool>{false, true, true, false};
    QTest::newRow("Universal") << "OptUniversal" << QList<bool>{true, true, true, true};
}

void TestCommands::modeVisibility()
{
    QFETCH(QString, option);
    QFETCH(QList<bool>, shown);
    TestDir dir;
    PtyPair pty;
    MainWindow w;
    w.show();
    QVERIFY(connectSerial(w, pty));
    // From every other mode to this one: the result depends on the mode alone.
    for (const char *from : {"OptUniversal", "OptStandard", "OptTrack", "OptEnhanced"}) {
        w.findChild<QRadioButton *>(QLatin1String(from))->click();
        w.findChild<QRadioButton *>(option)->click();
        QList<bool> now{w.Command7->isVisible(), w.Command8->isVisible(), w.Command10->isVisible(), w.ButH->isVisible()};
        QCOMPARE(now, shown);
        for (QPushButton *always : {w.Command3, w.Command4, w.Command6, w.S, w.Command17})
            QVERIFY(always->isVisible());
        int marked = 0;
        for (QRadioButton *o : {w.OptStandard, w.OptEnhanced, w.OptTrack, w.OptUniversal})
            marked += o->isChecked() ? 1 : 0;
        QCOMPARE(marked, 1);
        QVERIFY(w.findChild<QRadioButton *>(option)->isChecked());
    }
    QCOMPARE(w.Command8->text(), QStringLiteral("LON"));
    QCOMPARE(w.ButH->text(), QString());
    QCOMPARE(pty.readAvailable(), QByteArray()); // choosing a mode sends nothing
}

void TestCommands::tagDataCountWhileTyping_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("count");
    QTest::newRow("ABC") << "ABC" << "3";
    QTest::newRow("escape") << "/41" << "1";
    QTest::newRow("escape inside") << "A/0DB" << "3";
    QTest::newRow("too short") << "/4" << "2";
    QTest::newRow("not hex") << "/4x" << "3";
    QTest::newRow("lower case") << "/ff" << "3";
    QTest::newRow("double slash") << "//41" << "2";
}

void TestCommands::tagDataCountWhileTyping()
{
    QFETCH(QString, typed);
    QFETCH(QString, count);
    TestDir dir;
    MainWindow w;
    w.show();
    QTest::keyClicks(w.Text6, typed);
    QCOMPARE(w.Text6->text(), typed);
    QCOMPARE(w.Text5->text(), count);
    w.Text6->clear();
    QCOMPARE(w.Text5->text(), QStringLiteral("0"));
}

void TestCommands::miniLimitsTheField()
{
    TestDir dir;
    MainWindow w;
    w.show();
    QTest::keyClicks(w.Text6, QStringLiteral("ABCDEFG"));
    w.ChkMini->click();
    QCOMPARE(w.Text6->text(), QStringLiteral("ABCDE"));
    QCOMPARE(w.Text5->text(), QStringLiteral("5"));
    QTest::keyClicks(w.Text6, QStringLiteral("H"));
    QCOMPARE(w.Text6->text(), QStringLiteral("ABCDE"));
    w.ChkMini->click();
    QTest::keyClicks(w.Text6, QStringLiteral("H"));
    QCOMPARE(w.Text6->text(), QStringLiteral("ABCDEH"));
    // Characters outside 8 bits are refused as they are typed or pasted.
    auto type = [&](const QString &text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
        QApplication::sendEvent(w.Text6, &press);
    };
    type(QStringLiteral("\u20AC"));
    QCOMPARE(w.Text6->text(), QStringLiteral("ABCDEH"));
    w.Text6->insert(QStringLiteral("x\u20ACy")); // what a paste does
    QCOMPARE(w.Text6->text(), QStringLiteral("ABCDEH"));
    type(QString::fromLatin1("\xE9"));
    QCOMPARE(w.Text6->text(), QString::fromLatin1("ABCDEH\xE9"));
    QCOMPARE(w.Text5->text(), QStringLiteral("7"));
}

void TestCommands::writeCommand_data()
{
    QTest::addColumn<bool>("mini");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("count"); // Text5 after the click
    QTest::newRow("ABD") << false << "ABD" << "R4" << QByteArray("W003ABDR4\r") << "3";
    QTest::newRow("escapes") << false << "/41/42" << "R4" << QByteArray("W002ABR4\r") << "2";
    QTest::newRow("bad escape") << false << "/4G1" << "R4" << QByteArray("W004/4G1R4\r") << "4";
    QTest::newRow("zero byte") << false << "/00" << "C0" << QByteArray("W001\0C0\r", 8) << "1";
    QTest::newRow("high byte") << false << "/FF" << "C0" << QByteArray("W001\xFF" "C0\r") << "1";
    QTest::newRow("empty data") << false << "" << "R8" << QByteArray("W000R8\r") << "0";
    QTest::newRow("empty code") << false << "A" << "" << QByteArray("W001A\r") << "1";
    QTest::newRow("typed code") << false << "A" << "Z9" << QByteArray("W001AZ9\r") << "1";
    QTest::newRow("110 bytes") << false << QString(110, QLatin1Char('x')) << "R4"
                               << QByteArray("W0;0") + QByteArray(110, 'x') + "R4\r" << "110";
    QTest::newRow("short form") << true << "12345" << "R4" << QByteArray("w512345R4\r") << "";
    QTest::newRow("short form slash literal") << true << "/41" << "R4" << QByteArray("w3/41R4\r") << "";
    QTest::newRow("short form empty") << true << "" << "R4" << QByteArray("w0R4\r") << "";
}

void TestCommands::writeCommand()
{
    QFETCH(bool, mini);
    QFETCH(QString, data);
    QFETCH(QString, code);
    QFETCH(QByteArray, sent);
    QFETCH(QString, count);
    TestDir dir;
    PtyPair pty;
    LoopbackReader reader;
    MainWindow w;
    QVERIFY(connectBoth(w, pty, reader));
    if (mini)
        w.ChkMini->click();
    w.Text6->setText(data);
    w.Text5->clear(); // the short form leaves it alone
    w.CmboInterval->setEditText(code);
    w.Command17->click();
    QVERIFY(reader.waitForBytes(sent.size()));
    QCOMPARE(reader.received(), sent);
    QCOMPARE(w.Text5->text(), count);
    QTest::qWait(30);
    QCOMPARE(pty.readAvailable(), QByteArray()); // TCP first: the serial port hears nothing
}

void TestCommands::writeRefusals()
{
    TestDir dir;
    LoopbackReader reader;
    MainWindow w;
    QVERIFY(connectTcp(w, reader));
    QCOMPARE(w.CmboInterval->count(), 7);
    QCOMPARE(w.CmboInterval->itemText(0), QStringLiteral("C0"));
    QCOMPARE(w.CmboInterval->itemText(6), QStringLiteral("R6"));

    // 2079 bytes still go; 2080 cannot carry their length.
    w.Text6->setText(QString(2079, QLatin1Char('d')));
    w.Command17->click();
    QVERIFY(reader.waitForBytes(2079 + 7));
    QCOMPARE(reader.received().left(4), QByteArray("W0\xFF" "9"));
    reader.clearReceived();
    w.Text6->setText(QString(2078, QLatin1Char('d')) + QStringLiteral("/41/42"));
    w.Command17->click();
    QCOMPARE(w.Text5->text(), QStringLiteral("2080"));
    QVERIFY(w.Connect_Error->text().contains(QLatin1String("2080")));

    // A character outside 8 bits put there by the program is not sent altered.
    w.Text6->setText(QStringLiteral("A\u20ACB"));
    w.Command17->click();
    QVERIFY(w.Connect_Error->text().contains(QLatin1String("U+20AC")));
    w.Text6->setText(QStringLiteral("AB"));
    w.CmboInterval->setEditText(QStringLiteral("R\u0104"));
    w.Command17->click();
    QVERIFY(w.Connect_Error->text().contains(QLatin1String("U+0104")));
    QTest::qWait(50);
    QCOMPARE(reader.received(), QByteArray());
}

void TestCommands::setupTagDialog()
{
    TestDir dir;
    PtyPair pty;
    LoopbackReader reader;
    MainWindow w;
    w.mnuConfigureSetupTag->trigger();
    SetupTagDialog *d = w.existingSetupTag();
    QVERIFY(d && d->isVisible() && !d->isModal());
    QCOMPARE(d->windowTitle(), QStringLiteral("Read/Write Setup Tag"));
    QCOMPARE(d->Command11->text(), QStringLiteral("Read setup tag,M"));
    QCOMPARE(d->Command5->text(), QStringLiteral("Write setup tag (With_Act_Config)"));
    QVERIFY(d->Command5->geometry().top() < d->Command11->geometry().top());
    QCOMPARE(d->Command11->nextInFocusChain(), d->Command5);
    w.mnuConfigureSetupTag->trigger();
    QCOMPARE(w.existingSetupTag(), d);

    d->Command11->click(); // no link: nothing, no message
    QCOMPARE(w.Connect_Error->text(), QString());

    QVERIFY(connectSerial(w, pty));
    d->Command11->click();
    d->Command5->click();
    d->Command5->click();
    QCOMPARE(pty.readAtLeast(6), QByteArray("M\rK\rK\r"));

    selectTcp(w, reader.portText());
    w.Command1_Click(); // the TCP side's Disconnect: serial stays open
    QVERIFY(connectTcp(w, reader));
    d->Command5->click();
    QVERIFY(reader.waitForBytes(2));
    QTest::qWait(30);
    QCOMPARE(reader.received(), QByteArray("K\r"));
    QCOMPARE(pty.readAvailable(), QByteArray());
    d->close();
    QTRY_VERIFY(!w.existingSetupTag());
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
