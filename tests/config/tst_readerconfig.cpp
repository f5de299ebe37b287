#include "app/mainwindow.h"
#include "config/readerconfigdialog.h"
#include "settings/portsettingsdialog.h"
#include "support/loopbackreader.h"
#include "support/testdir.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <unistd.h>

using namespace zanto;

Q_DECLARE_METATYPE(zanto::ConfigFields)

namespace {

constexpr ConfigField ModeDependent[] = {ConfigField::TermChar,  ConfigField::HeadChar,  ConfigField::StringLength,
                                         ConfigField::Heartbeat, ConfigField::HandShake, ConfigField::TagsToRead};

const QByteArray StartingFile = "XXXXX\r\nStandard\r\n9600\r\n4-wire\r\nFrequency hopping default sub-bands\r\n"
                                "0D\r\n00\r\nF5\r\n48\r\nNo Heartbeat\r\nRead Always\r\nRange 4(100%)\r\n";

ConfigField fieldNamed(const QString &name)
{
    for (int k = 0; k < ConfigFieldCount; ++k) {
        if (name == QLatin1String(fieldControlName(static_cast<ConfigField>(k))))
            return static_cast<ConfigField>(k);
    }
    qFatal("no field %s", qPrintable(name));
}

// Settings are written "Field=text", as the program (not the user) would put them.
void apply(ReaderConfigDialog *dlg, const QStringList &settings)
{
    for (const QString &s : settings) {
        const qsizetype eq = s.indexOf(QLatin1Char('='));
        dlg->setFieldText(fieldNamed(s.left(eq)), s.mid(eq + 1));
    }
}

ConfigFields with(const QStringList &settings)
{
    ConfigFields f;
    for (const QString &s : settings) {
        const qsizetype eq = s.indexOf(QLatin1Char('='));
        fieldText(f, fieldNamed(s.left(eq))) = s.mid(eq + 1).toLatin1();
    }
    return f;
}

void compareFields(ReaderConfigDialog *dlg, const ConfigFields &expected)
{
    for (int k = 0; k < ConfigFieldCount; ++k) {
        const auto field = static_cast<ConfigField>(k);
        const QString want = QString::fromLatin1(fieldText(expected, field));
        if (dlg->fieldText(field) != want) {
            QFAIL(qPrintable(QStringLiteral("%1 is \"%2\", expected \"%3\"")
                                 .arg(QLatin1String(fieldControlName(field)), dlg->fieldText(field), want)));
        }
    }
}

// Visibility of TermChar, HeadChar, StringLength, Heartbeat, HandShake,
// TagsToRead, '1' shown, '0' hidden.
QString visibility(ReaderConfigDialog *dlg)
{
    QString out;
    for (ConfigField field : ModeDependent)
        out += dlg->fieldControl(field)->isVisibleTo(dlg) ? QLatin1Char('1') : QLatin1Char('0');
    return out;
}

// A pick from the list with the arrow keys, as a user makes one.
void pick(QComboBox *combo, const QString &entry)
{
    const int index = combo->findText(entry, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    QVERIFY2(index >= 0, qPrintable(entry));
    combo->setCurrentIndex(index > 0 ? index - 1 : index + 1);
    QTest::keyClick(combo, index > 0 ? Qt::Key_Down : Qt::Key_Up);
    QCOMPARE(combo->currentText(), entry);
}

void typeInto(QLineEdit *edit, const QString &keys, bool replaceAll = true)
{
    edit->setFocus();
    if (replaceAll)
        edit->selectAll();
    else
        edit->end(false);
    for (QChar c : keys) {
        // keyClicks() knows Latin-1 only; a wider character comes as its text.
        if (c.unicode() > 0xFF)
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
        else
            QTest::keyClick(edit, c.toLatin1());
    }
}

QLineEdit *editOf(QWidget *control)
{
    if (auto *combo = qobject_cast<QComboBox *>(control))
        return combo->lineEdit();
    return qobject_cast<QLineEdit *>(control);
}

void connectTcp(MainWindow &w, LoopbackReader &reader)
{
    PortSettingsDialog *ps = w.portSettings(false);
    ps->Combo5->setEditText(QStringLiteral("TCP/IP"));
    ps->IPAddress->setText(QStringLiteral("127.0.0.1"));
    ps->PortNumber->setText(reader.portText());
    w.Text1->setText(QStringLiteral("30")); // short bursts: replies are decoded quickly
    w.Command1_Click();
    QVERIFY(reader.waitForClient());
    QTRY_VERIFY(w.Connect_Error->text().contains(QLatin1String("Connected to")));
}
#define CONNECT_TCP(w, reader)                                                                                         \
    do {                                                                                                               \
        connectTcp(w, reader);                                                                                         \
        if (QTest::currentTestFailed())                                                                                \
            return;                                                                                                    \
    } while (false)

void selectFile(ReaderConfigDialog *dlg, const QString &name)
{
    const QList<QListWidgetItem *> items = dlg->File1->findItems(name, Qt::MatchExactly);
    QVERIFY2(items.size() == 1, qPrintable(name));
    dlg->File1->setCurrentItem(items.first());
    QVERIFY(items.first()->isSelected());
}

QStringList listed(ReaderConfigDialog *dlg)
{
    QStringList out;
    for (int i = 0; i < dlg->File1->count(); ++i)
        out << dlg->File1->item(i)->text();
    return out;
}

// The mode-dependent visibility each mode's rule sets.
QString ruleOf(const QString &mode)
{
    if (mode == "Enhanced")
        return "101000";
    if (mode == "Track")
        return "111011";
    if (mode == "Universal")
        return "111100";
    return "000000";
}

} // namespace

class TestReaderConfig : public QObject
{
    Q_OBJECT
private slots:
    void startingState_data();
    void startingState();
    void layoutFollowsTheGrid_data();
    void layoutFollowsTheGrid();
    void keyboardOrder();
    void readRequest();
    void replyFillsHiddenDialog_data();
    void replyFillsHiddenDialog();
    void replyOverwritesEditedFields();
    void modeRule_data();
    void modeRule();
    void typingLimits_data();
    void typingLimits();
    void sendConfig_data();
    void sendConfig();
    void sendConfigRefused_data();
    void sendConfigRefused();
    void editSettlesTheMark();
    void writeFile_data();
    void writeFile();
    void oldFileKeptUntilTheTick();
    void secondClickWithinTheSecond();
    void readerNameChangedWithinTheSecond_data();
    void readerNameChangedWithinTheSecond();
    void closingBeforeTheTickWritesAtOnce();
    void fileNameRefused_data();
    void fileNameRefused();
    void writeFails_data();
    void writeFails();
    void loadFile_data();
    void loadFile();
    void loadVanishedFile();
    void loadWithNothingSelected();
};

void TestReaderConfig::startingState_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("entries"); // -1: a text box

    QTest::newRow("ReaderName") << "ReaderName" << "XXXXX" << true << "ReaderName" << -1;
    QTest::newRow("Mode") << "Mode" << "Standard" << true << "Mode" << 4;
    QTest::newRow("BaudRate") << "BaudRate" << "9600" << true << "Baud Rate" << 6;
    QTest::newRow("RS485Mode") << "RS485Mode" << "4-wire" << true << "RS485 Port Mode" << 2;
    QTest::newRow("Frequency") << "Frequency" << "Frequency hopping default sub-bands" << true << "Frequency" << 97;
    QTest::newRow("TermChar") << "TermChar" << "0D" << false << "Term Char(HEX)" << -1;
    QTest::newRow("HeadChar") << "HeadChar" << "00" << false << "Head Char(HEX)" << -1;
    QTest::newRow("StringLength") << "StringLength" << "F5" << false << "Fixed String Length" << 83;
    QTest::newRow("HandShake") << "HandShake" << "48" << false << "Handshake(HEX)" << -1;
    QTest::newRow("Heartbeat") << "Heartbeat" << "No Heartbeat" << false << "Heartbeat" << 3;
    QTest::newRow("TagsToRead") << "TagsToRead" << "Read Always" << false << "Tags to read for LON" << 10;
    QTest::newRow("ReadRange") << "ReadRange" << "Range 4(100%)" << true << "Read Range" << 14;
}

void TestReaderConfig::startingState()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(bool, shown);
    QFETCH(QString, caption);
    QFETCH(int, entries);

    TestDir dir;
    MainWindow w;
    ReaderConfigDialog *dlg = w.readerConfig(true);
    QCOMPARE(dlg->objectName(), QStringLiteral("ReaderConfig"));
    QCOMPARE(dlg->windowTitle(), QStringLiteral("Configure Reader"));
    QCOMPARE(dlg->size(), QSize(480, 371)); // 7200 x 5565 twips
    QVERIFY(!dlg->isModal());
    QVERIFY(!dlg->TmrWait.isActive());
    QVERIFY(dlg->problemText().isEmpty());

    QWidget *control = dlg->fieldControl(fieldNamed(field));
    QCOMPARE(control->objectName(), field);
    QCOMPARE(dlg->fieldText(fieldNamed(field)), text);
    QCOMPARE(control->isVisibleTo(dlg), shown);
    // Hidden or not, the field's own box and caption stay on screen, inside the
    // large "Configure Reader" box.
    auto *box = qobject_cast<QGroupBox *>(control->parentWidget());
    QVERIFY(box);
    QCOMPARE(box->title(), caption);
    QVERIFY(box->isVisibleTo(dlg));
    auto *frame = qobject_cast<QGroupBox *>(box->parentWidget());
    QVERIFY(frame);
    QCOMPARE(frame->title(), QStringLiteral("Configure Reader"));

    if (entries < 0) {
        // A length limit on the box would cut texts from replies and files.
        QCOMPARE(qobject_cast<QLineEdit *>(control)->maxLength(), 32767);
    } else {
        auto *combo = qobject_cast<QComboBox *>(control);
        QVERIFY(combo && combo->isEditable());
        QCOMPARE(combo->count(), entries);
        QCOMPARE(combo->insertPolicy(), QComboBox::NoInsert);
    }
}

void TestReaderConfig::layoutFollowsTheGrid_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("span");
    // Row 1 holds one box in each column; the others are measured against it.
    QTest::newRow("Mode") << "Mode" << 1 << 1 << 1;
    QTest::newRow("BaudRate") << "BaudRate" << 1 << 2 << 1;
    QTest::newRow("TermChar") << "TermChar" << 1 << 3 << 1;
    QTest::newRow("HandShake") << "HandShake" << 1 << 4 << 1;
    QTest::newRow("ReaderName") << "ReaderName" << 2 << 1 << 1;
    QTest::newRow("RS485Mode") << "RS485Mode" << 2 << 2 << 1;
    QTest::newRow("HeadChar") << "HeadChar" << 2 << 3 << 1;
    QTest::newRow("Heartbeat") << "Heartbeat" << 2 << 4 << 1;
    QTest::newRow("StringLength") << "StringLength" << 3 << 3 << 1;
    QTest::newRow("TagsToRead") << "TagsToRead" << 3 << 4 << 1;
    QTest::newRow("Frequency") << "Frequency" << 4 << 1 << 3;
    QTest::newRow("ReadRange") << "ReadRange" << 4 << 4 << 1;
    QTest::newRow("SendConfig") << "SendConfig" << 5 << 1 << 2;
    QTest::newRow("ReadConfig") << "ReadConfig" << 5 << 3 << 2;
}

void TestReaderConfig::layoutFollowsTheGrid()
{
    QFETCH(QString, name);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, span);

    TestDir dir;
    MainWindow w;
    ReaderConfigDialog *dlg = w.readerConfig(true);
    // A field is placed by its box; a button by itself.
    auto cell = [dlg](const QString &objectName) -> QWidget * {
        QWidget *widget = dlg->findChild<QWidget *>(objectName);
        return qobject_cast<QPushButton *>(widget) ? widget : widget->parentWidget();
    };
    const QString columns[] = {"Mode", "BaudRate", "TermChar", "HandShake"};
    const QString rows[] = {"Mode", "ReaderName", "StringLength", "Frequency", "SendConfig"};
    const QRect it = cell(name)->geometry();
    QCOMPARE(it.left(), cell(columns[column - 1])->geometry().left());
    QCOMPARE(it.right(), cell(columns[column + span - 2])->geometry().right());
    QCOMPARE(it.top(), cell(rows[row - 1])->geometry().top());
    if (row > 1)
        QVERIFY(it.top() > cell(rows[row - 2])->geometry().bottom());
    QVERIFY(cell(name)->parentWidget()->rect().contains(it));
    for (const char *other : {"Mode", "BaudRate", "TermChar", "HandShake", "ReaderName", "RS485Mode", "HeadChar",
                              "Heartbeat", "StringLength", "TagsToRead", "Frequency", "ReadRange", "SendConfig",
                              "ReadConfig"}) {
        if (other != name)
            QVERIFY2(!it.intersects(cell(other)->geometry()), qPrintable(other));
    }

    // Below the large box, one row from left to right: the two file buttons and
    // the file list; the message line under them; all inside the client area.
    const QRect frame = cell(name)->parentWidget()->geometry();
    const QRect write = dlg->WriteToFile->geometry(), load = dlg->LoadFile->geometry(), list = dlg->File1->geometry();
    QVERIFY(write.top() > frame.bottom());
    QCOMPARE(load.top(), write.top());
    QCOMPARE(list.top(), write.top());
    QVERIFY(write.right() < load.left() && load.right() < list.left());
    QVERIFY(dlg->Problem->geometry().top() > write.bottom());
    for (const QRect &r : {frame, write, load, list, dlg->Problem->geometry()})
        QVERIFY(dlg->rect().contains(r));
}

void TestReaderConfig::keyboardOrder()
{
    TestDir dir;
    MainWindow w;
    ReaderConfigDialog *dlg = w.readerConfig(true);
    // All six mode-dependent fields on screen, so the walk meets every control.
    apply(dlg, {"Mode=Track"});
    dlg->Mode_Click();
    dlg->Heartbeat->show();
    QApplication::setActiveWindow(dlg);
    QVERIFY(QTest::qWaitForWindowActive(dlg));

    const QStringList expected{"Mode",      "ReaderName", "BaudRate",   "RS485Mode",  "TermChar", "HeadChar",
                               "Frequency", "ReadRange",  "StringLength", "Heartbeat", "TagsToRead", "HandShake",
                               "ReadConfig", "SendConfig", "File1",     "WriteToFile", "LoadFile"};
    auto owner = [&expected](QWidget *w) {
        for (; w; w = w->parentWidget()) {
            if (expected.contains(w->objectName()))
                return w->objectName();
        }
        return QString();
    };
    dlg->Mode->setFocus();
    QStringList walked{owner(QApplication::focusWidget())};
    for (int i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked << owner(QApplication::focusWidget());
    }
    QCOMPARE(walked, expected);
}

void TestReaderConfig::readRequest()
{
    TestDir dir;
    MainWindow w;
    LoopbackReader reader;
    CONNECT_TCP(w, reader);

    ReaderConfigDialog *dlg = w.readerConfig(true);
    QTRY_COMPARE(reader.received(), QByteArray("L\r"));
    // Opening an open dialog again is no new opening.
    w.readerConfig(true);
    dlg->ReadConfig->click();
    dlg->ReadConfig->click();
    QTRY_COMPARE(reader.received(), QByteArray("L\rL\rL\r"));

    // Closing discards the texts; the next opening starts afresh and asks again.
    apply(dlg, {"ReaderName=CHANGED"});
    reader.clearReceived();
    dlg->close();
    QTRY_VERIFY(!w.existingReaderConfig());
    dlg = w.readerConfig(true);
    QCOMPARE(dlg->fieldText(ConfigField::ReaderName), QStringLiteral("XXXXX"));
    QTRY_COMPARE(reader.received(), QByteArray("L\r"));
    QTest::qWait(100);
    QCOMPARE(reader.received(), QByteArray("L\r"));
}

void TestReaderConfig::replyFillsHiddenDialog_data()
{
    QTest::addColumn<QByteArray>("configString");
    QTest::addColumn<ConfigFields>("expected");
    QTest::addColumn<int>("mode");

    QTest::newRow("Standard") << QByteArray("$$$$SABCDEC03RBBE")
                              << with({"ReaderName=ABCDE", "Frequency=Adaptive Frequency Hopping default sub-bands",
                                       "ReadRange=20%", "BaudRate=115200", "RS485Mode=2-wire"})
                              << int(ReaderMode::Standard);
    QTest::newRow("Enhanced") << QByteArray("$$$$SRDR01C98R2B4LFAT0A")
                              << with({"Mode=Enhanced", "ReaderName=RDR01", "Frequency=Frequency hopping all sub-bands",
                                       "ReadRange=Range 2(33%)", "BaudRate=57600", "StringLength=Data+Mark",
                                       "TermChar=0A"})
                              << int(ReaderMode::Enhanced);
    QTest::newRow("Track") << QByteArray("$$$$STRK01C42RJB7LV3T1BH02X30M7")
                           << with({"Mode=Track", "ReaderName=TRK01", "Frequency=42", "ReadRange=100%",
                                    "BaudRate=19200", "RS485Mode=2-wire", "StringLength=V3", "TermChar=1B",
                                    "HeadChar=02", "HandShake=30", "TagsToRead=7"})
                           << int(ReaderMode::Track);
    QTest::newRow("Universal") << QByteArray("UUUUSUNI01C99R1B0LF8T0DH7EA2")
                               << with({"Mode=Universal", "ReaderName=UNI01",
                                        "Frequency=Adaptive Frequency all sub-bands", "ReadRange=Range 1(1%)",
                                        "BaudRate=4800", "StringLength=Mark only", "HeadChar=7E",
                                        "Heartbeat=Heartbeat with handshake"})
                               << int(ReaderMode::Universal);
}

void TestReaderConfig::replyFillsHiddenDialog()
{
    QFETCH(QByteArray, configString);
    QFETCH(ConfigFields, expected);
    QFETCH(int, mode);

    TestDir dir;
    MainWindow w;
    LoopbackReader reader;
    CONNECT_TCP(w, reader);
    QVERIFY(!w.existingReaderConfig());

    reader.send(buildConfigReply(configString));
    QTRY_VERIFY(w.existingReaderConfig());
    ReaderConfigDialog *dlg = w.existingReaderConfig();
    QVERIFY(!dlg->isVisible());
    compareFields(dlg, expected);
    QCOMPARE(visibility(dlg), ruleOf(QString::fromLatin1(expected.mode)));
    QCOMPARE(int(w.currentMode()), mode);
    const QRadioButton *options[] = {w.OptStandard, w.OptEnhanced, w.OptTrack, w.OptUniversal};
    QVERIFY(options[mode]->isChecked());
    // Creating the dialog asked the reader once.
    QTRY_COMPARE(reader.received(), QByteArray("L\r"));

    // Opening it now shows the reply's texts and asks nothing more.
    QCOMPARE(w.readerConfig(true), dlg);
    QVERIFY(dlg->isVisible());
    QTest::qWait(100);
    QCOMPARE(reader.received(), QByteArray("L\r"));
    compareFields(dlg, expected);
}

void TestReaderConfig::replyOverwritesEditedFields()
{
    TestDir dir;
    MainWindow w;
    LoopbackReader reader;
    CONNECT_TCP(w, reader);
    ReaderConfigDialog *dlg = w.readerConfig(true);
    QTRY_COMPARE(reader.received(), QByteArray("L\r"));

    typeInto(dlg->ReaderName, "QQ");
    typeInto(dlg->Frequency->lineEdit(), "33");
    typeInto(dlg->TermChar, "77");
    pick(dlg->Mode, "Track");
    QCOMPARE(dlg->fieldText(ConfigField::ReaderName), QStringLiteral("QQ"));

    reader.send(buildConfigReply("$$$$SABCDEC05R3B2"));
    // A Standard reply: what it carries replaces the edits, the rest stays.
    QTRY_COMPARE(dlg->fieldText(ConfigField::ReaderName), QStringLiteral("ABCDE"));
    compareFields(dlg, with({"ReaderName=ABCDE", "Frequency=05", "ReadRange=Range 3(66%)", "BaudRate=19200",
                             "TermChar=77"}));
    QCOMPARE(visibility(dlg), ruleOf("Standard"));
    QCOMPARE(w.currentMode(), ReaderMode::Standard);
}

void TestReaderConfig::modeRule_data()
{
    QTest::addColumn<QStringList>("picks");
    QTest::addColumn<QString>("typed");    // typed into Mode after the picks
    QTest::addColumn<bool>("ruleCalled");  // then the rule applied by another part
    QTest::addColumn<QString>("expected");

    QTest::newRow("Standard") << QStringList{"Enhanced", "Standard"} << "" << false << "000000";
    QTest::newRow("Enhanced") << QStringList{"Enhanced"} << "" << false << "101000";
    QTest::newRow("Track") << QStringList{"Track"} << "" << false << "111011";
    QTest::newRow("Universal") << QStringList{"Universal"} << "" << false << "111100";
    QTest::newRow("Track then Universal") << QStringList{"Track", "Universal"} << "" << false << "111100";
    QTest::newRow("Universal then Enhanced") << QStringList{"Universal", "Enhanced"} << "" << false << "101000";
    QTest::newRow("typed Track is not applied") << QStringList{} << "Track" << false << "000000";
    QTest::newRow("typed Track, then the rule") << QStringList{} << "Track" << true << "111011";
    QTest::newRow("track is no mode") << QStringList{"Universal"} << "track" << true << "111100";
    QTest::newRow("trailing blank is no mode") << QStringList{"Track"} << "Enhanced " << true << "111011";
    QTest::newRow("empty is no mode") << QStringList{"Enhanced"} << "" << true << "101000";
}

void TestReaderConfig::modeRule()
{
    QFETCH(QStringList, picks);
    QFETCH(QString, typed);
    QFETCH(bool, ruleCalled);
    QFETCH(QString, expected);

    TestDir dir;
    MainWindow w;
    ReaderConfigDialog *dlg = w.readerConfig(true);
    QCOMPARE(visibility(dlg), QStringLiteral("000000"));
    for (const QString &mode : picks)
        pick(dlg->Mode, mode);
    if (!typed.isEmpty() || ruleCalled) {
        typeInto(dlg->Mode->lineEdit(), typed);
        if (typed.isEmpty())
            QTest::keyClick(dlg->Mode->lineEdit(), Qt::Key_Backspace);
        // Ending the edit is no pick either.
        QTest::keyClick(dlg->Mode->lineEdit(), Qt::Key_Return);
        dlg->ReaderName->setFocus();
        QCOMPARE(dlg->Mode->currentText(), typed);
    }
    if (ruleCalled)
        dlg->Mode_Click();
    QCOMPARE(visibility(dlg), expected);
    // Hiding a field never hides its box or changes its text.
    for (ConfigField field : ModeDependent)
        QVERIFY(dlg->fieldControl(field)->parentWidget()->isVisibleTo(dlg));
    compareFields(dlg, with({"Mode=" + dlg->Mode->currentText()}));
}

void TestReaderConfig::typingLimits_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("preset"); // put there by the program first; null: none
    QTest::addColumn<QString>("keys");
    QTest::addColumn<bool>("replaceAll");
    QTest::addColumn<int>("backspaces");
    QTest::addColumn<QString>("paste");
    QTest::addColumn<QString>("expected");

    const QString none;
    const QString euro(QChar(0x20AC));
    QTest::newRow("name: sixth typed refused") << "ReaderName" << none << "ABCDEFG" << true << 0 << none << "ABCDE";
    QTest::newRow("name: full, one more") << "ReaderName" << none << "Y" << false << 0 << none << "XXXXX";
    QTest::newRow("TermChar: third refused") << "TermChar" << none << "123" << true << 0 << none << "12";
    QTest::newRow("HeadChar: third refused") << "HeadChar" << none << "ABC" << true << 0 << none << "AB";
    QTest::newRow("HandShake: third refused") << "HandShake" << none << "0d1" << true << 0 << none << "0d";
    QTest::newRow("long program text stands") << "ReaderName" << "LONGNAME1" << "Z" << false << 0 << none << "LONGNAME1";
    QTest::newRow("long program text shortens") << "ReaderName" << "LONGNAME1" << "" << false << 2 << none << "LONGNAM";
    QTest::newRow("paste too long") << "ReaderName" << none << "" << true << 0 << "ABCDEFGH" << "XXXXX";
    QTest::newRow("name: beyond 8 bits") << "ReaderName" << none << "A" + euro << true << 0 << none << "A";
    QTest::newRow("list: beyond 8 bits") << "Frequency" << none << "5" + euro + "6" << true << 0 << none << "56";
    QTest::newRow("list: pasted beyond 8 bits") << "Heartbeat" << none << "" << true << 0 << "x" + euro << "No Heartbeat";
    QTest::newRow("list: latin-1 typed") << "Frequency" << none << QString::fromLatin1("été") << true << 0 << none
                                         << QString::fromLatin1("été");
    QTest::newRow("list: no length limit") << "StringLength" << none << "forty characters of text, all of it kept"
                                           << true << 0 << none << "forty characters of text, all of it kept";
}

void TestReaderConfig::typingLimits()
{
    QFETCH(QString, field);
    QFETCH(QString, preset);
    QFETCH(QString, keys);
    QFETCH(bool, replaceAll);
    QFETCH(int, backspaces);
    QFETCH(QString, paste);
    QFETCH(QString, expected);

    TestDir dir;
    MainWindow w;
    ReaderConfigDialog *dlg = w.readerConfig(true);
    if (!preset.isNull())
        dlg->setFieldText(fieldNamed(field), preset);
    QLineEdit *edit = editOf(dlg->fieldControl(fieldNamed(field)));
    typeInto(edit, keys, replaceAll);
    for (int i = 0; i < backspaces; ++i)
        QTest::keyClick(edit, Qt::Key_Backspace);
    if (!paste.isNull()) {
        QApplication::clipboard()->setText(paste);
        edit->paste();
    }
    QCOMPARE(dlg->fieldText(fieldNamed(field)), expected);
}

void TestReaderConfig::sendConfig_data()
{
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QByteArray>("sent");

    QTest::newRow("Standard") << QStringList{} << QByteArray("C017$$$$SXXXXXC01R4B1\r");
    QTest::newRow("Enhanced") << QStringList{"Mode=Enhanced"} << QByteArray("C023$$$$SXXXXXC01R4B1LF5T0D\r");
    QTest::newRow("Track") << QStringList{"Mode=Track"} << QByteArray("C031$$$$SXXXXXC01R4B1LF5T0DH00X48M0\r");
    QTest::newRow("Universal") << QStringList{"Mode=Universal"} << QByteArray("C028UUUUSXXXXXC01R4B1LF5T0DH00A0\r");
    QTest::newRow("short name, 115200 2-wire")
        << QStringList{"ReaderName=ABC", "BaudRate=115200", "RS485Mode=2-wire"} << QByteArray("C015$$$$SABCC01R4BE\r");
    QTest::newRow("long name from a file, taken whole")
        << QStringList{"ReaderName=ABCDEFG", "Frequency=5"} << QByteArray("C018$$$$SABCDEFGC5R4B1\r");
}

void TestReaderConfig::sendConfig()
{
    QFETCH(QStringList, settings);
    QFETCH(QByteArray, sent);

    TestDir dir;
    MainWindow w;
    LoopbackReader reader;
    CONNECT_TCP(w, reader);
    ReaderConfigDialog *dlg = w.readerConfig(true);
    QTRY_COMPARE(reader.received(), QByteArray("L\r"));
    reader.clearReceived();

    apply(dlg, settings);
    dlg->SendConfig->click();
    // No serial port is open, so the serial-first rule falls back to TCP.
    QTRY_COMPARE(reader.received(), sent);
    QVERIFY(dlg->problemText().isEmpty());
}

void TestReaderConfig::sendConfigRefused_data()
{
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("marked");
    QTest::addColumn<QString>("mentioned");
    QTest::addColumn<QStringList>("fix");
    QTest::addColumn<QByteArray>("sentAfterFix");

    const QString euro(QChar(0x20AC));
    QTest::newRow("unmappable baud pair") << QStringList{"BaudRate=115200", "RS485Mode=3-wire"} << "BaudRate" << "3-wire"
                                          << QStringList{"RS485Mode=4-wire"} << QByteArray("C017$$$$SXXXXXC01R4BB\r");
    QTest::newRow("unknown read range") << QStringList{"ReadRange=95%"} << "ReadRange" << "95%"
                                        << QStringList{"ReadRange=90%"} << QByteArray("C017$$$$SXXXXXC01RIB1\r");
    QTest::newRow("mode in lower case") << QStringList{"Mode=track"} << "Mode" << "track"
                                        << QStringList{"Mode=Standard"} << QByteArray("C017$$$$SXXXXXC01R4B1\r");
    QTest::newRow("Universal, unknown heartbeat")
        << QStringList{"Mode=Universal", "Heartbeat=Sometimes"} << "Heartbeat" << "Sometimes"
        << QStringList{"Heartbeat=Heartbeat"} << QByteArray("C028UUUUSXXXXXC01R4B1LF5T0DH00A1\r");
    QTest::newRow("beyond 8 bits") << QStringList{"Frequency=5" + euro} << "Frequency" << "U+20AC"
                                   << QStringList{"Frequency=55"} << QByteArray("C017$$$$SXXXXXC55R4B1\r");
    QTest::newRow("string over 99") << QStringList{"ReaderName=" + QString(90, 'N')} << "ReaderName" << "99"
                                    << QStringList{"ReaderName=N"} << QByteArray("C013$$$$SNC01R4B1\r");
}

void TestReaderConfig::sendConfigRefused()
{
    QFETCH(QStringList, settings);
    QFETCH(QString, marked);
    QFETCH(QString, mentioned);
    QFETCH(QStringList, fix);
    QFETCH(QByteArray, sentAfterFix);

    TestDir dir;
    MainWindow w;
    LoopbackReader reader;
    CONNECT_TCP(w, reader);
    ReaderConfigDialog *dlg = w.readerConfig(true);
    QTRY_COMPARE(reader.received(), QByteArray("L\r"));
    reader.clearReceived();

    apply(dlg, settings);
    const ConfigFields before = with(settings);
    dlg->SendConfig->click();
    for (int k = 0; k < ConfigFieldCount; ++k) {
        QWidget *control = dlg->fieldControl(static_cast<ConfigField>(k));
        QCOMPARE(control->property("invalid").toBool(), control->objectName() == marked);
    }
    QVERIFY2(dlg->problemText().contains(mentioned), qPrintable(dlg->problemText()));
    QVERIFY(!dlg->problemText().contains(QLatin1Char('\n')));
    QTest::qWait(150);
    QCOMPARE(reader.received(), QByteArray());
    if (!settings.join(QString()).contains(QChar(0x20AC)))
        compareFields(dlg, before); // a refusal changes no text

    // Put right, the next press sends and the mark goes.
    apply(dlg, fix);
    dlg->SendConfig->click();
    QTRY_COMPARE(reader.received(), sentAfterFix);
    QVERIFY(dlg->problemText().isEmpty());
    QVERIFY(!dlg->fieldControl(fieldNamed(marked))->property("invalid").toBool());
}

void TestReaderConfig::editSettlesTheMark()
{
    TestDir dir;
    MainWindow w;
    ReaderConfigDialog *dlg = w.readerConfig(true);
    apply(dlg, {"ReadRange=95%"});
    dlg->SendConfig->click();
    QVERIFY(dlg->ReadRange->property("invalid").toBool());
    // Another field's edit is not about the message.
    typeInto(dlg->ReaderName, "AB");
    QVERIFY(dlg->ReadRange->property("invalid").toBool());
    QVERIFY(!dlg->problemText().isEmpty());
    typeInto(dlg->ReadRange->lineEdit(), "90%");
    QVERIFY(!dlg->ReadRange->property("invalid").toBool());
    QVERIFY(dlg->problemText().isEmpty());
}

void TestReaderConfig::writeFile_data()
{
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("starting texts") << QStringList{} << "XXXXX.zq" << StartingFile;
    QTest::newRow("hidden fields written")
        << QStringList{"TermChar=7F", "HeadChar=02", "StringLength=V2", "HandShake=31", "Heartbeat=Heartbeat",
                       "TagsToRead=4"}
        << "XXXXX.zq"
        << QByteArray("XXXXX\r\nStandard\r\n9600\r\n4-wire\r\nFrequency hopping default sub-bands\r\n"
                      "7F\r\n02\r\nV2\r\n31\r\nHeartbeat\r\n4\r\nRange 4(100%)\r\n");
    QTest::newRow("empty name") << QStringList{"ReaderName="} << ".zq" << StartingFile.mid(5);
    QTest::newRow("long name whole") << QStringList{"ReaderName=READER7"} << "READER7.zq"
                                     << "READER7" + StartingFile.mid(5);
    QTest::newRow("latin-1 and empty texts")
        << QStringList{"Frequency=Caf" + QString(QChar(0xE9)), "Heartbeat=", "ReadRange="} << "XXXXX.zq"
        << QByteArray("XXXXX\r\nStandard\r\n9600\r\n4-wire\r\nCaf\xE9\r\n0D\r\n00\r\nF5\r\n48\r\n\r\n"
                      "Read Always\r\n\r\n");
}

void TestReaderConfig::writeFile()
{
    QFETCH(QStringList, settings);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);

    TestDir dir;
    MainWindow w;
    ReaderConfigDialog *dlg = w.readerConfig(true);
    apply(dlg, settings);
    dlg->WriteToFile->click();
    QVERIFY(dlg->TmrWait.isActive());
    QVERIFY(!QFile::exists(dir.filePath(fileName))); // nothing touched before the tick
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(fileName)), 3000);
    QCOMPARE(dir.read(fileName), content);
    QVERIFY(!dlg->TmrWait.isActive());
    QCOMPARE(listed(dlg), QStringList{fileName});
    QVERIFY(dlg->problemText().isEmpty());
}

void TestReaderConfig::oldFileKeptUntilTheTick()
{
    TestDir dir;
    QVERIFY(dir.write("XXXXX.zq", "OLD\r\n"));
    MainWindow w;
    ReaderConfigDialog *dlg = w.readerConfig(true);
    QCOMPARE(listed(dlg), QStringList{"XXXXX.zq"});
    dlg->WriteToFile->click();
    // The stored configuration stays whole until the new one replaces it.
    QCOMPARE(dir.read("XXXXX.zq"), QByteArray("OLD\r\n"));
    // An edit within the second is in the file: the texts are taken at the tick.
    apply(dlg, {"Frequency=44"});
    QTRY_VERIFY_WITH_TIMEOUT(dir.read("XXXXX.zq") != "OLD\r\n", 3000);
    QCOMPARE(dir.read("XXXXX.zq"), QByteArray(StartingFile).replace("Frequency hopping default sub-bands", "44"));
}

void TestReaderConfig::secondClickWithinTheSecond()
{
    TestDir dir;
    MainWindow w;
    ReaderConfigDialog *dlg = w.readerConfig(true);
    dlg->WriteToFile->click();
    QTest::qWait(300);
    QVERIFY(!QFile::exists(dir.filePath("XXXXX.zq")));
    apply(dlg, {"BaudRate=4800"});
    dlg->WriteToFile->click();
    QVERIFY(dlg->TmrWait.isActive());
    apply(dlg, {"RS485Mode=2-wire"});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath("XXXXX.zq")), 3000);
    QCOMPARE(dir.read("XXXXX.zq"), QByteArray(StartingFile).replace("9600", "4800").replace("4-wire", "2-wire"));
    QVERIFY(!dlg->TmrWait.isActive());
    QCOMPARE(listed(dlg), QStringList{"XXXXX.zq"});
}

void TestReaderConfig::readerNameChangedWithinTheSecond_data()
{
    QTest::addColumn<bool>("clickAgain");
    QTest::newRow("renamed") << false;
    QTest::newRow("renamed and clicked again") << true;
}

void TestReaderConfig::readerNameChangedWithinTheSecond()
{
    QFETCH(bool, clickAgain);
    TestDir dir;
    MainWindow w;
    ReaderConfigDialog *dlg = w.readerConfig(true);
    apply(dlg, {"ReaderName=AAAAA"});
    dlg->WriteToFile->click();
    typeInto(dlg->ReaderName, "BBBBB");
    const QByteArray content = "BBBBB" + StartingFile.mid(5);
    if (clickAgain) {
        // The earlier click is answered at once, the new one at its tick.
        dlg->WriteToFile->click();
        QCOMPARE(dir.read("AAAAA.zq"), content);
        QVERIFY(!QFile::exists(dir.filePath("BBBBB.zq")));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath("BBBBB.zq")), 3000);
        QCOMPARE(dir.read("BBBBB.zq"), content);
        QCOMPARE(listed(dlg), (QStringList{"AAAAA.zq", "BBBBB.zq"}));
    } else {
        // The click's file, with the texts of the tick; none for the new name.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath("AAAAA.zq")), 3000);
        QCOMPARE(dir.read("AAAAA.zq"), content);
        QTest::qWait(100);
        QCOMPARE(listed(dlg), QStringList{"AAAAA.zq"});
    }
}

void TestReaderConfig::closingBeforeTheTickWritesAtOnce()
{
    TestDir dir;
    MainWindow w;
    ReaderConfigDialog *dlg = w.readerConfig(true);
    dlg->WriteToFile->click();
    apply(dlg, {"TermChar=0A"});
    QVERIFY(dlg->close());
    QCOMPARE(dir.read("XXXXX.zq"), QByteArray(StartingFile).replace("0D", "0A"));
    QTRY_VERIFY(!w.existingReaderConfig());
}

void TestReaderConfig::fileNameRefused_data()
{
    QTest::addColumn<QString>("readerName");
    QTest::newRow("parent path") << "../x";
    QTest::newRow("sub path") << "a/b";
    QTest::newRow("backslash") << "a\\b";
    QTest::newRow("dots") << "..";
    QTest::newRow("tab") << "x\ty";
    QTest::newRow("beyond 8 bits") << "A" + QString(QChar(0x20AC));
}

void TestReaderConfig::fileNameRefused()
{
    QFETCH(QString, readerName);

    TestDir dir;
    // The dialog works one level down, so a climb to the parent would show.
    QVERIFY(QDir(dir.path()).mkpath("work/a"));
    QDir::setCurrent(dir.filePath("work"));
    MainWindow w;
    ReaderConfigDialog *dlg = w.readerConfig(true);
    dlg->setFieldText(ConfigField::ReaderName, readerName);
    dlg->WriteToFile->click();
    QVERIFY(!dlg->TmrWait.isActive());
    QVERIFY(!dlg->problemText().isEmpty());
    QVERIFY(dlg->ReaderName->property("invalid").toBool());
    QVERIFY(dlg->close());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"work"});
    QCOMPARE(QDir(dir.filePath("work")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"a"});
    QVERIFY(QDir(dir.filePath("work/a")).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

void TestReaderConfig::writeFails_data()
{
    QTest::addColumn<bool>("readOnlyDirectory");
    QTest::newRow("target is a directory") << false;
    QTest::newRow("read-only directory") << true;
}

void TestReaderConfig::writeFails()
{
    QFETCH(bool, readOnlyDirectory);
    if (readOnlyDirectory && ::geteuid() == 0)
        QSKIP("root writes into read-only directories; the directory row covers the failure");

    TestDir dir;
    if (readOnlyDirectory) {
        QVERIFY(QDir(dir.path()).mkdir("ro"));
        QDir::setCurrent(dir.filePath("ro"));
    } else {
        QVERIFY(QDir(dir.path()).mkdir("XXXXX.zq"));
    }
    MainWindow w;
    ReaderConfigDialog *dlg = w.readerConfig(true);
    if (readOnlyDirectory)
        QVERIFY(QFile::setPermissions(dir.filePath("ro"), QFile::ReadOwner | QFile::ExeOwner));
    apply(dlg, {"Frequency=12"});
    dlg->WriteToFile->click();
    QTRY_VERIFY_WITH_TIMEOUT(!dlg->problemText().isEmpty(), 3000);
    QVERIFY2(dlg->problemText().contains("XXXXX.zq"), qPrintable(dlg->problemText()));
    QVERIFY(!dlg->TmrWait.isActive());
    compareFields(dlg, with({"Frequency=12"}));
    QVERIFY(QFileInfo(dir.filePath("XXXXX.zq")).isDir() || !readOnlyDirectory);
    QVERIFY(listed(dlg).isEmpty());
    if (readOnlyDirectory)
        QFile::setPermissions(dir.filePath("ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestReaderConfig::loadFile_data()
{
    QTest::addColumn<QString>("picked"); // the mode picked before the load
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<ConfigFields>("expected");
    QTest::addColumn<QString>("visible");
    QTest::addColumn<bool>("refused");

    QTest::newRow("three lines") << "Universal" << QByteArray("ABCDE\r\nEnhanced\r\n19200\r\n")
                                 << with({"ReaderName=ABCDE", "Mode=Enhanced", "BaudRate=19200"}) << ruleOf("Enhanced") << false;
    const QByteArray track = "TRK\r\nTrack\r\n4800\r\n2-wire\r\n07\r\n1B\r\n02\r\nV4\r\n30\r\nHeartbeat\r\n"
                             "5\r\n60%\r\n";
    const ConfigFields trackFields = with({"ReaderName=TRK", "Mode=Track", "BaudRate=4800", "RS485Mode=2-wire",
                                           "Frequency=07", "TermChar=1B", "HeadChar=02", "StringLength=V4",
                                           "HandShake=30", "Heartbeat=Heartbeat", "TagsToRead=5", "ReadRange=60%"});
    QTest::newRow("twelve lines, Track") << "Standard" << track << trackFields << ruleOf("Track") << false;
    QTest::newRow("extra lines ignored") << "Standard" << track + "more\r\nand more\r\n" << trackFields
                                         << ruleOf("Track") << false;
    QTest::newRow("LF line ends") << "Standard" << QByteArray(track).replace("\r\n", "\n") << trackFields
                                  << ruleOf("Track") << false;
    QTest::newRow("no mode name") << "Universal" << QByteArray("XXXXX\r\ntrack\r\n")
                                  << with({"Mode=track"}) << ruleOf("Universal") << false;
    QTest::newRow("long texts whole") << "Standard" << QByteArray("LONGREADER\r\nStandard\r\n9600\r\n4-wire\r\n"
                                                                  "x\r\n0D0A\r\n")
                                      << with({"ReaderName=LONGREADER", "Frequency=x", "TermChar=0D0A"})
                                      << ruleOf("Standard") << false;
    QTest::newRow("empty lines empty fields") << "Enhanced" << QByteArray("\r\n\r\n")
                                              << with({"ReaderName=", "Mode="}) << ruleOf("Enhanced") << false;
    // Not configuration files: nothing of them goes into the fields.
    QTest::newRow("over 64 KiB") << "Enhanced" << "ABCDE\r\nTrack\r\n" + QByteArray(64 * 1024, '\n')
                                 << with({"Mode=Enhanced"}) << ruleOf("Enhanced") << true;
    QTest::newRow("line over 4 KiB") << "Enhanced" << "ABCDE\r\nTrack\r\n" + QByteArray(4097, 'x') + "\r\n"
                                     << with({"Mode=Enhanced"}) << ruleOf("Enhanced") << true;
}

void TestReaderConfig::loadFile()
{
    QFETCH(QString, picked);
    QFETCH(QByteArray, content);
    QFETCH(ConfigFields, expected);
    QFETCH(QString, visible);
    QFETCH(bool, refused);

    TestDir dir;
    QVERIFY(dir.write("cfg.zq", content));
    MainWindow w;
    LoopbackReader reader;
    CONNECT_TCP(w, reader);
    ReaderConfigDialog *dlg = w.readerConfig(true);
    QTRY_COMPARE(reader.received(), QByteArray("L\r"));
    pick(dlg->Mode, picked);

    selectFile(dlg, "cfg.zq");
    dlg->LoadFile->click();
    compareFields(dlg, expected);
    QCOMPARE(visibility(dlg), visible);
    QCOMPARE(dlg->problemText().contains("cfg.zq"), refused);
    // Loading sends nothing.
    QTest::qWait(100);
    QCOMPARE(reader.received(), QByteArray("L\r"));
}

void TestReaderConfig::loadVanishedFile()
{
    TestDir dir;
    QVERIFY(dir.write("gone.zq", "ABCDE\r\nTrack\r\n"));
    QVERIFY(dir.write("kept.zq", "KEPT\r\n"));
    MainWindow w;
    ReaderConfigDialog *dlg = w.readerConfig(true);
    QCOMPARE(listed(dlg), (QStringList{"gone.zq", "kept.zq"}));
    selectFile(dlg, "gone.zq");
    QVERIFY(QFile::remove(dir.filePath("gone.zq")));
    dlg->LoadFile->click();
    compareFields(dlg, ConfigFields{});
    QVERIFY2(dlg->problemText().contains("gone.zq"), qPrintable(dlg->problemText()));
    QCOMPARE(listed(dlg), QStringList{"kept.zq"});
}

void TestReaderConfig::loadWithNothingSelected()
{
    TestDir dir;
    QVERIFY(dir.write("cfg.zq", "ABCDE\r\n"));
    MainWindow w;
    ReaderConfigDialog *dlg = w.readerConfig(true);
    typeInto(dlg->Mode->lineEdit(), "Track");
    QCOMPARE(visibility(dlg), ruleOf("Standard"));
    dlg->LoadFile->click();
    // Nothing read, but the rule is applied to the typed mode.
    compareFields(dlg, with({"Mode=Track"}));
    QCOMPARE(visibility(dlg), ruleOf("Track"));
    QVERIFY(dlg->problemText().isEmpty());
}

QTEST_MAIN(TestReaderConfig)
#include "tst_readerconfig.moc"
