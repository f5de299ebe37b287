// The test command buttons, the modes of operation, the tag data field with
// its write command, and the setup tag dialog, against a pty and a loopback
// reader; every control worked with the keys and the mouse.
#include "widgets/receivedgrid.h"
#include "support/harness.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QWindow>

using zanto::ReceivedGrid;

namespace {

const QString SetupTag = QStringLiteral("readwritesetuptag");

// The close box of a window's frame: the close the window system asks for.
bool closeBox(QWidget *window)
{
    return window->windowHandle() && window->windowHandle()->close();
}

// One character typed, whatever key makes it on the user's keyboard.
void typeCharacter(QWidget *field, const QString &character)
{
    QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, character, Qt::NoModifier);
}

// What the user sees of a mode: which of LON, LOFF, Input 3 and H show.
QList<bool> modeRow(const Tool &t)
{
    QList<bool> shown;
    for (const char *name : {"Command7", "Command8", "Command10", "ButH"})
        shown << t.control(QLatin1String(name))->isVisible();
    return shown;
}

} // namespace

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
    Tool t;
    PtyPair pty;
    LoopbackReader reader;
    QVERIFY(ui::click(t.control(QStringLiteral("OptUniversal")))); // every button in view
    QVERIFY(connectBoth(t, pty, reader));
    QPushButton *b = t.button(button);
    QVERIFY(b && b->isVisible());
    QVERIFY(ui::click(b));
    QVERIFY(reader.waitForBytes(bytes.size()));
    QTest::qWait(50);
    QCOMPARE(reader.received(), bytes);
    QCOMPARE(pty.readAvailable(), alsoSerial ? bytes : QByteArray());
}

void TestCommands::noLinkSendsNothing()
{
    Tool t;
    QVERIFY(ui::click(t.control(QStringLiteral("OptUniversal"))));
    QVERIFY(ui::type(t.control(QStringLiteral("Text6")), QStringLiteral("AB")));
    for (const char *name : {"Command3", "Command4", "Command6", "S", "Command8", "Command10", "Command7", "ButH", "Command17"})
        QVERIFY2(ui::click(t.button(QLatin1String(name))), name);
    QCOMPARE(t.status(), QString());
    QCOMPARE(t.control<ReceivedGrid>(QStringLiteral("MSFlexGrid1"))->rows(), 1);
    QCOMPARE(t.text(QStringLiteral("Text5")), QStringLiteral("2")); // the write still counts its bytes
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
    Tool t;
    PtyPair pty;
    QVERIFY(connectSerial(t, pty));
    // From every other mode to this one: the result depends on the mode alone.
    for (const char *from : {"OptUniversal", "OptStandard", "OptTrack", "OptEnhanced"}) {
        QVERIFY(ui::click(t.control(QLatin1String(from))));
        QVERIFY(ui::click(t.control(option)));
        QCOMPARE(modeRow(t), shown);
        for (const char *always : {"Command3", "Command4", "Command6", "S", "Command17"})
            QVERIFY2(t.control(QLatin1String(always))->isVisible(), always);
        int marked = 0;
        for (const char *o : {"OptStandard", "OptEnhanced", "OptTrack", "OptUniversal"})
            marked += t.control<QRadioButton>(QLatin1String(o))->isChecked() ? 1 : 0;
        QCOMPARE(marked, 1);
        QVERIFY(t.control<QRadioButton>(option)->isChecked());
    }
    QCOMPARE(t.text(QStringLiteral("Command8")), QStringLiteral("LON"));
    QCOMPARE(t.text(QStringLiteral("ButH")), QString());
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
    Tool t;
    QWidget *data = t.control(QStringLiteral("Text6"));
    QVERIFY(ui::focus(data));
    QTest::keyClicks(data, typed);
    QCOMPARE(t.text(QStringLiteral("Text6")), typed);
    QCOMPARE(t.text(QStringLiteral("Text5")), count);
    QVERIFY(ui::type(data, QString())); // all of it selected and deleted
    QCOMPARE(t.text(QStringLiteral("Text5")), QStringLiteral("0"));
}

void TestCommands::miniLimitsTheField()
{
    Tool t;
    QWidget *data = t.control(QStringLiteral("Text6"));
    QWidget *mini = t.control(QStringLiteral("ChkMini"));
    const auto typeMore = [&](const QString &keys) {
        QVERIFY(ui::focus(data));
        QTest::keyClick(data, Qt::Key_End);
        QTest::keyClicks(data, keys);
    };
    QVERIFY(ui::type(data, QStringLiteral("ABCDEFG")));
    QVERIFY(ui::click(mini));
    QCOMPARE(t.text(QStringLiteral("Text6")), QStringLiteral("ABCDE"));
    QCOMPARE(t.text(QStringLiteral("Text5")), QStringLiteral("5"));
    typeMore(QStringLiteral("H"));
    QCOMPARE(t.text(QStringLiteral("Text6")), QStringLiteral("ABCDE"));
    QVERIFY(ui::click(mini));
    typeMore(QStringLiteral("H"));
    QCOMPARE(t.text(QStringLiteral("Text6")), QStringLiteral("ABCDEH"));
    // Characters outside 8 bits are refused as they are typed or pasted.
    QVERIFY(ui::focus(data));
    QTest::keyClick(data, Qt::Key_End);
    typeCharacter(data, QStringLiteral("\u20AC"));
    QCOMPARE(t.text(QStringLiteral("Text6")), QStringLiteral("ABCDEH"));
    QApplication::clipboard()->setText(QStringLiteral("x\u20ACy"));
    QTest::keyClick(data, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(t.text(QStringLiteral("Text6")), QStringLiteral("ABCDEH"));
    typeCharacter(data, QString::fromLatin1("\xE9"));
    QCOMPARE(t.text(QStringLiteral("Text6")), QString::fromLatin1("ABCDEH\xE9"));
    QCOMPARE(t.text(QStringLiteral("Text5")), QStringLiteral("7"));
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
    // The short form sends the text as it stands and leaves the count as
    // typing left it: counted while typing, empty when nothing was typed.
    QTest::newRow("short form") << true << "12345" << "R4" << QByteArray("w512345R4\r") << "5";
    QTest::newRow("short form slash literal") << true << "/41" << "R4" << QByteArray("w3/41R4\r") << "1";
    QTest::newRow("short form empty") << true << "" << "R4" << QByteArray("w0R4\r") << "";
}

void TestCommands::writeCommand()
{
    QFETCH(bool, mini);
    QFETCH(QString, data);
    QFETCH(QString, code);
    QFETCH(QByteArray, sent);
    QFETCH(QString, count);
    Tool t;
    PtyPair pty;
    LoopbackReader reader;
    QVERIFY(connectBoth(t, pty, reader));
    if (mini)
        QVERIFY(ui::click(t.control(QStringLiteral("ChkMini"))));
    QVERIFY(ui::type(t.control(QStringLiteral("Text6")), data));
    QVERIFY(ui::type(t.control(QStringLiteral("CmboInterval")), code));
    QCOMPARE(t.text(QStringLiteral("Text6")), data);
    QCOMPARE(t.text(QStringLiteral("CmboInterval")), code);
    QVERIFY(ui::click(t.button(QStringLiteral("Command17"))));
    QVERIFY(reader.waitForBytes(sent.size()));
    QCOMPARE(reader.received(), sent);
    QCOMPARE(t.text(QStringLiteral("Text5")), count);
    QTest::qWait(30);
    QCOMPARE(pty.readAvailable(), QByteArray()); // TCP first: the serial port hears nothing
}

void TestCommands::writeRefusals()
{
    Tool t;
    LoopbackReader reader;
    QVERIFY(connectTcp(t, reader));
    auto *codes = t.control<QComboBox>(QStringLiteral("CmboInterval"));
    QCOMPARE(codes->count(), 7);
    QCOMPARE(codes->itemText(0), QStringLiteral("C0"));
    QCOMPARE(codes->itemText(6), QStringLiteral("R6"));

    // 2079 bytes still go; 2080 cannot carry their length.
    QWidget *data = t.control(QStringLiteral("Text6"));
    QVERIFY(ui::type(data, QString(2079, QLatin1Char('d'))));
    QVERIFY(ui::click(t.button(QStringLiteral("Command17"))));
    QVERIFY(reader.waitForBytes(2079 + 7));
    QCOMPARE(reader.received().left(4), QByteArray("W0\xFF" "9"));
    reader.clearReceived();
    QVERIFY(ui::type(data, QString(2078, QLatin1Char('d')) + QStringLiteral("/41/42")));
    QVERIFY(ui::click(t.button(QStringLiteral("Command17"))));
    QCOMPARE(t.text(QStringLiteral("Text5")), QStringLiteral("2080"));
    QVERIFY2(t.status().contains(QLatin1String("2080")), qPrintable(t.status()));
    QTest::qWait(50);
    QCOMPARE(reader.received(), QByteArray());

    // A character outside 8 bits never gets into the code to be sent altered:
    // typing one is refused, as it is in the data field.
    QVERIFY(ui::type(codes, QStringLiteral("R")));
    typeCharacter(codes->lineEdit(), QStringLiteral("\u0104"));
    QCOMPARE(codes->currentText(), QStringLiteral("R"));
}

void TestCommands::setupTagDialog()
{
    Tool t;
    PtyPair pty;
    LoopbackReader reader;
    QDialog *d = t.setupTag();
    QVERIFY(d && d->isVisible() && !d->isModal());
    QCOMPARE(d->windowTitle(), QStringLiteral("Read/Write Setup Tag"));
    QPushButton *read = ui::find<QPushButton>(d, QStringLiteral("Command11"));
    QPushButton *write = ui::find<QPushButton>(d, QStringLiteral("Command5"));
    QVERIFY(read && write);
    QCOMPARE(read->text(), QStringLiteral("Read setup tag,M"));
    QCOMPARE(write->text(), QStringLiteral("Write setup tag (With_Act_Config)"));
    QVERIFY(write->geometry().top() < read->geometry().top());
    // The read button comes first to the keyboard, though it stands below.
    QVERIFY(ui::focus(read));
    QTest::keyClick(read, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), write);
    QCOMPARE(t.setupTag(), d);
    QCOMPARE(t.w.findChildren<QDialog *>(SetupTag).size(), 1);

    QVERIFY(ui::click(read)); // no link: nothing, no message
    QCOMPARE(t.status(), QString());

    QVERIFY(connectSerial(t, pty));
    QVERIFY(ui::click(read));
    QVERIFY(ui::click(write));
    QVERIFY(ui::click(write));
    QCOMPARE(pty.readAtLeast(6), QByteArray("M\rK\rK\r"));

    QVERIFY(selectTcp(t, reader.portText()));
    QVERIFY(ui::click(t.button(QStringLiteral("Command1")))); // the TCP side's Disconnect: serial stays open
    QVERIFY(connectTcp(t, reader));
    QVERIFY(ui::click(write));
    QVERIFY(reader.waitForBytes(2));
    QTest::qWait(30);
    QCOMPARE(reader.received(), QByteArray("K\r"));
    QCOMPARE(pty.readAvailable(), QByteArray());
    QVERIFY(closeBox(d));
    QTRY_VERIFY(!ui::dialog(&t.w, SetupTag));
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
