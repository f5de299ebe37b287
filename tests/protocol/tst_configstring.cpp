// The configuration codec against the reader's tables typed by hand in
// tests/data/config-tables.txt: every code both ways, every mode's layout,
// whole strings and replies. No expected value here comes from the code's own
// tables.
#include "protocol/answerfile.h"
#include "protocol/configstring.h"

#include <QRandomGenerator>
#include <QTest>

using namespace zanto;
using F = ConfigField;
using Texts = QList<QPair<ConfigField, QByteArray>>;

Q_DECLARE_METATYPE(zanto::ConfigFields)
Q_DECLARE_METATYPE(zanto::ConfigField)

namespace {

// The control names as the dialog calls its fields, in file order.
const QList<QPair<QByteArray, ConfigField>> Controls = {
    {"ReaderName", F::ReaderName}, {"Mode", F::Mode},           {"BaudRate", F::BaudRate},
    {"RS485Mode", F::RS485Mode},   {"Frequency", F::Frequency}, {"TermChar", F::TermChar},
    {"HeadChar", F::HeadChar},     {"StringLength", F::StringLength}, {"HandShake", F::HandShake},
    {"Heartbeat", F::Heartbeat},   {"TagsToRead", F::TagsToRead}, {"ReadRange", F::ReadRange},
};

ConfigField control(const QByteArray &name, int line)
{
    for (const auto &[controlName, field] : Controls) {
        if (controlName == name)
            return field;
    }
    qFatal("answer line %d: no control %s", line, name.constData());
}

// A text no reply can produce: a field still holding it was not touched.
const QByteArray Untouched = "\x01untouched";

ConfigFields untouched()
{
    ConfigFields f;
    for (const auto &[name, field] : Controls)
        f[field] = Untouched;
    return f;
}

struct ModeAnswer {
    QByteArray name, prefix, digits, string;
    qsizetype length = 0, replyLength = 0;
    QList<ConfigField> carried;
};

// The whole answer file, read once.
struct Answers {
    QList<AnswerRecord> records;
    ConfigFields starting;
    QList<QPair<ConfigField, QByteArray>> startCodes;
    QList<ModeAnswer> modes;

    QByteArray startCode(ConfigField field) const
    {
        for (const auto &[f, code] : startCodes) {
            if (f == field)
                return code;
        }
        return {};
    }
    ConfigFields with(const QByteArray &mode, const Texts &texts = {}) const
    {
        ConfigFields f = starting;
        f[F::Mode] = mode;
        for (const auto &[field, text] : texts)
            f[field] = text;
        return f;
    }
    const ModeAnswer &mode(const QByteArray &name) const
    {
        for (const ModeAnswer &m : modes) {
            if (m.name == name)
                return m;
        }
        qFatal("no mode %s in the answers", name.constData());
    }
};

const Answers &answers()
{
    static const Answers all = [] {
        Answers a;
        a.records = readAnswerFile("config-tables.txt");
        for (const AnswerRecord &r : a.records) {
            if (r.kind() == "field") {
                a.starting[control(r.column(1), r.line)] = r.column(3);
                a.startCodes.append({control(r.column(1), r.line), r.column(5)});
            } else if (r.kind() == "mode") {
                a.modes.append({r.column(1), r.column(2), r.column(4), r.column(6), r.column(3).toInt(),
                                r.column(5).toInt(), {}});
            } else if (r.kind() == "carries") {
                // The mode's own row comes first.
                ModeAnswer &m = const_cast<ModeAnswer &>(a.mode(r.column(1)));
                for (const QByteArray &name : r.column(2).split(' '))
                    m.carried.append(control(name, r.line));
            }
        }
        return a;
    }();
    return all;
}

// "Name=text" columns from the given index on.
Texts textsFrom(const AnswerRecord &r, qsizetype from)
{
    Texts texts;
    for (qsizetype i = from; i < r.columns.size(); ++i) {
        const qsizetype eq = r.columns[i].indexOf('=');
        if (eq < 0)
            qFatal("answer line %d: %s is not Name=text", r.line, r.columns[i].constData());
        texts.append({control(r.columns[i].left(eq), r.line), unescaped(r.columns[i].mid(eq + 1), r.line)});
    }
    return texts;
}

QByteArray rowName(const AnswerRecord &r, const QByteArray &what)
{
    return "line " + QByteArray::number(r.line) + ": " + what;
}

} // namespace

class TestConfigString : public QObject
{
    Q_OBJECT

private slots:
    void fields();
    void modes();
    void codes_data();
    void codes();
    void strings_data();
    void strings();
    void commands();
    void refusals_data();
    void refusals();
    void roundTrip();
    void randomReplies();
};

// Names, captions, starting texts, typing limits and lists of the twelve
// fields, and the texts a fresh set starts with.
void TestConfigString::fields()
{
    int index = 0;
    for (const AnswerRecord &r : answers().records) {
        if (r.kind() == "field") {
            const FieldSpec &spec = fieldSpec(ConfigField(index++));
            QCOMPARE(spec.field, control(r.column(1), r.line));
            QCOMPARE(QByteArray(spec.controlName), r.column(1));
            QCOMPARE(QByteArray(fieldCaption(spec.field)), r.column(2));
            QCOMPARE(QByteArray(fieldStartingText(spec.field)), r.column(3));
            QCOMPARE(fieldTypingLimit(spec.field), r.column(4) == "-" ? NoTypingLimit : r.column(4).toInt());
        } else if (r.kind() == "entries") {
            QCOMPARE(fieldEntries(control(r.column(1), r.line)), r.columns.mid(2));
        }
    }
    QCOMPARE(index, ConfigFieldCount);
    QCOMPARE(ConfigFields{}, answers().starting);
}

// Each mode's name, prefix, lengths, the string of the starting texts, and
// the fields it carries (the dialog's mode rule).
void TestConfigString::modes()
{
    QCOMPARE(answers().modes.size(), ReaderModeCount);
    for (const ModeAnswer &m : answers().modes) {
        const std::optional<ReaderMode> mode = modeFromName(m.name);
        QVERIFY2(mode, m.name.constData());
        QCOMPARE(QByteArray(modeName(*mode)), m.name);
        QCOMPARE(QByteArray(modeLayout(*mode).prefix.data(), 4), m.prefix);
        QCOMPARE(configStringLength(*mode), m.length);
        QCOMPARE(replyShape(*mode).length, m.replyLength);
        QCOMPARE(replyShape(*mode).digits, m.digits);
        QCOMPARE(BuildConfigString(answers().with(m.name)).value_or("-"), m.string);
        for (const auto &[name, field] : Controls) {
            QVERIFY2(modeCarries(*mode, field) == m.carried.contains(field), (m.name + " " + name).constData());
            // Where the starting code stands in the starting string.
            const bool everywhere = std::all_of(answers().modes.begin(), answers().modes.end(),
                                                [field](const ModeAnswer &other) { return other.carried.contains(field); });
            QCOMPARE(isModeDependent(field), !everywhere);
        }
    }
    QVERIFY(!modeFromName("track") && !modeFromName("Standard "));
}

// Every code of every table, in every mode that carries its field: the text
// builds the mode's starting string with that code in place of the starting
// code, and a reply carrying it shows the text (or leaves the field alone).
void TestConfigString::codes_data()
{
    QTest::addColumn<ConfigFields>("typed"); // mode empty: a code the tool never writes
    QTest::addColumn<QByteArray>("string");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<Texts>("shown"); // Untouched: left as it was

    for (const AnswerRecord &r : answers().records) {
        QByteArray code;
        Texts texts;
        if (r.kind() == "code" || r.kind() == "readonly") {
            code = r.column(2);
            texts = {{control(r.column(1), r.line), r.column(3)}};
        } else if (r.kind() == "baud") {
            code = r.column(1);
            texts = {{F::BaudRate, r.column(2)}, {F::RS485Mode, r.column(3)}};
        } else if (r.kind() == "unknown") {
            code = r.column(2);
            const ConfigField field = control(r.column(1), r.line);
            texts = {{field, Untouched}};
            if (field == F::BaudRate)
                texts.append({F::RS485Mode, Untouched});
        } else {
            continue;
        }
        const ConfigField field = texts.first().first;
        for (const ModeAnswer &m : answers().modes) {
            if (!m.carried.contains(field))
                continue;
            QByteArray string = m.string;
            const QByteArray start = answers().startCode(field);
            QVERIFY2(string.count(start) == 1, rowName(r, m.name + " string holds " + start).constData());
            string.replace(start, code);
            ConfigFields typed;
            typed[F::Mode].clear();
            if (r.kind() == "code" || r.kind() == "baud")
                typed = answers().with(m.name, texts);
            QTest::newRow(rowName(r, code + " in " + m.name).constData())
                << typed << string << m.digits + string + '\r' << texts;
        }
    }
}

void TestConfigString::codes()
{
    QFETCH(ConfigFields, typed);
    QFETCH(QByteArray, string);
    QFETCH(QByteArray, reply);
    QFETCH(Texts, shown);

    if (!typed[F::Mode].isEmpty()) {
        const auto built = BuildConfigString(typed);
        QVERIFY2(built, qPrintable(built ? QString() : built.error().text));
        QCOMPARE(*built, string);
    }
    const std::optional<DecodedConfig> decoded = decodeConfigReply(reply);
    QVERIFY(decoded);
    ConfigFields fields = untouched();
    applyDecoded(*decoded, fields);
    for (const auto &[field, text] : shown)
        QCOMPARE(fields[field], text);
    // The rest of the reply is read all the same.
    QCOMPARE(fields[F::ReaderName], QByteArray("XXXXX"));
}

// Whole write commands and replies, the reader's examples and edge cases.
void TestConfigString::strings_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QByteArray>("bytes"); // command or reply
    QTest::addColumn<ConfigFields>("fields");
    QTest::addColumn<QByteArray>("resent");

    for (const AnswerRecord &r : answers().records) {
        if (r.kind() == "encode") {
            const Texts texts = textsFrom(r, 2);
            QByteArray mode = "Standard";
            for (const auto &[field, text] : texts) {
                if (field == F::Mode)
                    mode = text;
            }
            QTest::newRow(rowName(r, "encode").constData())
                << r.kind() << unescaped(r.column(1), r.line) << answers().with(mode, texts) << QByteArray();
        } else if (r.kind() == "decode") {
            ConfigFields shown = untouched();
            for (const auto &[field, text] : textsFrom(r, 2))
                shown[field] = text;
            QTest::newRow(rowName(r, "decode").constData())
                << r.kind() << unescaped(r.column(1), r.line) << shown << QByteArray();
        } else if (r.kind() == "ignored" || r.kind() == "resend") {
            QTest::newRow(rowName(r, r.kind()).constData())
                << r.kind() << unescaped(r.column(1), r.line) << ConfigFields{}
                << (r.kind() == "resend" ? r.column(2) : QByteArray());
        }
    }
}

void TestConfigString::strings()
{
    QFETCH(QByteArray, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(ConfigFields, fields);
    QFETCH(QByteArray, resent);

    if (kind == "encode") {
        const auto built = BuildConfigString(fields);
        QVERIFY2(built, qPrintable(built ? QString() : built.error().text));
        QCOMPARE(buildConfigWriteCommand(*built).value_or("-"), bytes);
        QCOMPARE(configWriteCommand(fields).value_or("-"), bytes);
        return;
    }
    const std::optional<DecodedConfig> decoded = decodeConfigReply(bytes);
    if (kind == "ignored") {
        QVERIFY(!decoded);
        return;
    }
    QVERIFY(decoded);
    if (kind == "resend") {
        ConfigFields shown = answers().starting;
        applyDecoded(*decoded, shown);
        QCOMPARE(BuildConfigString(shown).value_or("-"), resent);
        return;
    }
    ConfigFields shown = untouched();
    applyDecoded(*decoded, shown);
    for (const auto &[name, field] : Controls)
        QVERIFY2(shown[field] == fields[field], name.constData());
}

void TestConfigString::commands()
{
    QCOMPARE(configReadRequest(), "L");
    QCOMPARE(buildConfigWriteCommand("").value_or("-"), "C000");
    QCOMPARE(buildConfigWriteCommand("123456789").value_or("-"), "C009123456789");
    QVERIFY(!buildConfigWriteCommand(QByteArray(100, 'x')));
    QCOMPARE(buildConfigReply("$$$$SXXXXXC01R4B1"), "0017$$$$SXXXXXC01R4B1\r");
    QCOMPARE(buildConfigReply("", '\0'), QByteArray("0000\0", 5));
}

// Texts the tool refuses to send, and the longest string it still sends.
void TestConfigString::refusals_data()
{
    QTest::addColumn<ConfigFields>("fields");
    QTest::addColumn<QByteArray>("command");   // empty: refused
    QTest::addColumn<ConfigField>("badField");
    QTest::addColumn<QStringList>("mentions"); // parts of the one-line message

    const auto with = [](const QByteArray &mode, const Texts &texts = {}) { return answers().with(mode, texts); };
    QTest::newRow("99 characters") << with("Standard", {{F::ReaderName, QByteArray(87, 'n')}})
                                   << "C099$$$$S" + QByteArray(87, 'n') + "C01R4B1" << F::Mode << QStringList();
    const auto no = [](const char *name, const ConfigFields &f, ConfigField bad, const QStringList &mentions) {
        QTest::newRow(name) << f << QByteArray() << bad << mentions;
    };
    no("unknown baud", with("Standard", {{F::BaudRate, "1234"}}), F::BaudRate,
       {"Baud Rate \"1234\" with RS485 Port Mode \"4-wire\" has no code"});
    no("unknown port mode", with("Track", {{F::RS485Mode, "3-wire"}}), F::BaudRate, {"\"9600\"", "\"3-wire\""});
    no("port mode with blank", with("Track", {{F::RS485Mode, "4-wire "}}), F::BaudRate, {"\"4-wire \""});
    no("unknown read range", with("Enhanced", {{F::ReadRange, "Range 5"}}), F::ReadRange,
       {"Read Range \"Range 5\" has no code"});
    no("read range with CR", with("Enhanced", {{F::ReadRange, "Range\r4"}}), F::ReadRange, {"\"Range\\x0D4\""});
    // A line break would end the write command early: refused in every field
    // the mode carries that is copied as it stands, also when a reply put it
    // there, and not looked at in a field the mode leaves out.
    no("CR in the name", with("Standard", {{F::ReaderName, "AB\rCD"}}), F::ReaderName, {"ReaderName", "line break"});
    no("LF in the end character", with("Enhanced", {{F::TermChar, "0\n"}}), F::TermChar, {"line break"});
    no("CR LF in a frequency", with("Track", {{F::Frequency, "5\r\n6"}}), F::Frequency, {"line break"});
    ConfigFields replied = with("Standard");
    applyDecoded(decodeConfigReply("0017$$$$SAB\rCDC01R4B1\r").value(), replied);
    no("CR a reply put in the name", replied, F::ReaderName, {"line break"});
    QTest::newRow("CR in the handshake, which Standard leaves out")
        << with("Standard", {{F::HandShake, "\r"}}) << QByteArray("C017$$$$SXXXXXC01R4B1") << F::Mode << QStringList();
    no("read range before baud", with("Standard", {{F::ReadRange, "x"}, {F::BaudRate, "1"}}), F::ReadRange, {});
    no("heartbeat in Universal", with("Universal", {{F::Heartbeat, "heartbeat"}}), F::Heartbeat,
       {"Heartbeat", "\"heartbeat\""});
    no("mode track", with("track"), F::Mode, {"Mode \"track\" is not one of Standard, Enhanced, Track, Universal"});
    no("100 characters by the name", with("Standard", {{F::ReaderName, QByteArray(88, 'n')}}), F::ReaderName,
       {"100", "ReaderName"});
    no("long frequency", with("Track", {{F::ReaderName, QByteArray(20, 'n')}, {F::Frequency, QByteArray(60, '5')}}),
       F::Frequency, {"Frequency", "..."});
    no("longer tags", with("Track", {{F::Frequency, QByteArray(60, '5')}, {F::TagsToRead, QByteArray(61, '7')}}),
       F::TagsToRead, {"Tags to read"});
}

void TestConfigString::refusals()
{
    QFETCH(ConfigFields, fields);
    QFETCH(QByteArray, command);
    QFETCH(ConfigField, badField);
    QFETCH(QStringList, mentions);

    const auto result = BuildConfigString(fields);
    const auto sent = configWriteCommand(fields);
    if (!command.isEmpty()) {
        QVERIFY2(result, qPrintable(result ? QString() : result.error().text));
        QCOMPARE(sent.value_or("-"), command);
        return;
    }
    QVERIFY(!result && !sent);
    QCOMPARE(result.error().field, std::optional<ConfigField>(badField));
    QCOMPARE(sent.error().field, std::optional<ConfigField>(badField));
    // The send's one message is the build's, behind what was not done.
    QCOMPARE(sent.error().text, "Not sent: " + result.error().text);
    const QString problem = result.error().text;
    QVERIFY2(!problem.contains('\n') && !problem.contains('\r'), qPrintable(problem));
    for (const QString &part : mentions)
        QVERIFY2(problem.contains(part), qPrintable(problem + " lacks " + part));
}

// Every entry of every list and every baud pair of the answers, in every mode
// that carries it: built, wrapped as the reader would ("digits", string, CR)
// and read back onto a fresh dialog, it shows the very texts it started with.
void TestConfigString::roundTrip()
{
    // A copied text set alongside each list, so its place is checked too.
    const QList<QPair<ConfigField, QPair<ConfigField, QByteArray>>> lists = {
        {F::ReadRange, {F::ReaderName, "R-1 2"}},  {F::Frequency, {F::ReaderName, "ab\xFF" "cd"}},
        {F::StringLength, {F::TermChar, "a9"}},    {F::Heartbeat, {F::HeadChar, "Ff"}},
        {F::TagsToRead, {F::HandShake, "1b"}},
    };
    QList<QPair<QByteArray, Texts>> cases; // mode, texts
    for (const ModeAnswer &m : answers().modes) {
        for (const AnswerRecord &r : answers().records) {
            if (r.kind() == "baud")
                cases.append({m.name, {{F::BaudRate, r.column(2)}, {F::RS485Mode, r.column(3)}}});
            if (r.kind() != "entries")
                continue;
            for (const auto &[field, other] : lists) {
                if (control(r.column(1), r.line) != field || !m.carried.contains(field))
                    continue;
                for (const QByteArray &entry : r.columns.mid(2))
                    cases.append({m.name, {{field, entry}, other}});
            }
        }
    }
    QCOMPARE(cases.size(), 4 * 12 + 4 * 14 + 4 * 97 + 3 * 83 + 1 * 3 + 1 * 10);
    for (const auto &[mode, texts] : cases) {
        const ConfigFields fields = answers().with(mode, texts);
        const auto built = BuildConfigString(fields);
        QVERIFY2(built, qPrintable(built ? QString() : built.error().text));
        QVERIFY(!built->contains("C02"));
        ConfigFields shown;
        applyDecoded(decodeConfigReply(answers().mode(mode).digits + *built + '\r').value(), shown);
        QVERIFY2(shown == fields, built->constData());
    }
}

// Random bursts of every length up to 64, half of them under valid length digits
// so garbage reaches the decoding and not only the recognition.
void TestConfigString::randomReplies()
{
    QRandomGenerator random(0x5eed);
    const QByteArray digits[] = {"0017", "0023", "0031", "0028"};
    const QList<qsizetype> lengths{22, 28, 36, 33};
    for (int round = 0; round < 65 * 400; ++round) {
        QByteArray text(round % 65, Qt::Uninitialized);
        for (char &c : text)
            c = char(random.bounded(256));
        if (round % 2 && text.size() >= 4)
            text.replace(0, 4, digits[random.bounded(4)]);
        const int at = int(lengths.indexOf(text.size()));
        const int shape = at >= 0 && text.startsWith(digits[at]) ? at : -1;
        const std::optional<DecodedConfig> decoded = decodeConfigReply(text);
        QCOMPARE(decoded ? int(decoded->mode) : -1, shape);
        if (!decoded)
            continue;
        const DecodedConfig &d = *decoded;
        QCOMPARE(d[F::ReaderName].value(), text.mid(9, 5));
        QCOMPARE(d[F::BaudRate].has_value(), d[F::RS485Mode].has_value());
        QCOMPARE(d[F::TermChar].value_or("-"), shape ? text.mid(25, 2) : "-");
        QCOMPARE(d[F::HandShake].value_or("-"), shape == 2 ? text.mid(31, 2) : "-");
        QVERIFY((shape == 2 || !d[F::TagsToRead]) && (shape == 3 || !d[F::Heartbeat]) && !d[F::Mode]);
    }
}

QTEST_GUILESS_MAIN(TestConfigString)
#include "tst_configstring.moc"
