// What the technician types is what the tool keeps and sends, under real key
// presses: every editable list, arrow keys after each way the program sets a
// text, Escape, Enter, Tab and the menus; and what arrives stays readable.
#include "app/mainwindow.h"
#include "config/readerconfigdialog.h"
#include "widgets/receivedgrid.h"
#include "support/harness.h"
#include "support/testdir.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <QWheelEvent>

#include <cmath>

using namespace zanto;

namespace {

// A shown main window with the two dialogs that hold lists open, each ready to
// take keys. No link is open unless a test opens one.
struct Tool {
    TestDir dir;
    MainWindow w;
    PortSettingsDialog *ps = nullptr;
    ReaderConfigDialog *rc = nullptr;

    Tool()
    {
        w.show();
        ps = w.portSettings(true);
        rc = w.readerConfig(true);
    }

    EditableList *list(const QString &name) const
    {
        for (QWidget *window : QList<QWidget *>{static_cast<QWidget *>(rc), ps, const_cast<MainWindow *>(&w)}) {
            if (auto *found = window->findChild<EditableList *>(name))
                return found;
        }
        qFatal("no list %s", qPrintable(name));
    }

    // The user clicks into the window's field: the window is active and the
    // field has the focus.
    bool focus(QWidget *field) const
    {
        QWidget *window = field->window();
        if (QApplication::activeWindow() != window) {
            // What a click on the window does; the offscreen platform does
            // not always follow activateWindow() at once.
            window->activateWindow();
            QApplication::setActiveWindow(window);
            if (!QTest::qWaitForWindowActive(window))
                return false;
        }
        field->setFocus(Qt::MouseFocusReason);
        return field->hasFocus();
    }

    // Typed over the field's whole text.
    bool type(QWidget *field, const QString &text) const
    {
        if (!focus(field))
            return false;
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
        return true;
    }

    // Shown (1) or hidden (0) by the dialog's mode rule: TermChar, HeadChar,
    // StringLength, Heartbeat, HandShake, TagsToRead.
    QString visibility() const
    {
        QString out;
        for (QWidget *f : QList<QWidget *>{rc->TermChar, rc->HeadChar, rc->StringLength, rc->Heartbeat, rc->HandShake,
                                           rc->TagsToRead})
            out += f->isVisibleTo(rc) ? '1' : '0';
        return out;
    }
};

} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void typedTextStays_data();
    void typedTextStays();
    void arrowsStepFromTheShownEntry_data();
    void arrowsStepFromTheShownEntry();
    void popupAndWheel();
    void typedTextsReachTheReader_data();
    void typedTextsReachTheReader();
    void pastesKeepTheFirstLine_data();
    void pastesKeepTheFirstLine();
    void escapeKeepsConfigureReaderOpen();
    void keyboardReachesEverything();
    void textSourceLine();
    void countersShowEveryDigit_data();
    void countersShowEveryDigit();
    void statusLineTellsItAll();
    void failedSerialOpenKeepsTheOpenPort();
    void accessibleNames();
};

void TestKeyboard::typedTextStays_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    // For each list: a prefix of an entry, an entry in another case, a text
    // that matches nothing.
    const QList<QPair<const char *, QStringList>> lists{
        {"Mode", {"Tr", "track", "Fast"}},
        {"BaudRate", {"96", "1152", "9601"}},
        {"RS485Mode", {"2-w", "4-WIRE", "3-wire"}},
        {"Frequency", {"5", "frequency hopping all sub-bands", "C7"}},
        {"StringLength", {"1", "F", "f5"}},
        {"Heartbeat", {"H", "heartbeat", "Beat"}},
        {"TagsToRead", {"Read", "read always", "0"}},
        {"ReadRange", {"9", "range 4(100%)", "95%"}},
        {"CmboInterval", {"c", "r8", "X9"}},
        {"Combo5", {"TCP", "tcp/ip", "COM1"}},
        {"Combo1", {"1", "11520", "1200"}},
    };
    for (const auto &[list, texts] : lists) {
        for (const QString &typed : texts) {
            QTest::newRow(qPrintable(QStringLiteral("%1 %2 Tab").arg(list, typed))) << list << typed << int(Qt::Key_Tab);
            QTest::newRow(qPrintable(QStringLiteral("%1 %2 Enter").arg(list, typed))) << list << typed << int(Qt::Key_Return);
        }
    }
}

// No completion, no case folding, no swap for an entry; Enter is no pick.
void TestKeyboard::typedTextStays()
{
    QFETCH(QString, list);
    QFETCH(QString, typed);
    QFETCH(int, key);
    Tool tool;
    EditableList *field = tool.list(list);
    if (!field->isVisibleTo(field->window())) {
        // A field the Standard mode hides: the mode that shows it first.
        tool.rc->setFieldText(ConfigField::Mode, QString::fromLatin1(list == "Heartbeat" ? "Universal" : "Track"));
        tool.rc->Mode_Click();
    }
    const QString rule = tool.visibility();
    QVERIFY(tool.type(field, typed));
    QTest::keyClick(field, Qt::Key(key));
    QCOMPARE(field->currentText(), typed);
    // Focus moves on to the next field, and on again.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(field->currentText(), typed);
    QCOMPARE(tool.visibility(), rule); // typing a mode name applies no rule
}

void TestKeyboard::arrowsStepFromTheShownEntry_data()
{
    QTest::addColumn<QString>("setBy"); // start, reply, file, typed:TEXT
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("rule"); // the mode rule afterwards (Mode rows)
    const int up = Qt::Key_Up, down = Qt::Key_Down;
    QTest::newRow("start RS485 up") << "start" << "RS485Mode" << up << "2-wire" << "";
    QTest::newRow("start RS485 down, last") << "start" << "RS485Mode" << down << "4-wire" << "";
    QTest::newRow("start baud page up") << "start" << "BaudRate" << int(Qt::Key_PageUp) << "4800" << "";
    QTest::newRow("start code down") << "start" << "CmboInterval" << down << "R8" << "";
    QTest::newRow("start code up") << "start" << "CmboInterval" << up << "C6" << "";
    QTest::newRow("start port down") << "start" << "Combo5" << down << "2" << "";
    QTest::newRow("start port baud up") << "start" << "Combo1" << up << "19200" << "";
    QTest::newRow("start mode down is a pick") << "start" << "Mode" << down << "Enhanced" << "101000";
    QTest::newRow("reply mode down") << "reply" << "Mode" << down << "Universal" << "111100";
    QTest::newRow("reply mode up") << "reply" << "Mode" << up << "Enhanced" << "101000";
    QTest::newRow("reply range up") << "reply" << "ReadRange" << up << "30%" << "";
    QTest::newRow("file frequency down") << "file" << "Frequency" << down << "08" << "";
    QTest::newRow("file heartbeat up") << "file" << "Heartbeat" << up << "No Heartbeat" << "";
    QTest::newRow("file range page down") << "file" << "ReadRange" << int(Qt::Key_PageDown) << "50%" << "";
    QTest::newRow("no entry: down gives the first") << "typed:5" << "Frequency" << down
                                                    << "Frequency hopping default sub-bands" << "";
    QTest::newRow("no entry: up gives the last") << "typed:5" << "Frequency" << up << "97" << "";
    QTest::newRow("no entry: mode up") << "typed:track" << "Mode" << up << "Universal" << "111100";
}

void TestKeyboard::arrowsStepFromTheShownEntry()
{
    QFETCH(QString, setBy);
    QFETCH(QString, list);
    QFETCH(int, key);
    QFETCH(QString, expected);
    QFETCH(QString, rule);
    Tool tool;
    EditableList *field = tool.list(list);
    if (setBy == "reply") {
        // Track, reader TRK01, read range RB (20%), 19200 baud 2-wire.
        tool.w.DecodeConfigReply("0031$$$$STRK01C42RBB7LV3T1BH02X30M7\r");
        QCOMPARE(tool.rc->Mode->currentText(), QStringLiteral("Track"));
    } else if (setBy == "file") {
        QVERIFY(tool.dir.write("cfg.zq", "UNI\r\nUniversal\r\n4800\r\n2-wire\r\n07\r\n1B\r\n02\r\nV4\r\n30\r\n"
                                         "Heartbeat\r\n5\r\n60%\r\n"));
        tool.rc->refreshFileList();
        tool.rc->File1->setCurrentRow(0);
        tool.rc->LoadFile->click();
        QCOMPARE(tool.rc->Frequency->currentText(), QStringLiteral("07"));
    } else if (setBy.startsWith("typed:")) {
        QVERIFY(tool.type(field, setBy.mid(6)));
    }
    QVERIFY(tool.focus(field));
    const QString before = tool.visibility();
    QTest::keyClick(field, Qt::Key(key));
    QCOMPARE(field->currentText(), expected);
    QCOMPARE(tool.visibility(), rule.isEmpty() ? before : rule);
}

// The popup opens on the entry shown; a wheel turns a list only while it has
// the focus.
void TestKeyboard::popupAndWheel()
{
    Tool tool;
    tool.w.DecodeConfigReply("0031$$$$STRK01C42RBB7LV3T1BH02X30M7\r");
    EditableList *range = tool.rc->ReadRange;
    range->showPopup();
    QCOMPARE(range->view()->currentIndex().row(), 12); // "20%"
    range->hidePopup();
    QVERIFY(tool.type(range, "95%"));
    range->showPopup();
    QVERIFY(!range->view()->currentIndex().isValid());
    range->hidePopup();
    QCOMPARE(range->currentText(), QStringLiteral("95%"));

    EditableList *code = tool.w.CmboInterval;
    auto wheelDown = [](QWidget *target) {
        QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    };
    QVERIFY(tool.focus(tool.w.Text6));
    wheelDown(code);
    QCOMPARE(code->currentText(), QStringLiteral("R4"));
    QVERIFY(!code->hasFocus());
    QVERIFY(tool.focus(code));
    wheelDown(code);
    QCOMPARE(code->currentText(), QStringLiteral("R8"));
}

void TestKeyboard::typedTextsReachTheReader_data()
{
    QTest::addColumn<QStringList>("steps"); // "List=typed", "List:Down", "send", "write", "connect"
    QTest::addColumn<QByteArray>("sent");   // on the loopback reader; or the status line for "connect"
    QTest::newRow("frequency 5") << QStringList{"Frequency=5", "send"} << QByteArray("C016$$$$SXXXXXC5R4B1\r");
    QTest::newRow("name AB") << QStringList{"ReaderName=AB", "send"} << QByteArray("C014$$$$SABC01R4B1\r");
    QTest::newRow("Enhanced by arrow, length 1")
        << QStringList{"Mode:Down", "StringLength=1", "TermChar=0d", "send"} << QByteArray("C022$$$$SXXXXXC01R4B1L1T0d\r");
    QTest::newRow("code r8") << QStringList{"CmboInterval=r8", "write"} << QByteArray("W000r8\r");
    QTest::newRow("code c") << QStringList{"CmboInterval=c", "write"} << QByteArray("W000c\r");
    QTest::newRow("port tcp/ip") << QStringList{"Combo5=tcp/ip", "connect"} << QByteArray("Comm tcp/ip not available");
}

void TestKeyboard::typedTextsReachTheReader()
{
    QFETCH(QStringList, steps);
    QFETCH(QByteArray, sent);
    Tool tool;
    LoopbackReader reader;
    if (!steps.contains("connect")) {
        QVERIFY(connectTcp(tool.w, reader));
        QTRY_COMPARE(tool.w.Connect_Error->text(), "Connected to 127.0.0.1 Port " + reader.portText());
    }
    QTest::qWait(50);
    reader.clearReceived();
    for (const QString &step : steps) {
        if (step == "send") {
            tool.rc->SendConfig->click();
        } else if (step == "write") {
            tool.w.Command17->click();
        } else if (step == "connect") {
            tool.w.Command1->click();
            QCOMPARE(tool.w.Connect_Error->text().toLatin1(), sent);
            return;
        } else if (step.contains(':')) {
            QWidget *field = tool.rc->findChild<QWidget *>(step.section(':', 0, 0));
            QVERIFY(tool.focus(field));
            QTest::keyClick(field, Qt::Key_Down);
        } else {
            QWidget *field = tool.rc->findChild<QWidget *>(step.section('=', 0, 0));
            if (!field)
                field = tool.list(step.section('=', 0, 0));
            QVERIFY(tool.type(field, step.section('=', 1)));
            QTest::keyClick(field, Qt::Key_Tab);
        }
    }
    QVERIFY(reader.waitForBytes(sent.size()));
    QCOMPARE(reader.received(), sent);
}

void TestKeyboard::pastesKeepTheFirstLine_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("expected");
    QTest::newRow("IP address") << "IPAddress" << "127.0.0.1\r\n10.0.0.1\r\n" << "127.0.0.1";
    QTest::newRow("port list") << "Combo5" << "TCP/IP\nmore" << "TCP/IP";
    QTest::newRow("TCP port, LF only") << "PortNumber" << "4001\n" << "4001";
    QTest::newRow("reader name") << "ReaderName" << "AB\r\nCD" << "AB";
    QTest::newRow("frequency, tab dropped") << "Frequency" << "0\t7\r\n" << "07";
    QTest::newRow("C1 control dropped") << "HeadChar" << QString::fromUtf8("0\u00851") << "01";
    QTest::newRow("tag data") << "Text6" << "/41\r/42" << "/41";
    QTest::newRow("write code") << "CmboInterval" << "R8\r\n" << "R8";
    QTest::newRow("nothing but a line break") << "IPAddress" << "\r\n" << "192.168.0.2";
}

// Pasted with Ctrl+V over the whole text: one line stays, and no control
// character; the files that keep these fields stay one value a line.
void TestKeyboard::pastesKeepTheFirstLine()
{
    QFETCH(QString, field);
    QFETCH(QString, pasted);
    QFETCH(QString, expected);
    Tool tool;
    if (field == "HeadChar") {
        tool.rc->setFieldText(ConfigField::Mode, QStringLiteral("Track"));
        tool.rc->Mode_Click();
    }
    QWidget *target = nullptr;
    for (QWidget *window : QList<QWidget *>{tool.rc, tool.ps, &tool.w}) {
        if (!target)
            target = window->findChild<QWidget *>(field);
    }
    QVERIFY(target && tool.focus(target));
    QApplication::clipboard()->setText(pasted);
    QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
    const auto *list = qobject_cast<QComboBox *>(target);
    QCOMPARE(list ? list->currentText() : static_cast<QLineEdit *>(target)->text(), expected);
    if (target->window() == tool.ps) {
        tool.ps->close();
        QTRY_VERIFY(!tool.w.existingPortSettings());
        QCOMPARE(tool.dir.read("settings1.ini").count("\r\n"), 4);
        QCOMPARE(tool.dir.read("settings1.ini").count('\n'), 4);
    }
}

void TestKeyboard::escapeKeepsConfigureReaderOpen()
{
    Tool tool;
    QVERIFY(tool.type(tool.rc->ReaderName, "QQ"));
    QTest::keyClick(tool.rc->ReaderName, Qt::Key_Escape);
    QVERIFY(tool.type(tool.rc->Frequency, "12"));
    QTest::keyClick(tool.rc->Frequency, Qt::Key_Escape);
    QTest::qWait(20);
    QVERIFY(tool.w.existingReaderConfig() && tool.rc->isVisible());
    QCOMPARE(tool.rc->ReaderName->text(), QStringLiteral("QQ"));
    QCOMPARE(tool.rc->Frequency->currentText(), QStringLiteral("12"));
}

// Enter presses a focused button, Tab leaves the grid, Alt and a letter open
// a menu.
void TestKeyboard::keyboardReachesEverything()
{
    Tool tool;
    LoopbackReader reader;
    QVERIFY(connectTcp(tool.w, reader));
    QTest::qWait(50);
    reader.clearReceived();
    QVERIFY(tool.focus(tool.w.Command3));
    QTest::keyClick(tool.w.Command3, Qt::Key_Return);
    QVERIFY(reader.waitForBytes(2));
    QCOMPARE(reader.received(), QByteArray("G\r"));

    QVERIFY(tool.focus(tool.w.MSFlexGrid1));
    QTest::keyClick(tool.w.MSFlexGrid1, Qt::Key_Tab);
    QVERIFY(!tool.w.MSFlexGrid1->hasFocus());

    QTest::keyClick(&tool.w, Qt::Key_R, Qt::AltModifier);
    QTRY_VERIFY(tool.w.mnuReaderConfig->isVisible());
    QTest::keyClick(tool.w.mnuReaderConfig, Qt::Key_Escape);
}

// Configure Reader says where its texts come from.
void TestKeyboard::textSourceLine()
{
    Tool tool;
    const auto source = [&] { return tool.rc->sourceText(); };
    QVERIFY2(source().contains("starting texts (not read from the reader)") && source().contains("not sent"),
             qPrintable(source()));
    LoopbackReader reader;
    QVERIFY(connectTcp(tool.w, reader));
    tool.rc->ReadConfig->click();
    QVERIFY2(source().contains("no reply to the read request yet"), qPrintable(source()));
    tool.w.DecodeConfigReply("0017$$$$SABCDEC03RBBE\r");
    QVERIFY2(QRegularExpression("^Texts: the reader's reply of \\d\\d:\\d\\d:\\d\\d$").match(source()).hasMatch(),
             qPrintable(source()));
    QVERIFY(tool.type(tool.rc->ReaderName, "R7"));
    QVERIFY2(source().endsWith(", edited"), qPrintable(source()));
    QVERIFY(tool.dir.write("cfg.zq", "ABCDE\r\nEnhanced\r\n"));
    tool.rc->refreshFileList();
    tool.rc->File1->setCurrentRow(0);
    tool.rc->LoadFile->click();
    QCOMPARE(source(), QStringLiteral("Texts: file cfg.zq"));
}

void TestKeyboard::countersShowEveryDigit_data()
{
    QTest::addColumn<qint64>("count");
    QTest::newRow("one digit") << qint64(7);
    QTest::newRow("four") << qint64(1234);
    QTest::newRow("five") << qint64(32767);
    QTest::newRow("seven") << qint64(1234567);
}

void TestKeyboard::countersShowEveryDigit()
{
    QFETCH(qint64, count);
    Tool tool;
    for (CounterBox *box : {tool.w.Receive_Count, tool.w.Text7}) {
        box->showNumber(count);
        QCOMPARE(box->text(), QString::number(count));
        // That every digit fits is checked on the box itself (tst_counterbox).
        QVERIFY(box->font().pointSize() <= 24);
        if (count < 10)
            QCOMPARE(box->font().pointSize(), 24);
        // Readable: the digits' colour against the box's at least 4.5 : 1.
        const QPalette::ColorGroup group = box->isEnabled() ? QPalette::Active : QPalette::Disabled;
        const auto luminance = [](QColor c) {
            const auto channel = [](float v) { return v <= 0.03928f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f); };
            return 0.2126f * channel(c.redF()) + 0.7152f * channel(c.greenF()) + 0.0722f * channel(c.blueF());
        };
        const float text = luminance(box->palette().color(group, QPalette::Text));
        const float base = luminance(box->palette().color(group, QPalette::Base));
        QVERIFY((qMax(text, base) + 0.05f) / (qMin(text, base) + 0.05f) >= 4.5f);
        QCOMPARE(box->focusPolicy(), Qt::NoFocus);
        QVERIFY(box->isReadOnly());
        QVERIFY(!box->toolTip().isEmpty());
    }
    QCOMPARE(tool.w.Receive_Count->toolTip(), QStringLiteral("bursts received"));
    QCOMPARE(tool.w.Text7->toolTip(), QStringLiteral("bytes in the last burst"));
}

// A status text cut by the line shows whole as a tooltip; a port that will
// not open keeps its exact text and tells the system's reason.
void TestKeyboard::statusLineTellsItAll()
{
    Tool tool;
    const QString missing = "/dev/zanto-test-" + QString(40, 'x');
    selectSerial(tool.w, missing);
    tool.w.Command1->click();
    QCOMPARE(tool.w.Connect_Error->text(), "Comm " + missing + " not available");
    QVERIFY2(tool.w.Connect_Error->toolTip().contains(tool.w.Connect_Error->text())
                 && tool.w.Connect_Error->toolTip().contains("No such file"),
             qPrintable(tool.w.Connect_Error->toolTip()));

    // A port held by another program: busy, said in the tooltip only.
    PtyPair pty;
    SerialPort other;
    QVERIFY(other.open(pty.linkPath(), 9600));
    selectSerial(tool.w, pty.linkPath());
    tool.w.Command1->click();
    QCOMPARE(tool.w.Connect_Error->text(), "Comm " + pty.linkPath() + " not available");
    QVERIFY(!tool.w.Connect_Error->toolTip().isEmpty());

    LoopbackReader reader;
    QVERIFY(connectTcp(tool.w, reader));
    QTRY_COMPARE(tool.w.Connect_Error->text(), "Connected to 127.0.0.1 Port " + reader.portText());
    QCOMPARE(tool.w.Connect_Error->toolTip(), QString());
}

// Switching Port between connects and opening a port that fails leaves the
// open one working; one that opens replaces it.
void TestKeyboard::failedSerialOpenKeepsTheOpenPort()
{
    Tool tool;
    PtyPair first, second;
    QVERIFY(connectSerial(tool.w, first));
    selectTcp(tool.w, "1");
    tool.w.Command1->click(); // Disconnect of the TCP side: the port stays open
    selectSerial(tool.w, "/dev/zanto-test-none");
    tool.w.Command1->click();
    QCOMPARE(tool.w.Connect_Error->text(), QStringLiteral("Comm /dev/zanto-test-none not available"));
    QVERIFY(tool.w.link()->serialOpen());
    tool.w.Command3->click();
    QCOMPARE(first.readAtLeast(2), QByteArray("G\r"));
    QVERIFY(connectSerial(tool.w, second));
    tool.w.Command4->click();
    QCOMPARE(second.readAtLeast(2), QByteArray("N\r"));
    QCOMPARE(first.readAvailable(), QByteArray());
}

void TestKeyboard::accessibleNames()
{
    Tool tool;
    const auto name = [](QWidget *w) {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        return a ? a->text(QAccessible::Name) : QString();
    };
    const QStringList captions{"ReaderName", "Mode", "Baud Rate", "RS485 Port Mode", "Frequency", "Term Char(HEX)",
                               "Head Char(HEX)", "Fixed String Length", "Handshake(HEX)", "Heartbeat",
                               "Tags to read for LON", "Read Range"};
    for (int k = 0; k < ConfigFieldCount; ++k) {
        QWidget *field = tool.rc->fieldControl(ConfigField(k));
        QCOMPARE(name(field->parentWidget()), captions[k]);
        // On Linux a list's accessible name is its text; the caption goes
        // with the field as its name.
        QCOMPARE(field->accessibleName(), captions[k]);
    }
    QCOMPARE(name(tool.w.ButH), QStringLiteral("H"));
    QVERIFY(tool.w.ButH->toolTip().contains("H"));
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
