// The Configure Reader dialog, opened by its menu and worked with the keys
// and the mouse, against a loopback reader and a pty; the texts the program
// puts there come from a reader's reply or a configuration file.
#include "support/harness.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QWindow>

namespace {

const QString ReaderConfig = QStringLiteral("ReaderConfig");

// The twelve fields in file order, and what a fresh dialog holds.
const char *const FieldNames[] = {"ReaderName", "Mode",         "BaudRate",  "RS485Mode", "Frequency",  "TermChar",
                                  "HeadChar",   "StringLength", "HandShake", "Heartbeat", "TagsToRead", "ReadRange"};
const char *const StartTexts[] = {"XXXXX", "Standard", "9600", "4-wire", "Frequency hopping default sub-bands", "0D",
                                  "00",    "F5",       "48",   "No Heartbeat", "Read Always",                     "Range 4(100%)"};
constexpr int FieldCount = 12;
// "Write to File" writes this long after the click.
constexpr qint64 WriteDelayMs = 1000;

const QByteArray StartingFile = "XXXXX\r\nStandard\r\n9600\r\n4-wire\r\nFrequency hopping default sub-bands\r\n"
                                "0D\r\n00\r\nF5\r\n48\r\nNo Heartbeat\r\nRead Always\r\nRange 4(100%)\r\n";
const QStringList Modes{"Standard", "Enhanced", "Track", "Universal"};
// Shown (1) or hidden (0) by each mode's rule: TermChar, HeadChar, StringLength,
// Heartbeat, HandShake, TagsToRead.
const char *const Rule[] = {"000000", "101000", "111011", "111100"};

int fieldIndex(const QString &name)
{
    for (int k = 0; k < FieldCount; ++k) {
        if (name == QLatin1String(FieldNames[k]))
            return k;
    }
    qFatal("no field %s", qPrintable(name));
}

QString startText(const QString &name)
{
    return QString::fromLatin1(StartTexts[fieldIndex(name)]);
}

// All twelve texts in one line, so a comparison shows every difference at once:
// the starting texts with the "Field=text" settings over them.
QString with(const QStringList &settings)
{
    QStringList texts;
    for (const char *start : StartTexts)
        texts << QString::fromLatin1(start);
    for (const QString &s : settings)
        texts[fieldIndex(s.section('=', 0, 0))] = s.section('=', 1);
    QStringList out;
    for (int k = 0; k < FieldCount; ++k)
        out << QLatin1String(FieldNames[k]) + QLatin1Char('=') + texts[k];
    return out.join('|');
}

QWidget *field(const QDialog *dlg, const QString &name)
{
    return ui::find(dlg, name);
}

// What the twelve fields show, as with() gives it.
QString texts(const QDialog *dlg)
{
    QStringList out;
    for (const char *name : FieldNames)
        out << QLatin1String(name) + QLatin1Char('=') + ui::text(field(dlg, QLatin1String(name)));
    return out.join('|');
}

// The fields marked by a refusal.
QString marks(const QDialog *dlg)
{
    QStringList out;
    for (const char *name : FieldNames) {
        if (field(dlg, QLatin1String(name))->property("invalid").toBool())
            out << QLatin1String(name);
    }
    return out.join(' ');
}

QString visibility(const QDialog *dlg)
{
    QString out;
    for (const char *name : {"TermChar", "HeadChar", "StringLength", "Heartbeat", "HandShake", "TagsToRead"})
        out += field(dlg, QLatin1String(name))->isVisibleTo(dlg) ? '1' : '0';
    return out;
}

// The message under the fields, whole: the label cuts a long one, its tooltip
// holds all of it.
QString problemText(const QDialog *dlg)
{
    return ui::find<QLabel>(dlg, QStringLiteral("Problem"))->property("message").toString();
}

QStringList listed(const QDialog *dlg)
{
    const auto *list = ui::find<QListWidget>(dlg, QStringLiteral("File1"));
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

bool click(const QDialog *dlg, const char *button)
{
    return ui::click(ui::find(dlg, QLatin1String(button)));
}

// The close box of a window's frame: the close the window system asks for.
bool closeBox(QWidget *window)
{
    return window->windowHandle() && window->windowHandle()->close();
}

QLineEdit *editOf(QWidget *control)
{
    if (auto *combo = qobject_cast<QComboBox *>(control))
        return combo->lineEdit();
    return qobject_cast<QLineEdit *>(control);
}

// Keys typed into a field, over its whole text or, with `after`, after it;
// '\b' is a backspace. Each character comes as the key that makes it, whatever
// it is on the user's keyboard.
bool typeKeys(QWidget *control, const QString &keys, bool after = false)
{
    QLineEdit *edit = editOf(control);
    if (!edit || !ui::focus(control))
        return false;
    if (after)
        QTest::keyClick(edit, Qt::Key_End);
    else
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    if (keys.isEmpty() && !after)
        QTest::keyClick(edit, Qt::Key_Delete);
    for (QChar c : keys) {
        if (c == '\b')
            QTest::keyClick(edit, Qt::Key_Backspace);
        else
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    return true;
}

// Pasted over the field's whole text.
bool paste(QWidget *control, const QString &text)
{
    QLineEdit *edit = editOf(control);
    if (!edit || !ui::focus(control))
        return false;
    QApplication::clipboard()->setText(text);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    return true;
}

// A pick from the list with the arrow keys, as a user makes one: the arrows
// step from the entry shown, and the last step lands on the entry.
bool pick(QWidget *control, const QString &entry)
{
    auto *combo = qobject_cast<QComboBox *>(control);
    if (!combo || !ui::focus(combo))
        return false;
    const auto shown = [combo] { return combo->findText(combo->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive); };
    const int target = combo->findText(entry, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (target < 0)
        return false;
    if (shown() == target) // a step away first: the pick is the step back
        QTest::keyClick(combo, target > 0 ? Qt::Key_Up : Qt::Key_Down);
    for (int steps = 0; steps <= combo->count() && shown() != target; ++steps)
        QTest::keyClick(combo, shown() < 0 || shown() < target ? Qt::Key_Down : Qt::Key_Up);
    return combo->currentText() == entry;
}

// A file in the dialog's list chosen with the mouse.
bool choose(const QDialog *dlg, const QString &fileName)
{
    auto *list = ui::find<QListWidget>(dlg, QStringLiteral("File1"));
    const QList<QListWidgetItem *> items = list->findItems(fileName, Qt::MatchExactly);
    if (items.size() != 1 || !ui::activate(list))
        return false;
    list->scrollToItem(items.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(items.first()).center());
    return items.first()->isSelected();
}

// A configuration file that puts `text` into the field and leaves the fields
// before it at their starting texts (and those after it untouched).
QByteArray fileSetting(const QString &name, const QString &text)
{
    QByteArray content;
    for (int k = 0; k < fieldIndex(name); ++k)
        content += QByteArray(StartTexts[k]) + "\r\n";
    return content + text.toLatin1() + "\r\n";
}

// The same for several fields at once: all twelve lines, starting texts but
// for the settings.
QByteArray fileSettings(const QStringList &settings)
{
    QList<QByteArray> lines;
    for (const char *start : StartTexts)
        lines << start;
    for (const QString &s : settings)
        lines[fieldIndex(s.section('=', 0, 0))] = s.section('=', 1).toLatin1();
    return lines.join("\r\n") + "\r\n";
}

// Connected over TCP with the dialog open and its read request received.
QDialog *openConnected(Tool &t, LoopbackReader &reader)
{
    // Short bursts: replies are decoded quickly.
    if (!t.setQuietInterval(30) || !connectTcp(t, reader))
        return nullptr;
    QDialog *dlg = t.readerConfig();
    return dlg && reader.waitForBytes(2) && reader.received() == "L\r" ? dlg : nullptr;
}

} // namespace

class TestReaderConfig : public QObject
{
    Q_OBJECT
private slots:
    void readOnTcpSendOnSerial();
    void replyFills_data();
    void replyFills();
    void editing_data();
    void editing();
    void sendConfig_data();
    void sendConfig();
    void writeFile_data();
    void writeFile();
    void loadFile_data();
    void loadFile();
};

// With both links up, the read request goes to TCP only and the write command
// to the serial port only; each opening asks once, and starts afresh.
void TestReaderConfig::readOnTcpSendOnSerial()
{
    Tool t;
    PtyPair pty;
    LoopbackReader reader;
    QVERIFY(pty.isValid() && connectBoth(t, pty, reader));
    QDialog *dlg = t.readerConfig();
    QVERIFY(dlg);
    QTRY_COMPARE(reader.received(), QByteArray("L\r"));
    QCOMPARE(t.readerConfig(), dlg); // opening an open dialog is no new opening
    QVERIFY(click(dlg, "ReadConfig"));
    QVERIFY(click(dlg, "SendConfig"));
    QCOMPARE(pty.readAtLeast(22), QByteArray("C017$$$$SXXXXXC01R4B1\r"));
    QTRY_COMPARE(reader.received(), QByteArray("L\rL\r"));

    QVERIFY(typeKeys(field(dlg, QStringLiteral("ReaderName")), QStringLiteral("CHANG")));
    QCOMPARE(texts(dlg), with({"ReaderName=CHANG"}));
    QVERIFY(closeBox(dlg));
    QTRY_VERIFY(!ui::dialog(&t.w, ReaderConfig));
    dlg = t.readerConfig();
    QVERIFY(dlg);
    QCOMPARE(texts(dlg), with({}));
    QTRY_COMPARE(reader.received(), QByteArray("L\rL\rL\r"));
    QTest::qWait(100);
    QCOMPARE(reader.received(), QByteArray("L\rL\rL\r"));
    QCOMPARE(pty.readAvailable(), QByteArray());
}

void TestReaderConfig::replyFills_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("shown"); // the texts that differ from the starting ones
    QTest::newRow("Standard") << QByteArray("0017$$$$SABCDEC03RBBE\r") << 0
                              << QStringList{"ReaderName=ABCDE", "Frequency=Adaptive Frequency Hopping default sub-bands",
                                             "ReadRange=20%", "BaudRate=115200", "RS485Mode=2-wire"};
    QTest::newRow("Enhanced") << QByteArray("0023$$$$SRDR01C98R2B4LFAT0A\r") << 1
                              << QStringList{"Mode=Enhanced", "ReaderName=RDR01", "Frequency=Frequency hopping all sub-bands",
                                             "ReadRange=Range 2(33%)", "BaudRate=57600", "StringLength=Data+Mark",
                                             "TermChar=0A"};
    QTest::newRow("Track") << QByteArray("0031$$$$STRK01C42RJB7LV3T1BH02X30M7\r") << 2
                           << QStringList{"Mode=Track", "ReaderName=TRK01", "Frequency=42", "ReadRange=100%",
                                          "BaudRate=19200", "RS485Mode=2-wire", "StringLength=V3", "TermChar=1B",
                                          "HeadChar=02", "HandShake=30", "TagsToRead=7"};
    QTest::newRow("Universal") << QByteArray("0028UUUUSUNI01C99R1B0LF8T0DH7EA2\r") << 3
                               << QStringList{"Mode=Universal", "ReaderName=UNI01", "Frequency=Adaptive Frequency all sub-bands",
                                              "ReadRange=Range 1(1%)", "BaudRate=4800", "StringLength=Mark only",
                                              "HeadChar=7E", "Heartbeat=Heartbeat with handshake"};
}

// A reply before the dialog was ever opened creates it hidden and fills it; the
// creation asks the reader exactly once, the later opening not again. Edits then
// give way to the next reply, in the fields it carries only.
void TestReaderConfig::replyFills()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, mode);
    QFETCH(QStringList, shown);

    Tool t;
    LoopbackReader reader;
    QVERIFY(t.setQuietInterval(30));
    QVERIFY(connectTcp(t, reader));
    reader.send(reply);
    QTRY_VERIFY(ui::dialog(&t.w, ReaderConfig));
    QDialog *dlg = ui::dialog(&t.w, ReaderConfig);
    QVERIFY(!dlg->isVisible());
    QCOMPARE(texts(dlg), with(shown));
    QCOMPARE(visibility(dlg), Rule[mode]);
    const char *const options[] = {"OptStandard", "OptEnhanced", "OptTrack", "OptUniversal"};
    for (int m = 0; m < 4; ++m)
        QCOMPARE(t.control<QRadioButton>(QLatin1String(options[m]))->isChecked(), m == mode);
    QCOMPARE(t.readerConfig(), dlg);
    QTest::qWait(150);
    QCOMPARE(reader.received(), QByteArray("L\r"));

    QVERIFY(pick(field(dlg, QStringLiteral("Mode")), QStringLiteral("Track")));
    QVERIFY(typeKeys(field(dlg, QStringLiteral("ReaderName")), QStringLiteral("QQ")));
    QVERIFY(typeKeys(field(dlg, QStringLiteral("Frequency")), QStringLiteral("33")));
    QVERIFY(typeKeys(field(dlg, QStringLiteral("TermChar")), QStringLiteral("77")));
    QCOMPARE(texts(dlg), with(shown + QStringList{"Mode=Track", "ReaderName=QQ", "Frequency=33", "TermChar=77"}));
    reader.send("0017$$$$SABCDEC05R3B2\r"); // Standard: the fields it carries only
    QTRY_COMPARE(ui::text(field(dlg, QStringLiteral("ReaderName"))), QStringLiteral("ABCDE"));
    QCOMPARE(texts(dlg), with(shown + QStringList{"TermChar=77", "Mode=Standard", "ReaderName=ABCDE", "Frequency=05",
                                                  "ReadRange=Range 3(66%)", "BaudRate=19200", "RS485Mode=4-wire"}));
    QVERIFY(texts(dlg).contains("|TermChar=77|"));
    QCOMPARE(visibility(dlg), Rule[0]);
    QVERIFY(t.control<QRadioButton>(QStringLiteral("OptStandard"))->isChecked());
}

void TestReaderConfig::editing_data()
{
    QTest::addColumn<QStringList>("steps");    // see editing()
    QTest::addColumn<QStringList>("expected"); // the texts that differ from the starting ones
    QTest::addColumn<QString>("visible");      // as Rule[]
    QTest::addColumn<QString>("marked");       // by a refusal, and still so at the end

    const auto row = [](const char *name, const QStringList &steps, const QStringList &expected,
                        const char *visible = Rule[0], const char *marked = "") {
        QTest::newRow(name) << steps << expected << visible << marked;
    };
    // The mode rule follows a pick from the list; a typed text only when the rule
    // is applied by another part, and then only an exact mode name.
    row("Standard", {"pick Mode=Enhanced", "pick Mode=Standard"}, {});
    row("Enhanced", {"pick Mode=Enhanced"}, {"Mode=Enhanced"}, Rule[1]);
    row("Track", {"pick Mode=Track"}, {"Mode=Track"}, Rule[2]);
    row("Universal", {"pick Mode=Universal"}, {"Mode=Universal"}, Rule[3]);
    row("Track then Universal", {"pick Mode=Track", "pick Mode=Universal"}, {"Mode=Universal"}, Rule[3]);
    row("Universal then Enhanced", {"pick Mode=Universal", "pick Mode=Enhanced"}, {"Mode=Enhanced"}, Rule[1]);
    row("typed Track is no pick", {"enter Mode=Track"}, {"Mode=Track"});
    row("typed Track, then the rule", {"enter Mode=Track", "rule"}, {"Mode=Track"}, Rule[2]);
    row("track is no mode", {"pick Mode=Universal", "enter Mode=track", "rule"}, {"Mode=track"}, Rule[3]);
    row("trailing blank is no mode", {"pick Mode=Track", "enter Mode=Enhanced ", "rule"}, {"Mode=Enhanced "}, Rule[2]);
    row("empty is no mode", {"pick Mode=Enhanced", "enter Mode=\b", "rule"}, {"Mode="}, Rule[1]);
    // Typing limits bind typing only, never a text the program put there. A
    // field is typed into where its mode shows it.
    row("name: sixth refused", {"type ReaderName=ABCDEFG"}, {"ReaderName=ABCDE"});
    row("name: full, one more", {"add ReaderName=Y"}, {});
    row("TermChar: third refused", {"pick Mode=Enhanced", "type TermChar=123"}, {"Mode=Enhanced", "TermChar=12"}, Rule[1]);
    row("HeadChar: third refused", {"pick Mode=Track", "type HeadChar=ABC"}, {"Mode=Track", "HeadChar=AB"}, Rule[2]);
    row("HandShake: third refused", {"pick Mode=Track", "type HandShake=0d1"}, {"Mode=Track", "HandShake=0d"}, Rule[2]);
    row("program text stands", {"set ReaderName=LONGNAME1", "add ReaderName=Z"}, {"ReaderName=LONGNAME1"});
    row("program text shortens", {"set ReaderName=LONGNAME1", "add ReaderName=\b\b"}, {"ReaderName=LONGNAM"});
    row("paste too long", {"paste ReaderName=ABCDEFGH"}, {});
    row("name: beyond 8 bits", {"type ReaderName=A\u20AC"}, {"ReaderName=A"});
    row("list: beyond 8 bits", {"type Frequency=5\u20AC6"}, {"Frequency=56"});
    row("list: pasted beyond 8 bits", {"pick Mode=Universal", "paste Heartbeat=x\u20AC"}, {"Mode=Universal"}, Rule[3]);
    row("list: latin-1", {"type Frequency=\u00C9t\u00C9"}, {"Frequency=\u00C9t\u00C9"});
    row("list: no length limit", {"pick Mode=Enhanced", "type StringLength=forty characters of text, all of it kept"},
        {"Mode=Enhanced", "StringLength=forty characters of text, all of it kept"}, Rule[1]);
    // An edit of the field a refusal marked settles the message; another's does not.
    row("other field edited", {"set ReadRange=95%", "send", "type ReaderName=AB"}, {"ReadRange=95%", "ReaderName=AB"},
        Rule[0], "ReadRange");
    row("marked field edited", {"set ReadRange=95%", "send", "type ReadRange=90%"}, {"ReadRange=90%"});
}

// Steps: "set F=text" (by the program: a configuration file holding it is
// loaded), "type F=keys" (over the text), "add F=keys" (after it), "enter
// F=keys" (typed, then Return and the focus elsewhere), "pick F=entry", "paste
// F=text" (over the text), "rule" (applied by another part: Load from File with
// no file chosen), "send" (Send Setup to Reader, no link open); '\b' is a
// backspace.
void TestReaderConfig::editing()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);
    QFETCH(QString, visible);
    QFETCH(QString, marked);

    Tool t;
    // The files the program's texts come from, there before the dialog lists them.
    for (qsizetype i = 0; i < steps.size(); ++i) {
        if (steps[i].startsWith("set "))
            QVERIFY(t.dir.write(QString("set%1.zq").arg(i), fileSetting(steps[i].section(' ', 1).section('=', 0, 0),
                                                                         steps[i].section('=', 1))));
    }
    QDialog *dlg = t.readerConfig();
    QVERIFY(dlg);
    QCOMPARE(visibility(dlg), Rule[0]);
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const QString &step = steps[i];
        const QString verb = step.section(' ', 0, 0), text = step.section('=', 1);
        QWidget *control = verb == "rule" || verb == "send" ? nullptr : field(dlg, step.section(' ', 1).section('=', 0, 0));
        if (verb == "rule") {
            QVERIFY(ui::find<QListWidget>(dlg, QStringLiteral("File1"))->selectedItems().isEmpty());
            QVERIFY(click(dlg, "LoadFile"));
        } else if (verb == "send") {
            QVERIFY(click(dlg, "SendConfig"));
        } else if (verb == "set") {
            QVERIFY(choose(dlg, QString("set%1.zq").arg(i)));
            QVERIFY(click(dlg, "LoadFile"));
        } else if (verb == "pick") {
            QVERIFY2(pick(control, text), qPrintable(step));
        } else if (verb == "paste") {
            QVERIFY(paste(control, text));
        } else {
            QVERIFY(typeKeys(control, text, verb == "add"));
        }
        if (verb == "enter") {
            QTest::keyClick(editOf(control), Qt::Key_Return); // ending the edit is no pick either
            QVERIFY(ui::focus(field(dlg, QStringLiteral("ReaderName"))));
            QCOMPARE(qobject_cast<QComboBox *>(control)->count(), 4); // nor an entry of the list
        }
    }
    QCOMPARE(visibility(dlg), visible);
    // Hiding a field never hides its box or changes its text.
    for (const char *name : FieldNames)
        QVERIFY2(ui::find(dlg, QLatin1String(name) + QLatin1String("Frame"))->isVisibleTo(dlg), name);
    QCOMPARE(texts(dlg), with(expected));
    QCOMPARE(marks(dlg), marked);
    QCOMPARE(problemText(dlg).isEmpty(), marked.isEmpty());
}

void TestReaderConfig::sendConfig_data()
{
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("marked");    // the field a refusal marks; empty: sent at once
    QTest::addColumn<QString>("mentioned"); // in the refusal's message
    QTest::addColumn<QByteArray>("sent");   // at once, or once the marked field has its starting text back

    const QByteArray standard = "C017$$$$SXXXXXC01R4B1\r", universal = "C028UUUUSXXXXXC01R4B1LF5T0DH00A0\r";
    QTest::newRow("Standard") << QStringList{} << "" << "" << standard;
    QTest::newRow("Enhanced") << QStringList{"Mode=Enhanced"} << "" << ""
                              << QByteArray("C023$$$$SXXXXXC01R4B1LF5T0D\r");
    QTest::newRow("Track") << QStringList{"Mode=Track"} << "" << ""
                           << QByteArray("C031$$$$SXXXXXC01R4B1LF5T0DH00X48M0\r");
    QTest::newRow("Universal") << QStringList{"Mode=Universal"} << "" << "" << universal;
    QTest::newRow("short name, 115200 2-wire") << QStringList{"ReaderName=ABC", "BaudRate=115200", "RS485Mode=2-wire"}
                                               << "" << "" << QByteArray("C015$$$$SABCC01R4BE\r");
    QTest::newRow("long name from a file, taken whole") << QStringList{"ReaderName=ABCDEFG", "Frequency=5"} << "" << ""
                                                        << QByteArray("C018$$$$SABCDEFGC5R4B1\r");
    QTest::newRow("unknown baud") << QStringList{"BaudRate=1234"} << "BaudRate" << "1234" << standard;
    QTest::newRow("unknown read range") << QStringList{"ReadRange=95%"} << "ReadRange" << "95%" << standard;
    QTest::newRow("mode in lower case") << QStringList{"Mode=track"} << "Mode" << "track" << standard;
    QTest::newRow("unknown heartbeat") << QStringList{"Mode=Universal", "Heartbeat=Sometimes"} << "Heartbeat"
                                       << "Sometimes" << universal;
    // A file's line keeps a CR that is not at its end.
    QTest::newRow("line break from a file") << QStringList{"Frequency=5\r6"} << "Frequency" << "line break" << standard;
    QTest::newRow("CR in a field the mode does not carry") << QStringList{"TermChar=0\r"} << "" << "" << standard;
    QTest::newRow("string over 99") << QStringList{"ReaderName=" + QString(90, 'N')} << "ReaderName" << "99"
                                    << standard;
}

// The texts are put there by the program: a configuration file holding them
// is loaded.
void TestReaderConfig::sendConfig()
{
    QFETCH(QStringList, settings);
    QFETCH(QString, marked);
    QFETCH(QString, mentioned);
    QFETCH(QByteArray, sent);

    Tool t;
    LoopbackReader reader;
    QVERIFY(t.dir.write("settings.zq", fileSettings(settings)));
    QDialog *dlg = openConnected(t, reader);
    QVERIFY(dlg);
    reader.clearReceived();
    QVERIFY(choose(dlg, "settings.zq"));
    QVERIFY(click(dlg, "LoadFile"));
    QCOMPARE(texts(dlg), with(settings));
    const QString before = texts(dlg);
    QVERIFY(click(dlg, "SendConfig"));
    QCOMPARE(marks(dlg), marked);
    if (!marked.isEmpty()) {
        QVERIFY2(problemText(dlg).contains(mentioned), qPrintable(problemText(dlg)));
        QVERIFY(!problemText(dlg).contains('\n'));
        QCOMPARE(texts(dlg), before); // a refusal changes no text
        QTest::qWait(150);
        QCOMPARE(reader.received(), QByteArray());
        // Put right, the next press sends and the mark goes.
        QVERIFY(typeKeys(field(dlg, marked), startText(marked)));
        QVERIFY(click(dlg, "SendConfig"));
        QCOMPARE(marks(dlg), QString());
    }
    QTRY_COMPARE(reader.received(), sent);
    // Sent: the line now waits for the reader's answer instead of a problem.
    QVERIFY2(problemText(dlg).startsWith("Sent at "), qPrintable(problemText(dlg)));
}

void TestReaderConfig::writeFile_data()
{
    QTest::addColumn<QStringList>("steps");  // see writeFile()
    QTest::addColumn<QStringList>("files");  // in the working directory at the end
    QTest::addColumn<QByteArray>("content"); // of each of them
    QTest::addColumn<QString>("problem");    // part of the message; empty: none
    QTest::addColumn<QString>("marked");     // the field the message marks

    const auto row = [](const char *name, const QStringList &steps, const QStringList &files,
                        const QByteArray &content, const QString &problem = {}, const QString &marked = {}) {
        QTest::newRow(name) << steps << files << content << problem << marked;
    };
    const QByteArray start = StartingFile, bbbbb = "BBBBB" + StartingFile.mid(5);
    const QStringList xxxxx{"XXXXX.zq"};
    row("starting texts", {"click", "is XXXXX.zq="}, xxxxx, start);
    row("hidden fields written", {"pick Mode=Track", "TermChar=7F", "HeadChar=02", "StringLength=V2", "HandShake=31",
                                  "TagsToRead=4", "pick Mode=Universal", "Heartbeat=Heartbeat", "pick Mode=Standard",
                                  "click"}, xxxxx,
        "XXXXX\r\nStandard\r\n9600\r\n4-wire\r\nFrequency hopping default sub-bands\r\n"
        "7F\r\n02\r\nV2\r\n31\r\nHeartbeat\r\n4\r\nRange 4(100%)\r\n");
    row("long name whole", {"load ReaderName=READER7", "click"}, {"READER7.zq"}, "READER7" + start.mid(5));
    row("latin-1 and empty texts", {"Frequency=Caf\u00E9", "pick Mode=Universal", "Heartbeat=", "pick Mode=Standard",
                                    "ReadRange=", "click"}, xxxxx,
        "XXXXX\r\nStandard\r\n9600\r\n4-wire\r\nCaf\xE9\r\n0D\r\n00\r\nF5\r\n48\r\n\r\nRead Always\r\n\r\n");
    // The old file stays whole until the tick; a second click within the second
    // writes once, with the texts of the tick.
    row("second click within the second", {"old", "click", "wait", "is XXXXX.zq=OLD\r\n", "BaudRate=4800", "click",
                                           "RS485Mode=2-wire"},
        xxxxx, QByteArray(start).replace("9600", "4800").replace("4-wire", "2-wire"));
    // Name and texts of one moment, the tick's: a name changed within the
    // second names the file it is written to.
    row("ReaderName changed within the second", {"ReaderName=AAAAA", "click", "ReaderName=BBBBB"}, {"BBBBB.zq"}, bbbbb);
    row("changed and clicked again", {"ReaderName=AAAAA", "click", "ReaderName=BBBBB", "click", "is AAAAA.zq=",
                                      "is BBBBB.zq="},
        {"BBBBB.zq"}, bbbbb);
    row("changed to a bad name within the second", {"click", "ReaderName=A/B"}, {}, {}, "cannot be in a file name",
        "ReaderName");
    row("closed before the tick", {"click", "pick Mode=Track", "TermChar=0A", "pick Mode=Standard", "close"}, xxxxx,
        QByteArray(start).replace("0D", "0A"));
    row("closed without a click", {"Frequency=12", "close"}, {}, {});
    row("path-like name", {"ReaderName=../x", "click"}, {}, {}, "cannot be in a file name", "ReaderName");
    row("unwritable target", {"dir", "Frequency=12", "click"}, {}, {}, "XXXXX.zq");
}

// Steps: "old" / "dir" (before the window: XXXXX.zq holds "OLD", or is a
// directory), "Field=text" (typed over the field), "pick Field=entry", "load
// Field=text" (by the program: a configuration file holding it is loaded, and
// gone afterwards), "click", "wait" (300 ms), "close", "is NAME=CONTENT" (the
// file now; empty: none).
void TestReaderConfig::writeFile()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, files);
    QFETCH(QByteArray, content);
    QFETCH(QString, problem);
    QFETCH(QString, marked);

    Tool t;
    // One level down, so a climb to the parent would show.
    QDir work(t.dir.filePath("work"));
    QVERIFY(work.mkpath(steps.contains("dir") ? "XXXXX.zq" : "."));
    QVERIFY(!steps.contains("old") || t.dir.write("work/XXXXX.zq", "OLD\r\n"));
    for (const QString &step : steps) {
        if (step.startsWith("load "))
            QVERIFY(t.dir.write("work/load.zq", fileSetting(step.section(' ', 1).section('=', 0, 0), step.section('=', 1))));
    }
    QVERIFY(QDir::setCurrent(work.path()));
    QDialog *dlg = t.readerConfig();
    QVERIFY(dlg);
    QStringList settings;
    QElapsedTimer sinceClick;
    for (const QString &step : steps) {
        if (step == "click") {
            QVERIFY(click(dlg, "WriteToFile"));
            sinceClick.start();
        } else if (step == "wait") {
            QTest::qWait(300);
        } else if (step == "close") {
            QVERIFY(closeBox(dlg));
        } else if (step.startsWith("is ")) {
            const QString name = step.mid(3).section('=', 0, 0);
            QCOMPARE(QFile::exists(name) ? t.dir.read("work/" + name) : QByteArray(), step.section('=', 1).toLatin1());
        } else if (step.startsWith("load ")) {
            settings << step.section(' ', 1);
            QVERIFY(choose(dlg, "load.zq"));
            QVERIFY(click(dlg, "LoadFile"));
            QVERIFY(QFile::remove("load.zq"));
        } else if (step.startsWith("pick ")) {
            settings << step.section(' ', 1);
            QVERIFY2(pick(field(dlg, step.section(' ', 1).section('=', 0, 0)), step.section('=', 1)), qPrintable(step));
        } else if (step.contains('=')) {
            settings << step;
            QVERIFY(typeKeys(field(dlg, step.section('=', 0, 0)), step.section('=', 1)));
        }
    }
    const auto found = [&] {
        QStringList out;
        for (QDirIterator it(t.dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
            out << work.relativeFilePath(it.next());
        out.sort();
        return out;
    };
    if (steps.contains("close")) {
        QTRY_VERIFY(!ui::dialog(&t.w, ReaderConfig));
    } else {
        // The file is written a second after the last click; then the folder
        // and the message settle.
        QTest::qWait(qMax<qint64>(0, WriteDelayMs - sinceClick.elapsed()));
        const auto settled = [&] {
            bool same = found() == files && problemText(dlg).isEmpty() == problem.isEmpty();
            for (const QString &name : files)
                same = same && t.dir.read("work/" + name) == content;
            return same;
        };
        for (int i = 0; i < 150 && !settled(); ++i)
            QTest::qWait(20);
    }
    QCOMPARE(found(), files);
    for (const QString &name : files)
        QCOMPARE(t.dir.read("work/" + name), content);
    if (steps.contains("close"))
        return;
    QCOMPARE(listed(dlg), files);
    QCOMPARE(problemText(dlg).isEmpty(), problem.isEmpty());
    QVERIFY2(problemText(dlg).contains(problem), qPrintable(problemText(dlg)));
    QCOMPARE(marks(dlg), marked);
    QCOMPARE(texts(dlg), with(settings)); // writing changes no text
}

void TestReaderConfig::loadFile_data()
{
    QTest::addColumn<QString>("picked");    // the mode picked before the load
    QTest::addColumn<QByteArray>("content"); // null: the file is gone by the time of the load
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("rule");      // the mode whose rule shows afterwards
    QTest::addColumn<QString>("problem");

    const QByteArray track = "TRK\r\nTrack\r\n4800\r\n2-wire\r\n07\r\n1B\r\n02\r\nV4\r\n30\r\nHeartbeat\r\n"
                             "5\r\n60%\r\n";
    const QStringList trackFields{"ReaderName=TRK", "Mode=Track", "BaudRate=4800", "RS485Mode=2-wire",
                                  "Frequency=07", "TermChar=1B", "HeadChar=02", "StringLength=V4",
                                  "HandShake=30", "Heartbeat=Heartbeat", "TagsToRead=5", "ReadRange=60%"};
    QTest::newRow("three lines") << "Universal" << QByteArray("ABCDE\r\nEnhanced\r\n19200\r\n")
                                 << QStringList{"ReaderName=ABCDE", "Mode=Enhanced", "BaudRate=19200"} << "Enhanced"
                                 << "";
    QTest::newRow("twelve lines, Track") << "Standard" << track << trackFields << "Track" << "";
    QTest::newRow("extra lines ignored") << "Standard" << track + "more\r\nand more\r\n" << trackFields << "Track"
                                         << "";
    QTest::newRow("no mode name") << "Universal" << QByteArray("XXXXX\r\ntrack\r\n") << QStringList{"Mode=track"}
                                  << "Universal" << "";
    QTest::newRow("long texts whole") << "Standard"
                                      << QByteArray("LONGREADER\r\nStandard\r\n9600\r\n4-wire\r\nx\r\n0D0A\r\n")
                                      << QStringList{"ReaderName=LONGREADER", "Frequency=x", "TermChar=0D0A"}
                                      << "Standard" << "";
    QTest::newRow("empty lines empty fields") << "Enhanced" << QByteArray("\r\n\r\n")
                                              << QStringList{"ReaderName=", "Mode="} << "Enhanced" << "";
    // Not configuration files: nothing of them goes into the fields.
    QTest::newRow("over 64 KiB") << "Enhanced" << "ABCDE\r\nTrack\r\n" + QByteArray(64 * 1024, '\n')
                                 << QStringList{"Mode=Enhanced"} << "Enhanced" << "larger than";
    QTest::newRow("line over 4 KiB") << "Enhanced" << "ABCDE\r\nTrack\r\n" + QByteArray(4097, 'x') + "\r\n"
                                     << QStringList{"Mode=Enhanced"} << "Enhanced" << "line longer";
    QTest::newRow("vanished") << "Track" << QByteArray() << QStringList{"Mode=Track"} << "Track" << "no longer there";
}

void TestReaderConfig::loadFile()
{
    QFETCH(QString, picked);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, expected);
    QFETCH(QString, rule);
    QFETCH(QString, problem);

    Tool t;
    QVERIFY(t.dir.write("cfg.zq", content.isNull() ? "ABCDE\r\nStandard\r\n" : content));
    QVERIFY(t.dir.write("kept.zq", "KEPT\r\n"));
    LoopbackReader reader;
    QDialog *dlg = openConnected(t, reader);
    QVERIFY(dlg);
    QVERIFY(pick(field(dlg, QStringLiteral("Mode")), picked));
    QVERIFY(choose(dlg, "cfg.zq"));
    if (content.isNull())
        QVERIFY(QFile::remove("cfg.zq"));
    QVERIFY(click(dlg, "LoadFile"));
    QCOMPARE(texts(dlg), with(expected));
    QCOMPARE(visibility(dlg), Rule[Modes.indexOf(rule)]);
    QVERIFY2(problemText(dlg).contains(problem) && problemText(dlg).isEmpty() == problem.isEmpty(),
             qPrintable(problemText(dlg)));
    QCOMPARE(listed(dlg), (content.isNull() ? QStringList{"kept.zq"} : QStringList{"cfg.zq", "kept.zq"}));
    QTest::qWait(100);
    QCOMPARE(reader.received(), QByteArray("L\r")); // loading sends nothing
}

QTEST_MAIN(TestReaderConfig)
#include "tst_readerconfig.moc"
