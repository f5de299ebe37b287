#include "config/readerconfigdialog.h"
#include "support/harness.h"
#include "support/testdir.h"

#include <QApplication>
#include <QClipboard>
#include <QDirIterator>
#include <QFile>
#include <QListWidget>
#include <QRadioButton>

using namespace zanto;

namespace {

const QByteArray StartingFile = "XXXXX\r\nStandard\r\n9600\r\n4-wire\r\nFrequency hopping default sub-bands\r\n"
                                "0D\r\n00\r\nF5\r\n48\r\nNo Heartbeat\r\nRead Always\r\nRange 4(100%)\r\n";
// Shown (1) or hidden (0) by each mode's rule: TermChar, HeadChar, StringLength,
// Heartbeat, HandShake, TagsToRead.
const char *const Rule[] = {"000000", "101000", "111011", "111100"};

ConfigField fieldNamed(const QString &name)
{
    for (int k = 0; k < ConfigFieldCount; ++k) {
        if (name == QLatin1String(fieldControlName(ConfigField(k))))
            return ConfigField(k);
    }
    qFatal("no field %s", qPrintable(name));
}

// "Field=text" settings, put there as the program (not the user) would.
void apply(ReaderConfigDialog *dlg, const QStringList &settings)
{
    for (const QString &s : settings)
        dlg->setFieldText(fieldNamed(s.section('=', 0, 0)), s.section('=', 1));
}

ConfigFields with(const QStringList &settings)
{
    ConfigFields f;
    for (const QString &s : settings)
        fieldText(f, fieldNamed(s.section('=', 0, 0))) = s.section('=', 1).toLatin1();
    return f;
}

// All twelve texts in one line, so a comparison shows every difference at once.
QString texts(const ConfigFields &f)
{
    QStringList out;
    for (int k = 0; k < ConfigFieldCount; ++k)
        out << QLatin1String(fieldControlName(ConfigField(k))) + QLatin1Char('=')
                   + QString::fromLatin1(fieldText(f, ConfigField(k)));
    return out.join('|');
}
QString texts(ReaderConfigDialog *dlg)
{
    return texts(dlg->fields());
}

// The fields marked by a refusal.
QString marks(ReaderConfigDialog *dlg)
{
    QStringList out;
    for (int k = 0; k < ConfigFieldCount; ++k) {
        if (dlg->fieldControl(ConfigField(k))->property("invalid").toBool())
            out << dlg->fieldControl(ConfigField(k))->objectName();
    }
    return out.join(' ');
}

QString visibility(ReaderConfigDialog *dlg)
{
    QString out;
    for (QWidget *w : QList<QWidget *>{dlg->TermChar, dlg->HeadChar, dlg->StringLength, dlg->Heartbeat,
                                       dlg->HandShake, dlg->TagsToRead})
        out += w->isVisibleTo(dlg) ? '1' : '0';
    return out;
}

// A pick from the list with the arrow keys, as a user makes one.
void pick(QComboBox *combo, const QString &entry)
{
    const int index = combo->findText(entry, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    combo->setCurrentIndex(index > 0 ? index - 1 : index + 1);
    QTest::keyClick(combo, index > 0 ? Qt::Key_Down : Qt::Key_Up);
    QCOMPARE(combo->currentText(), entry);
}

// Types over the whole text, or after it when `keys` starts with '+'; '\b' is a
// backspace.
void typeInto(QLineEdit *edit, const QString &keys)
{
    edit->setFocus();
    keys.startsWith('+') ? edit->end(false) : edit->selectAll();
    for (QChar c : keys.mid(keys.startsWith('+') ? 1 : 0)) {
        if (c == '\b')
            QTest::keyClick(edit, Qt::Key_Backspace);
        else
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Connected over TCP with the dialog open and its read request received.
bool openConnected(MainWindow &w, LoopbackReader &reader)
{
    w.Text1->setText(QStringLiteral("30")); // short bursts: replies are decoded quickly
    if (!connectTcp(w, reader))
        return false;
    w.readerConfig(true);
    return reader.waitForBytes(2) && reader.received() == "L\r";
}

QStringList listed(ReaderConfigDialog *dlg)
{
    QStringList out;
    for (int i = 0; i < dlg->File1->count(); ++i)
        out << dlg->File1->item(i)->text();
    return out;
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
    TestDir dir;
    MainWindow w;
    PtyPair pty;
    LoopbackReader reader;
    QVERIFY(pty.isValid() && connectBoth(w, pty, reader));
    ReaderConfigDialog *dlg = w.readerConfig(true);
    QTRY_COMPARE(reader.received(), QByteArray("L\r"));
    QCOMPARE(w.readerConfig(true), dlg); // opening an open dialog is no new opening
    dlg->ReadConfig->click();
    dlg->SendConfig->click();
    QCOMPARE(pty.readAtLeast(22), QByteArray("C017$$$$SXXXXXC01R4B1\r"));
    QTRY_COMPARE(reader.received(), QByteArray("L\rL\r"));

    apply(dlg, {"ReaderName=CHANGED"});
    dlg->close();
    QTRY_VERIFY(!w.existingReaderConfig());
    QCOMPARE(texts(w.readerConfig(true)), texts(ConfigFields{}));
    QTRY_COMPARE(reader.received(), QByteArray("L\rL\rL\r"));
    QTest::qWait(100);
    QCOMPARE(reader.received(), QByteArray("L\rL\rL\r"));
    QCOMPARE(pty.readAvailable(), QByteArray());
}

void TestReaderConfig::replyFills_data()
{
    QTest::addColumn<QByteArray>("configString");
    QTest::addColumn<int>("mode");
    QTest::newRow("Standard") << QByteArray("$$$$SABCDEC03RBBE") << 0;
    QTest::newRow("Enhanced") << QByteArray("$$$$SRDR01C98R2B4LFAT0A") << 1;
    QTest::newRow("Track") << QByteArray("$$$$STRK01C42RJB7LV3T1BH02X30M7") << 2;
    QTest::newRow("Universal") << QByteArray("UUUUSUNI01C99R1B0LF8T0DH7EA2") << 3;
}

// A reply before the dialog was ever opened creates it hidden and fills it; the
// creation asks the reader exactly once, the later opening not again. Edits then
// give way to the next reply. (Which texts a reply stands for is the decoder's
// own test; here the dialog must show what it decodes.)
void TestReaderConfig::replyFills()
{
    QFETCH(QByteArray, configString);
    QFETCH(int, mode);
    const auto decodedOnto = [](ConfigFields fields, const QByteArray &string) {
        applyDecoded(decodeConfigReply(buildConfigReply(string)).value(), fields);
        return texts(fields);
    };

    TestDir dir;
    MainWindow w;
    LoopbackReader reader;
    w.Text1->setText(QStringLiteral("30"));
    QVERIFY(connectTcp(w, reader));
    reader.send(buildConfigReply(configString));
    QTRY_VERIFY(w.existingReaderConfig());
    ReaderConfigDialog *dlg = w.existingReaderConfig();
    QVERIFY(!dlg->isVisible());
    QCOMPARE(texts(dlg), decodedOnto({}, configString));
    QCOMPARE(visibility(dlg), Rule[mode]);
    QCOMPARE(int(w.currentMode()), mode);
    const QRadioButton *options[] = {w.OptStandard, w.OptEnhanced, w.OptTrack, w.OptUniversal};
    QVERIFY(options[mode]->isChecked());
    QCOMPARE(w.readerConfig(true), dlg);
    QTest::qWait(150);
    QCOMPARE(reader.received(), QByteArray("L\r"));

    typeInto(dlg->ReaderName, "QQ");
    typeInto(dlg->Frequency->lineEdit(), "33");
    typeInto(dlg->TermChar, "77");
    pick(dlg->Mode, "Track");
    const ConfigFields edited = dlg->fields();
    reader.send(buildConfigReply("$$$$SABCDEC05R3B2")); // Standard: the fields it carries only
    QTRY_COMPARE(dlg->fieldText(ConfigField::ReaderName), QStringLiteral("ABCDE"));
    QCOMPARE(texts(dlg), decodedOnto(edited, "$$$$SABCDEC05R3B2"));
    QVERIFY(texts(dlg).contains("|TermChar=77|"));
    QCOMPARE(visibility(dlg), Rule[0]);
    QCOMPARE(w.currentMode(), ReaderMode::Standard);
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
    // Typing limits bind typing only, never a text the program put there.
    row("name: sixth refused", {"type ReaderName=ABCDEFG"}, {"ReaderName=ABCDE"});
    row("name: full, one more", {"add ReaderName=Y"}, {});
    row("TermChar: third refused", {"type TermChar=123"}, {"TermChar=12"});
    row("HeadChar: third refused", {"type HeadChar=ABC"}, {"HeadChar=AB"});
    row("HandShake: third refused", {"type HandShake=0d1"}, {"HandShake=0d"});
    row("program text stands", {"set ReaderName=LONGNAME1", "add ReaderName=Z"}, {"ReaderName=LONGNAME1"});
    row("program text shortens", {"set ReaderName=LONGNAME1", "add ReaderName=\b\b"}, {"ReaderName=LONGNAM"});
    row("paste too long", {"paste ReaderName=ABCDEFGH"}, {});
    row("name: beyond 8 bits", {"type ReaderName=A\u20AC"}, {"ReaderName=A"});
    row("list: beyond 8 bits", {"type Frequency=5\u20AC6"}, {"Frequency=56"});
    row("list: pasted beyond 8 bits", {"paste Heartbeat=x\u20AC"}, {});
    row("list: latin-1", {"type Frequency=\u00C9t\u00C9"}, {"Frequency=\u00C9t\u00C9"});
    row("list: no length limit", {"type StringLength=forty characters of text, all of it kept"},
        {"StringLength=forty characters of text, all of it kept"});
    // An edit of the field a refusal marked settles the message; another's does not.
    row("other field edited", {"set ReadRange=95%", "send", "type ReaderName=AB"}, {"ReadRange=95%", "ReaderName=AB"},
        Rule[0], "ReadRange");
    row("marked field edited", {"set ReadRange=95%", "send", "type ReadRange=90%"}, {"ReadRange=90%"});
}

// Steps: "set F=text" (by the program), "type F=keys" (over the text), "add F=keys"
// (after it), "enter F=keys" (typed, then Return and the focus elsewhere), "pick
// F=entry", "paste F=text" (over the text), "rule" (applied by another part),
// "send" (Send Setup to Reader, no link open); '\b' is a backspace.
void TestReaderConfig::editing()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);
    QFETCH(QString, visible);
    QFETCH(QString, marked);

    TestDir dir;
    MainWindow w;
    ReaderConfigDialog *dlg = w.readerConfig(true);
    QCOMPARE(visibility(dlg), Rule[0]);
    for (const QString &step : steps) {
        const QString verb = step.section(' ', 0, 0), text = step.section('=', 1);
        const QString name = step.section(' ', 1).section('=', 0, 0);
        QWidget *control = verb == "rule" || verb == "send" ? nullptr : dlg->fieldControl(fieldNamed(name));
        auto *combo = qobject_cast<QComboBox *>(control);
        QLineEdit *edit = combo ? combo->lineEdit() : qobject_cast<QLineEdit *>(control);
        if (verb == "rule")
            dlg->Mode_Click();
        else if (verb == "send")
            dlg->SendConfig->click();
        else if (verb == "set")
            dlg->setFieldText(fieldNamed(control->objectName()), text);
        else if (verb == "pick")
            pick(combo, text);
        else if (verb == "paste") {
            QApplication::clipboard()->setText(text);
            edit->selectAll();
            edit->paste();
        } else
            typeInto(edit, verb == "add" ? '+' + text : text);
        if (verb == "enter") {
            QTest::keyClick(edit, Qt::Key_Return); // ending the edit is no pick either
            dlg->ReaderName->setFocus();
            QCOMPARE(combo->count(), 4);            // nor an entry of the list
        }
    }
    QCOMPARE(visibility(dlg), visible);
    // Hiding a field never hides its box or changes its text.
    for (int k = 0; k < ConfigFieldCount; ++k)
        QVERIFY(dlg->fieldControl(ConfigField(k))->parentWidget()->isVisibleTo(dlg));
    QCOMPARE(texts(dlg), texts(with(expected)));
    QCOMPARE(marks(dlg), marked);
    QCOMPARE(dlg->problemText().isEmpty(), marked.isEmpty());
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
    QTest::newRow("line break from a file") << QStringList{"Frequency=5\r\n6"} << "Frequency" << "line break" << standard;
    QTest::newRow("CR in a field the mode does not carry") << QStringList{"TermChar=0\r"} << "" << "" << standard;
    QTest::newRow("beyond 8 bits") << QStringList{"Frequency=5" + QString(QChar(0x20AC))} << "Frequency" << "U+20AC"
                                   << standard;
    QTest::newRow("string over 99") << QStringList{"ReaderName=" + QString(90, 'N')} << "ReaderName" << "99"
                                    << standard;
}

void TestReaderConfig::sendConfig()
{
    QFETCH(QStringList, settings);
    QFETCH(QString, marked);
    QFETCH(QString, mentioned);
    QFETCH(QByteArray, sent);

    TestDir dir;
    MainWindow w;
    LoopbackReader reader;
    QVERIFY(openConnected(w, reader));
    ReaderConfigDialog *dlg = w.existingReaderConfig();
    reader.clearReceived();
    apply(dlg, settings);
    const QString before = texts(dlg);
    dlg->SendConfig->click();
    QCOMPARE(marks(dlg), marked);
    if (!marked.isEmpty()) {
        QVERIFY2(dlg->problemText().contains(mentioned), qPrintable(dlg->problemText()));
        QVERIFY(!dlg->problemText().contains('\n'));
        QCOMPARE(texts(dlg), before); // a refusal changes no text
        QTest::qWait(150);
        QCOMPARE(reader.received(), QByteArray());
        // Put right, the next press sends and the mark goes.
        dlg->setFieldText(fieldNamed(marked), QString::fromLatin1(fieldText(ConfigFields{}, fieldNamed(marked))));
        dlg->SendConfig->click();
        QCOMPARE(marks(dlg), QString());
    }
    QTRY_COMPARE(reader.received(), sent);
    QVERIFY(dlg->problemText().isEmpty());
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
    const QString euro(QChar(0x20AC));
    row("starting texts", {"click", "is XXXXX.zq="}, xxxxx, start);
    row("hidden fields written", {"TermChar=7F", "HeadChar=02", "StringLength=V2", "HandShake=31",
                                  "Heartbeat=Heartbeat", "TagsToRead=4", "click"}, xxxxx,
        "XXXXX\r\nStandard\r\n9600\r\n4-wire\r\nFrequency hopping default sub-bands\r\n"
        "7F\r\n02\r\nV2\r\n31\r\nHeartbeat\r\n4\r\nRange 4(100%)\r\n");
    row("long name whole", {"ReaderName=READER7", "click"}, {"READER7.zq"}, "READER7" + start.mid(5));
    row("latin-1 and empty texts", {"Frequency=Caf\u00E9", "Heartbeat=", "ReadRange=", "click"}, xxxxx,
        "XXXXX\r\nStandard\r\n9600\r\n4-wire\r\nCaf\xE9\r\n0D\r\n00\r\nF5\r\n48\r\n\r\nRead Always\r\n\r\n");
    // The old file stays whole until the tick; a second click within the second
    // writes once, with the texts of the tick.
    row("second click within the second", {"old", "click", "wait", "is XXXXX.zq=OLD\r\n", "BaudRate=4800", "click",
                                           "RS485Mode=2-wire"},
        xxxxx, QByteArray(start).replace("9600", "4800").replace("4-wire", "2-wire"));
    // Name and texts of one moment, the tick's: a name changed within the
    // second (a reply from another reader, say) names the file it is written to.
    row("ReaderName changed within the second", {"ReaderName=AAAAA", "click", "ReaderName=BBBBB"}, {"BBBBB.zq"}, bbbbb);
    row("changed and clicked again", {"ReaderName=AAAAA", "click", "ReaderName=BBBBB", "click", "is AAAAA.zq=",
                                      "is BBBBB.zq="},
        {"BBBBB.zq"}, bbbbb);
    row("changed to a bad name within the second", {"click", "ReaderName=A/B"}, {}, {}, "cannot be in a file name",
        "ReaderName");
    row("closed before the tick", {"click", "TermChar=0A", "close"}, xxxxx, QByteArray(start).replace("0D", "0A"));
    row("path-like name", {"ReaderName=../x", "click"}, {}, {}, "cannot be in a file name", "ReaderName");
    row("name beyond 8 bits", {"ReaderName=A" + euro, "click"}, {}, {}, "cannot be in a file name", "ReaderName");
    row("text beyond 8 bits at the tick", {"click", "Frequency=5" + euro}, {}, {}, "outside 8 bits", "Frequency");
    row("unwritable target", {"dir", "Frequency=12", "click"}, {}, {}, "XXXXX.zq");
}

// Steps: "old" / "dir" (before the window: XXXXX.zq holds "OLD", or is a
// directory), "Field=text", "click", "wait" (300 ms), "close", "is NAME=CONTENT"
// (the file now; empty: none).
void TestReaderConfig::writeFile()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, files);
    QFETCH(QByteArray, content);
    QFETCH(QString, problem);
    QFETCH(QString, marked);

    // One level down, so a climb to the parent would show.
    TestDir top;
    QDir work(top.filePath("work"));
    QVERIFY(work.mkpath(steps.contains("dir") ? "XXXXX.zq" : "."));
    QVERIFY(!steps.contains("old") || top.write("work/XXXXX.zq", "OLD\r\n"));
    QDir::setCurrent(work.path());
    MainWindow w;
    ReaderConfigDialog *dlg = w.readerConfig(true);
    QStringList settings;
    for (const QString &step : steps) {
        if (step == "click")
            dlg->WriteToFile->click();
        else if (step == "wait")
            QTest::qWait(300);
        else if (step == "close")
            QVERIFY(dlg->close());
        else if (step.startsWith("is "))
            QCOMPARE(QFile::exists(step.mid(3).section('=', 0, 0)) ? top.read("work/" + step.mid(3).section('=', 0, 0))
                                                                   : QByteArray(),
                     step.section('=', 1).toLatin1());
        else if (step.contains('=')) {
            settings << step;
            apply(dlg, {step});
        }
    }
    QTRY_VERIFY_WITH_TIMEOUT(steps.contains("close") || !dlg->TmrWait.isActive(), 3000);
    QStringList found;
    for (QDirIterator it(top.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        found << work.relativeFilePath(it.next());
    found.sort();
    QCOMPARE(found, files);
    for (const QString &name : files)
        QCOMPARE(top.read("work/" + name), content);
    if (steps.contains("close"))
        return;
    QCOMPARE(listed(dlg), files);
    QCOMPARE(dlg->problemText().isEmpty(), problem.isEmpty());
    QVERIFY2(dlg->problemText().contains(problem), qPrintable(dlg->problemText()));
    QCOMPARE(marks(dlg), marked);
    QCOMPARE(texts(dlg), texts(with(settings))); // writing changes no text
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

    TestDir dir;
    QVERIFY(dir.write("cfg.zq", content.isNull() ? "ABCDE\r\nStandard\r\n" : content));
    QVERIFY(dir.write("kept.zq", "KEPT\r\n"));
    MainWindow w;
    LoopbackReader reader;
    QVERIFY(openConnected(w, reader));
    ReaderConfigDialog *dlg = w.existingReaderConfig();
    pick(dlg->Mode, picked);
    dlg->File1->setCurrentRow(0);
    if (content.isNull())
        QVERIFY(QFile::remove("cfg.zq"));
    dlg->LoadFile->click();
    QCOMPARE(texts(dlg), texts(with(expected)));
    QCOMPARE(visibility(dlg), Rule[modeEntries().indexOf(rule.toLatin1())]);
    QVERIFY2(dlg->problemText().contains(problem) && dlg->problemText().isEmpty() == problem.isEmpty(),
             qPrintable(dlg->problemText()));
    QCOMPARE(listed(dlg), (content.isNull() ? QStringList{"kept.zq"} : QStringList{"cfg.zq", "kept.zq"}));
    QTest::qWait(100);
    QCOMPARE(reader.received(), QByteArray("L\r")); // loading sends nothing
}

QTEST_MAIN(TestReaderConfig)
#include "tst_readerconfig.moc"
