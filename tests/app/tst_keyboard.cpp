// What the technician types is what the tool keeps and sends, under real key
// presses: every editable list, arrow keys after each way the program sets a
// text, Escape, Enter, Tab and the menus; and what arrives stays readable.
#include "platform/serialport.h"
#include "widgets/counterbox.h"
#include "support/harness.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QRegularExpression>
#include <QWheelEvent>

#include <cmath>
#include <memory>

using namespace zanto;

namespace {

// A shown main window with the two dialogs that hold lists open, each opened
// from its menu and ready to take keys. Files the test needs are in the
// folder before Configure Reader lists it. No link is open unless a test
// opens one.
struct Windows : Tool {
    QPointer<QDialog> ps;
    QPointer<QDialog> rc;
    bool ready = false;

    explicit Windows(const QList<std::pair<QString, QByteArray>> &files = {})
    {
        bool written = true;
        for (const auto &[name, content] : files)
            written = dir.write(name, content) && written;
        ps = portSettings();
        rc = readerConfig();
        ready = written && ps && rc;
    }

    // A control of Configure Reader, Port Settings or the main window, looked
    // for in that order.
    template <typename T = QWidget> T *field(const QString &name) const
    {
        for (const QObject *window : {static_cast<const QObject *>(rc.data()), static_cast<const QObject *>(ps.data()),
                                      static_cast<const QObject *>(&w)}) {
            if (T *found = window ? ui::find<T>(window, name) : nullptr)
                return found;
        }
        return nullptr;
    }
    QComboBox *list(const QString &name) const { return field<QComboBox>(name); }
    // The whole lines, whatever their boxes show of them.
    QString source() const { return ui::find(rc, QStringLiteral("TextSource"))->property("message").toString(); }
    QString request() const { return ui::find(rc, QStringLiteral("RequestStatus"))->property("message").toString(); }

    // Shown (1) or hidden (0) by the dialog's mode rule: TermChar, HeadChar,
    // StringLength, Heartbeat, HandShake, TagsToRead.
    QString visibility() const
    {
        QString out;
        for (const char *name : {"TermChar", "HeadChar", "StringLength", "Heartbeat", "HandShake", "TagsToRead"}) {
            const QWidget *f = ui::find(rc, QLatin1String(name));
            out += f && f->isVisibleTo(rc) ? '1' : '0';
        }
        return out;
    }

    // Picks the mode from its list with the arrow keys, as the rule wants a
    // pick: typed, then one step away and back (back and away at the end).
    bool pickMode(const QString &mode) const { return ui::pick(list(QStringLiteral("Mode")), mode); }

    // Clicks the file in Configure Reader's list, then "Load from File".
    bool loadFile(const QString &name) const
    {
        auto *files = ui::find<QListWidget>(rc, QStringLiteral("File1"));
        const QList<QListWidgetItem *> items = files ? files->findItems(name, Qt::MatchExactly) : QList<QListWidgetItem *>();
        if (items.isEmpty() || !ui::activate(files))
            return false;
        QTest::mouseClick(files->viewport(), Qt::LeftButton, Qt::NoModifier, files->visualItemRect(items.first()).center());
        return items.first()->isSelected() && ui::click(ui::find(rc, QStringLiteral("LoadFile")));
    }
};

// A reader on the TCP side whose bursts end after a short quiet spell.
bool connectQuick(Tool &tool, LoopbackReader &reader)
{
    return tool.setQuietInterval(30) && connectTcp(tool, reader);
}

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
    Windows tool;
    QVERIFY(tool.ready);
    QComboBox *field = tool.list(list);
    QVERIFY(field);
    if (!field->isVisibleTo(field->window())) {
        // A field the Standard mode hides: the mode that shows it first.
        QVERIFY(tool.pickMode(QLatin1String(list == "Heartbeat" ? "Universal" : "Track")));
        QVERIFY(field->isVisibleTo(field->window()));
    }
    const QString rule = tool.visibility();
    QVERIFY(ui::type(field, typed));
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
    Windows tool({{QStringLiteral("cfg.zq"), "UNI\r\nUniversal\r\n4800\r\n2-wire\r\n07\r\n1B\r\n02\r\nV4\r\n30\r\n"
                                             "Heartbeat\r\n5\r\n60%\r\n"}});
    QVERIFY(tool.ready);
    QComboBox *field = tool.list(list);
    QVERIFY(field);
    LoopbackReader reader;
    if (setBy == "reply") {
        // Track, reader TRK01, read range RB (20%), 19200 baud 2-wire.
        QVERIFY(connectQuick(tool, reader));
        QVERIFY(reader.send("0031$$$$STRK01C42RBB7LV3T1BH02X30M7\r"));
        QTRY_COMPARE(tool.list("Mode")->currentText(), QStringLiteral("Track"));
    } else if (setBy == "file") {
        QVERIFY(tool.loadFile(QStringLiteral("cfg.zq")));
        QCOMPARE(tool.list("Frequency")->currentText(), QStringLiteral("07"));
    } else if (setBy.startsWith("typed:")) {
        QVERIFY(ui::type(field, setBy.mid(6)));
    }
    QVERIFY(ui::focus(field));
    const QString before = tool.visibility();
    QTest::keyClick(field, Qt::Key(key));
    QCOMPARE(field->currentText(), expected);
    QCOMPARE(tool.visibility(), rule.isEmpty() ? before : rule);
}

// The popup opens on the entry shown; a wheel turns a list only while it has
// the focus.
void TestKeyboard::popupAndWheel()
{
    Windows tool;
    QVERIFY(tool.ready);
    LoopbackReader reader;
    QVERIFY(connectQuick(tool, reader));
    QVERIFY(reader.send("0031$$$$STRK01C42RBB7LV3T1BH02X30M7\r"));
    QComboBox *range = tool.list("ReadRange");
    QTRY_COMPARE(range->currentText(), QStringLiteral("20%"));
    // Alt+Down opens the list, Escape closes it.
    const auto openPopup = [&] {
        QTest::keyClick(range, Qt::Key_Down, Qt::AltModifier);
        return QTest::qWaitFor([&] { return range->view()->isVisible(); });
    };
    const auto closePopup = [&] {
        QTest::keyClick(range->view(), Qt::Key_Escape);
        return QTest::qWaitFor([&] { return !range->view()->isVisible(); });
    };
    QVERIFY(ui::focus(range));
    QVERIFY(openPopup());
    QCOMPARE(range->view()->currentIndex().row(), 12); // "20%"
    QVERIFY(closePopup());
    QVERIFY(ui::type(range, "95%"));
    QVERIFY(openPopup());
    QVERIFY(!range->view()->currentIndex().isValid());
    QVERIFY(closePopup());
    QCOMPARE(range->currentText(), QStringLiteral("95%"));

    QComboBox *code = tool.list("CmboInterval");
    auto wheelDown = [](QWidget *target) {
        QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    };
    QVERIFY(ui::focus(tool.control("Text6")));
    wheelDown(code);
    QCOMPARE(code->currentText(), QStringLiteral("R4"));
    QVERIFY(!code->hasFocus());
    QVERIFY(ui::focus(code));
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
    Windows tool;
    QVERIFY(tool.ready);
    LoopbackReader reader;
    if (!steps.contains("connect")) {
        QVERIFY(connectTcp(tool, reader));
        QTRY_COMPARE(tool.status(), "Connected to 127.0.0.1 Port " + reader.portText());
    }
    QTest::qWait(50);
    reader.clearReceived();
    for (const QString &step : steps) {
        if (step == "send") {
            QVERIFY(ui::click(tool.field("SendConfig")));
        } else if (step == "write") {
            QVERIFY(ui::click(tool.button("Command17")));
        } else if (step == "connect") {
            QVERIFY(ui::click(tool.button("Command1")));
            QCOMPARE(tool.status().toLatin1(), sent);
            return;
        } else if (step.contains(':')) {
            QWidget *field = tool.field(step.section(':', 0, 0));
            QVERIFY(ui::focus(field));
            QTest::keyClick(field, Qt::Key_Down);
        } else {
            QWidget *field = tool.field(step.section('=', 0, 0));
            QVERIFY(ui::type(field, step.section('=', 1)));
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
    Windows tool;
    QVERIFY(tool.ready);
    if (field == "HeadChar")
        QVERIFY(tool.pickMode(QStringLiteral("Track")));
    QWidget *target = tool.field(field);
    QVERIFY(target && ui::focus(target));
    QApplication::clipboard()->setText(pasted);
    QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(ui::text(target), expected);
    // Typing goes on after what was kept.
    auto *edit = qobject_cast<QLineEdit *>(target);
    if (!edit)
        edit = target->findChild<QLineEdit *>();
    QVERIFY(edit);
    if (!pasted.startsWith(QLatin1Char('\r')))
        QCOMPARE(edit->cursorPosition(), expected.size());
    // Pasted inside the text: the kept line goes in between, the cursor after it.
    if (field == QLatin1String("Text6")) {
        QTest::keyClick(target, Qt::Key_Home);
        QTest::keyClick(target, Qt::Key_Right);
        QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(ui::text(target), QStringLiteral("//4141"));
        QCOMPARE(edit->cursorPosition(), 4);
    }
    if (target->window() == tool.ps) {
        // Escape closes Port Settings, which saves settings1.ini.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!ui::dialog(&tool.w, QStringLiteral("PortSet")));
        QCOMPARE(tool.dir.read("settings1.ini").count("\r\n"), 4);
        QCOMPARE(tool.dir.read("settings1.ini").count('\n'), 4);
    }
}

void TestKeyboard::escapeKeepsConfigureReaderOpen()
{
    Windows tool;
    QVERIFY(tool.ready);
    QWidget *name = tool.field("ReaderName");
    QComboBox *frequency = tool.list("Frequency");
    QVERIFY(ui::type(name, "QQ"));
    QTest::keyClick(name, Qt::Key_Escape);
    QVERIFY(ui::type(frequency, "12"));
    QTest::keyClick(frequency, Qt::Key_Escape);
    QTest::qWait(20);
    QVERIFY(ui::dialog(&tool.w, QStringLiteral("ReaderConfig")) && tool.rc->isVisible());
    QCOMPARE(ui::text(name), QStringLiteral("QQ"));
    QCOMPARE(frequency->currentText(), QStringLiteral("12"));
}

// Enter presses a focused button, Tab leaves the grid, Alt and a letter open
// a menu.
void TestKeyboard::keyboardReachesEverything()
{
    Windows tool;
    QVERIFY(tool.ready);
    LoopbackReader reader;
    QVERIFY(connectTcp(tool, reader));
    QTest::qWait(50);
    reader.clearReceived();
    QPushButton *input1 = tool.button("Command3");
    QVERIFY(ui::focus(input1));
    // Enter held down presses once, not again with each repeat; Ctrl+Enter
    // is no press.
    QKeyEvent repeated(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
    QApplication::sendEvent(input1, &repeated);
    QTest::keyClick(input1, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(input1, Qt::Key_Return);
    QTest::keyClick(input1, Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(reader.waitForBytes(4));
    QTest::qWait(50);
    QCOMPARE(reader.received(), QByteArray("G\rG\r"));

    QWidget *grid = tool.control("MSFlexGrid1");
    QVERIFY(ui::focus(grid));
    QTest::keyClick(grid, Qt::Key_Tab);
    QVERIFY(!grid->hasFocus());

    auto *readerSetup = tool.control<QMenu>("mnuReaderConfig");
    QVERIFY(readerSetup);
    QTest::keyClick(&tool.w, Qt::Key_R, Qt::AltModifier);
    QTRY_VERIFY(readerSetup->isVisible());
    QTest::keyClick(readerSetup, Qt::Key_Escape);
}

// Configure Reader says where its texts come from, and what became of its
// read request.
void TestKeyboard::textSourceLine()
{
    Windows tool({{QStringLiteral("cfg.zq"), "ABCDE\r\nEnhanced\r\n"}});
    QVERIFY(tool.ready);
    const auto source = [&] { return tool.source(); };
    QCOMPARE(source(), QStringLiteral("Texts: starting texts, not the reader's"));
    QCOMPARE(tool.request(), QStringLiteral("Read request not sent: no link is open."));
    LoopbackReader reader;
    QVERIFY(connectQuick(tool, reader));
    QVERIFY(ui::click(tool.field("ReadConfig")));
    QVERIFY2(QRegularExpression("^Read request sent at \\d\\d:\\d\\d:\\d\\d; waiting for the reply\\.$")
                 .match(tool.request()).hasMatch(),
             qPrintable(tool.request()));
    QVERIFY(reader.send("0017$$$$SABCDEC03RBBE\r"));
    const QRegularExpression replied("^Texts: the reader's reply of \\d\\d:\\d\\d:\\d\\d$");
    QTRY_VERIFY2(replied.match(source()).hasMatch(), qPrintable(source()));
    QVERIFY2(tool.request().startsWith("Reply decoded at "), qPrintable(tool.request()));
    QVERIFY(ui::type(tool.field("ReaderName"), "R7"));
    QVERIFY2(source().endsWith(", edited"), qPrintable(source()));
    QVERIFY(tool.loadFile(QStringLiteral("cfg.zq")));
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

// The counters show the bursts received and the bytes of the last one. A
// reader makes them show the count where a test can wait for it; a count
// beyond that (more bytes than a burst holds, more bursts than a test has
// time for) shows in a counter of the same kind and size standing in.
void TestKeyboard::countersShowEveryDigit()
{
    QFETCH(qint64, count);
    // A burst holds at most this many bytes; a stream without pauses is cut
    // into bursts that full.
    constexpr qint64 FullBurst = 32767;
    // As many full bursts as a test streams in (about 65 MiB).
    constexpr qint64 MostBursts = 2000;
    Tool tool;
    auto *bursts = tool.control<CounterBox>("Receive_Count");
    auto *bytes = tool.control<CounterBox>("Text7");
    QVERIFY(bursts && bytes);
    const bool burstsReached = count <= MostBursts;
    const bool bytesReached = count <= FullBurst;
    LoopbackReader reader;
    if (bytesReached) {
        // Full bursts end by their size, not by a pause; a quiet interval of a
        // second keeps a stall of a busy machine inside the stream from ending
        // one early, which would count a burst too many.
        QVERIFY(tool.setQuietInterval(1000) && connectTcp(tool, reader));
        // count - 1 full bursts, then one of count bytes after a pause: both
        // counters show count.
        if (burstsReached && count > 1) {
            QVERIFY(reader.send(QByteArray((count - 1) * FullBurst, 'A')));
            QTRY_COMPARE_WITH_TIMEOUT(bursts->text(), QString::number(count - 1), 20000);
        }
        QVERIFY(reader.send(QByteArray(count, 'B')));
        QTRY_COMPARE(bytes->text(), QString::number(count));
        if (burstsReached)
            QCOMPARE(bursts->text(), QString::number(count));
    }
    for (const auto &[box, reached] : {std::pair{bursts, burstsReached}, std::pair{bytes, bytesReached}}) {
        CounterBox *showing = box;
        std::unique_ptr<CounterBox> standIn;
        if (!reached) {
            standIn = std::make_unique<CounterBox>(24);
            standIn->resize(box->size());
            standIn->show();
            QVERIFY(QTest::qWaitForWindowExposed(standIn.get()));
            standIn->showNumber(count);
            showing = standIn.get();
        }
        QCOMPARE(showing->text(), QString::number(count));
        // That every digit fits is checked on the box itself (tst_counterbox).
        QVERIFY(showing->font().pointSize() <= 24);
        if (count < 10)
            QCOMPARE(showing->font().pointSize(), 24);
        // Readable: the digits' colour against the box's at least 4.5 : 1.
        const QPalette::ColorGroup group = showing->isEnabled() ? QPalette::Active : QPalette::Disabled;
        const auto luminance = [](QColor c) {
            const auto channel = [](float v) { return v <= 0.03928f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f); };
            return 0.2126f * channel(c.redF()) + 0.7152f * channel(c.greenF()) + 0.0722f * channel(c.blueF());
        };
        const float text = luminance(showing->palette().color(group, QPalette::Text));
        const float base = luminance(showing->palette().color(group, QPalette::Base));
        QVERIFY((qMax(text, base) + 0.05f) / (qMin(text, base) + 0.05f) >= 4.5f);
        QCOMPARE(box->focusPolicy(), Qt::NoFocus);
        QVERIFY(box->isReadOnly());
        QVERIFY(!box->toolTip().isEmpty());
    }
    QCOMPARE(bursts->toolTip(), QStringLiteral("bursts received"));
    QCOMPARE(bytes->toolTip(), QStringLiteral("bytes in the last burst"));
}

// A status text cut by the line shows whole as a tooltip; a port that will
// not open keeps its exact text and tells the system's reason.
void TestKeyboard::statusLineTellsItAll()
{
    Windows tool;
    QVERIFY(tool.ready);
    QWidget *statusLine = tool.control("Connect_Error");
    QPushButton *connect = tool.button("Command1");
    const QString missing = "/dev/zanto-test-" + QString(40, 'x');
    QVERIFY(selectSerial(tool, missing));
    QVERIFY(ui::click(connect));
    QCOMPARE(tool.status(), "Comm " + missing + " not available");
    QVERIFY2(statusLine->toolTip().contains(tool.status()) && statusLine->toolTip().contains("No such file"),
             qPrintable(statusLine->toolTip()));

    // A port held by another program: busy, said in the tooltip only.
    PtyPair pty;
    SerialPort other;
    QVERIFY(other.open(pty.linkPath(), 9600));
    QVERIFY(selectSerial(tool, pty.linkPath()));
    QVERIFY(ui::click(connect));
    QCOMPARE(tool.status(), "Comm " + pty.linkPath() + " not available");
    QVERIFY(!statusLine->toolTip().isEmpty());

    LoopbackReader reader;
    QVERIFY(connectTcp(tool, reader));
    QTRY_COMPARE(tool.status(), "Connected to 127.0.0.1 Port " + reader.portText());
    QCOMPARE(statusLine->toolTip(), QString());
}

// Switching Port between connects and opening a port that fails leaves the
// open one working; one that opens replaces it.
void TestKeyboard::failedSerialOpenKeepsTheOpenPort()
{
    Windows tool;
    QVERIFY(tool.ready);
    QPushButton *connect = tool.button("Command1");
    PtyPair first, second;
    QVERIFY(connectSerial(tool, first));
    QVERIFY(selectTcp(tool, "1"));
    QVERIFY(ui::click(connect)); // Disconnect of the TCP side: the port stays open
    QVERIFY(selectSerial(tool, "/dev/zanto-test-none"));
    QVERIFY(ui::click(connect));
    QCOMPARE(tool.status(), QStringLiteral("Comm /dev/zanto-test-none not available"));
    QVERIFY(tool.link()->serialOpen());
    QVERIFY(ui::click(tool.button("Command3")));
    QCOMPARE(first.readAtLeast(2), QByteArray("G\r"));
    QVERIFY(connectSerial(tool, second));
    QVERIFY(ui::click(tool.button("Command4")));
    QCOMPARE(second.readAtLeast(2), QByteArray("N\r"));
    QCOMPARE(first.readAvailable(), QByteArray());
}

void TestKeyboard::accessibleNames()
{
    Windows tool;
    QVERIFY(tool.ready);
    const auto name = [](QWidget *w) {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        return a ? a->text(QAccessible::Name) : QString();
    };
    const QList<QPair<const char *, const char *>> captions{
        {"ReaderName", "ReaderName"},
        {"Mode", "Mode"},
        {"BaudRate", "Baud Rate"},
        {"RS485Mode", "RS485 Port Mode"},
        {"Frequency", "Frequency"},
        {"TermChar", "Term Char(HEX)"},
        {"HeadChar", "Head Char(HEX)"},
        {"StringLength", "Fixed String Length"},
        {"HandShake", "Handshake(HEX)"},
        {"Heartbeat", "Heartbeat"},
        {"TagsToRead", "Tags to read for LON"},
        {"ReadRange", "Read Range"},
    };
    for (const auto &[fieldName, caption] : captions) {
        QWidget *field = ui::find(tool.rc, QLatin1String(fieldName));
        QVERIFY2(field, fieldName);
        QCOMPARE(name(field->parentWidget()), QLatin1String(caption));
        // On Linux a list's accessible name is its text; the caption goes
        // with the field as its name.
        QCOMPARE(field->accessibleName(), QLatin1String(caption));
    }
    QWidget *h = tool.control("ButH");
    QCOMPARE(name(h), QStringLiteral("H"));
    QVERIFY(h->toolTip().contains("H"));
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
