#include "protocol/configstring.h"

#include <QRandomGenerator>
#include <QTest>

using namespace zanto;
using F = ConfigField;
using Texts = QList<QPair<ConfigField, QByteArray>>;

Q_DECLARE_METATYPE(zanto::ConfigFields)
Q_DECLARE_METATYPE(zanto::ConfigField)

namespace {

constexpr ConfigField AllFields[] = {F::ReaderName, F::Mode,         F::BaudRate,  F::RS485Mode,
                                     F::Frequency,  F::TermChar,     F::HeadChar,  F::StringLength,
                                     F::HandShake,  F::Heartbeat,    F::TagsToRead, F::ReadRange};

ConfigFields with(const QByteArray &mode, const Texts &texts = {})
{
    ConfigFields f;
    f.mode = mode;
    for (const auto &[field, text] : texts)
        fieldText(f, field) = text;
    return f;
}

// Mode, then every field a reply can set in reply order, "~" for one it leaves
// alone; trailing "~" dropped.
QByteArray render(const DecodedConfig &d)
{
    QByteArrayList parts{modeName(d.mode)};
    for (const auto &v : {d.readerName, d.frequency, d.readRange, d.baudRate, d.rs485Mode, d.stringLength,
                          d.termChar, d.headChar, d.handShake, d.tagsToRead, d.heartbeat})
        parts << v.value_or("~");
    while (parts.last() == "~")
        parts.removeLast();
    return parts.join('|');
}

} // namespace

class TestConfigString : public QObject
{
    Q_OBJECT

private slots:
    void entriesAndNames();
    void commands();
    void encode_data();
    void encode();
    void decode_data();
    void decode();
    void roundTrip();
    void randomReplies();
};

void TestConfigString::entriesAndNames()
{
    QCOMPARE(modeEntries().join(','), "Standard,Enhanced,Track,Universal");
    QCOMPARE(baudRateEntries().join(','), "4800,9600,19200,38400,57600,115200");
    QCOMPARE(rs485ModeEntries().join(','), "2-wire,4-wire");
    QCOMPARE(heartbeatEntries().join(','), "No Heartbeat,Heartbeat,Heartbeat with handshake");
    QCOMPARE(tagsToReadEntries().join(','), "Read Always,1,2,3,4,5,6,7,8,9");
    QCOMPARE(readRangeEntries().join(','), "Range 4(100%),Range 3(66%),Range 2(33%),Range 1(1%),"
                                           "100%,90%,80%,70%,60%,50%,40%,30%,20%,10%");
    const QList<QByteArray> lengths = stringLengthEntries(), frequencies = frequencyEntries();
    QCOMPARE(lengths.mid(0, 13).join(','), "Mark only,Data+Mark,V1,V2,V3,V4,V5,F1,F2,F3,F4,F5,01");
    QCOMPARE(lengths.size(), 83);
    QCOMPARE(lengths.last(), "71");
    QCOMPARE(frequencies.mid(0, 5).join(','), "Frequency hopping default sub-bands,Adaptive Frequency Hopping "
                                              "default sub-bands,Frequency hopping all sub-bands,Adaptive "
                                              "Frequency all sub-bands,05");
    QCOMPARE(frequencies.size(), 97);
    QCOMPARE(frequencies.last(), "97");
    QByteArrayList names;
    for (ConfigField field : AllFields)
        names << fieldControlName(field);
    QCOMPARE(names.join(' '), "ReaderName Mode BaudRate RS485Mode Frequency TermChar HeadChar StringLength "
                              "HandShake Heartbeat TagsToRead ReadRange");
}

void TestConfigString::commands()
{
    QCOMPARE(configReadRequest(), "L");
    QCOMPARE(buildConfigWriteCommand(""), "C000");
    QCOMPARE(buildConfigWriteCommand("123456789"), "C009123456789");
    QVERIFY(!buildConfigWriteCommand(QByteArray(100, 'x')));
    QCOMPARE(buildConfigReply("$$$$SXXXXXC01R4B1"), "0017$$$$SXXXXXC01R4B1\r");
    QCOMPARE(buildConfigReply("", '\0'), QByteArray("0000\0", 5));
}

void TestConfigString::encode_data()
{
    QTest::addColumn<ConfigFields>("fields");
    QTest::addColumn<QByteArray>("command");   // empty: refused
    QTest::addColumn<ConfigField>("badField");
    QTest::addColumn<QStringList>("mentions"); // parts of the one-line message

    const auto ok = [](const char *name, const ConfigFields &f, const QByteArray &command) {
        QTest::newRow(name) << f << command << F::Mode << QStringList();
    };
    ok("defaults Standard", with("Standard"), "C017$$$$SXXXXXC01R4B1");
    ok("defaults Enhanced", with("Enhanced"), "C023$$$$SXXXXXC01R4B1LF5T0D");
    ok("defaults Track", with("Track"), "C031$$$$SXXXXXC01R4B1LF5T0DH00X48M0");
    ok("defaults Universal", with("Universal"), "C028UUUUSXXXXXC01R4B1LF5T0DH00A0");
    ok("115200 4-wire BB", with("Standard", {{F::BaudRate, "115200"}}), "C017$$$$SXXXXXC01R4BB");
    ok("115200 2-wire BE", with("Standard", {{F::BaudRate, "115200"}, {F::RS485Mode, "2-wire"}}),
       "C017$$$$SXXXXXC01R4BE");
    ok("frequency 05", with("Standard", {{F::Frequency, "05"}}), "C017$$$$SXXXXXC05R4B1");
    ok("frequency 5", with("Standard", {{F::Frequency, "5"}}), "C016$$$$SXXXXXC5R4B1");
    ok("typed C02 is text", with("Standard", {{F::Frequency, "C02"}}), "C018$$$$SXXXXXCC02R4B1");
    ok("name ABC", with("Standard", {{F::ReaderName, "ABC"}}), "C015$$$$SABCC01R4B1");
    ok("name bytes as they are", with("Standard", {{F::ReaderName, QByteArray("\xE9\0\xFF\r", 4)}}),
       QByteArray("C016$$$$S\xE9\0\xFF\rC01R4B1", 20));
    ok("99 characters", with("Standard", {{F::ReaderName, QByteArray(87, 'n')}}),
       "C099$$$$S" + QByteArray(87, 'n') + "C01R4B1");
    ok("LV1", with("Enhanced", {{F::StringLength, "V1"}}), "C023$$$$SXXXXXC01R4B1LV1T0D");
    ok("Data+Mark, lower-case hex", with("Enhanced", {{F::StringLength, "Data+Mark"}, {F::TermChar, "0d"}}),
       "C023$$$$SXXXXXC01R4B1LFAT0d");
    ok("M1", with("Track", {{F::TagsToRead, "1"}}), "C031$$$$SXXXXXC01R4B1LF5T0DH00X48M1");
    ok("tags as typed", with("Track", {{F::TagsToRead, "many"}, {F::HandShake, "4a"}}),
       "C034$$$$SXXXXXC01R4B1LF5T0DH00X4aMmany");
    // Texts a mode does not carry do not matter to it, whatever they hold.
    ok("Standard ignores the rest", with("Standard", {{F::Heartbeat, "bogus"}, {F::TagsToRead, QByteArray(200, 't')},
                                                      {F::StringLength, QByteArray(200, 's')}}),
       "C017$$$$SXXXXXC01R4B1");
    ok("Universal ignores Track texts", with("Universal", {{F::TagsToRead, "bogus"}, {F::HandShake, "bogus"}}),
       "C028UUUUSXXXXXC01R4B1LF5T0DH00A0");

    const auto no = [](const char *name, const ConfigFields &f, ConfigField bad, const QStringList &mentions) {
        QTest::newRow(name) << f << QByteArray() << bad << mentions;
    };
    no("unknown baud", with("Standard", {{F::BaudRate, "1234"}}), F::BaudRate,
       {"Baud Rate \"1234\" with RS485 Port Mode \"4-wire\" has no code"});
    no("unknown port mode", with("Track", {{F::RS485Mode, "3-wire"}}), F::BaudRate, {"\"9600\"", "\"3-wire\""});
    no("port mode with blank", with("Track", {{F::RS485Mode, "4-wire "}}), F::BaudRate, {"\"4-wire \""});
    no("unknown read range", with("Enhanced", {{F::ReadRange, "Range 5"}}), F::ReadRange,
       {"Read Range", "\"Range 5\""});
    no("read range with CR", with("Enhanced", {{F::ReadRange, "Range\r4"}}), F::ReadRange, {"\"Range\\x0D4\""});
    no("heartbeat in Universal", with("Universal", {{F::Heartbeat, "heartbeat"}}), F::Heartbeat,
       {"Heartbeat", "\"heartbeat\""});
    no("mode track", with("track"), F::Mode, {"Mode", "\"track\""});
    no("100 characters by the name", with("Standard", {{F::ReaderName, QByteArray(88, 'n')}}), F::ReaderName,
       {"100", "ReaderName"});
    no("long frequency", with("Track", {{F::ReaderName, QByteArray(20, 'n')}, {F::Frequency, QByteArray(60, '5')}}),
       F::Frequency, {"Frequency", "..."});
    no("longer tags", with("Track", {{F::Frequency, QByteArray(60, '5')}, {F::TagsToRead, QByteArray(61, '7')}}),
       F::TagsToRead, {"Tags to read"});
}

void TestConfigString::encode()
{
    QFETCH(ConfigFields, fields);
    QFETCH(QByteArray, command);
    QFETCH(ConfigField, badField);
    QFETCH(QStringList, mentions);

    const ConfigBuildResult result = BuildConfigString(fields);
    if (!command.isEmpty()) {
        QVERIFY2(result.ok && !result.badField, qPrintable(result.problem));
        QCOMPARE(buildConfigWriteCommand(result.string).value_or("-"), command);
        return;
    }
    QVERIFY(!result.ok && result.string.isEmpty());
    QVERIFY(result.badField);
    QCOMPARE(fieldControlName(*result.badField), fieldControlName(badField));
    QVERIFY2(!result.problem.contains('\n') && !result.problem.contains('\r'), qPrintable(result.problem));
    for (const QString &part : mentions)
        QVERIFY2(result.problem.contains(part), qPrintable(result.problem + " lacks " + part));
}

void TestConfigString::decode_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("shown"); // see render(); empty: not a reply
    QTest::addColumn<QByteArray>("resent"); // the string the shown texts build, when checked

    const QByteArray hop = "Frequency hopping default sub-bands", base = hop + "|Range 4(100%)|9600|4-wire";
    const auto row = [](const char *name, const QByteArray &reply, const QByteArray &shown,
                        const QByteArray &resent = {}) { QTest::newRow(name) << reply << shown << resent; };
    row("Standard", "0017$$$$SXXXXXC01R4B1\r", "Standard|XXXXX|" + base);
    row("prefix and letters not examined", "0017UUUUQABCDEC98RJBE\n",
        "Standard|ABCDE|Frequency hopping all sub-bands|100%|115200|2-wire");
    // C02 is shown as the default text, and so sent back as C01.
    row("C02", "0017$$$$SXXXXXC02R4B1\r", "Standard|XXXXX|" + base, "$$$$SXXXXXC01R4B1");
    row("C03 R3 B2", "0017$$$$SXXXXXC03R3B2\r",
        "Standard|XXXXX|Adaptive Frequency Hopping default sub-bands|Range 3(66%)|19200|4-wire");
    row("C99 RA BB", "0017$$$$SXXXXXC99RABB\r", "Standard|XXXXX|Adaptive Frequency all sub-bands|10%|115200|4-wire");
    row("C05", "0017$$$$SXXXXXC05R4B1\r", "Standard|XXXXX|05|Range 4(100%)|9600|4-wire");
    row("Z01 is 01", "0017$$$$SXXXXXZ01R4B1\r", "Standard|XXXXX|01|Range 4(100%)|9600|4-wire");
    row("RZ unchanged", "0017$$$$SXXXXXC01RZB1\r", "Standard|XXXXX|" + hop + "|~|9600|4-wire");
    row("r4 unchanged", "0017$$$$SXXXXXC01r4B1\r", "Standard|XXXXX|" + hop + "|~|9600|4-wire");
    row("B8 unchanged", "0017$$$$SXXXXXC01R4B8\r", "Standard|XXXXX|" + hop + "|Range 4(100%)");
    row("odd name bytes", QByteArray("0017$$$$S\0\xFF" "A  C01R4BD\r", 22),
        QByteArray("Standard|\0\xFF" "A  |", 15) + hop + "|Range 4(100%)|57600|2-wire");
    row("Enhanced", "0023$$$$SXXXXXC01R4B1LF5T0D\r", "Enhanced|XXXXX|" + base + "|F5|0D");
    row("LF8, lower-case hex", "0023$$$$SXXXXXC01R4B1LF8T0d\r", "Enhanced|XXXXX|" + base + "|Mark only|0d");
    row("LFA", "0023$$$$SXXXXXC01R4B1LFAT0d\r", "Enhanced|XXXXX|" + base + "|Data+Mark|0d");
    row("XF8 is not LF8", "0023$$$$SXXXXXC01R4B1XF8T0d\r", "Enhanced|XXXXX|" + base + "|F8|0d");
    row("L12, raw term bytes", "0023$$$$SXXXXXC01R4B1L12?\xFE\x01\r", "Enhanced|XXXXX|" + base + "|12|\xFE\x01");
    row("Track M0", "0031$$$$SRDR01C01R4B1LF5T0DH00X48M0\r", "Track|RDR01|" + base + "|F5|0D|00|48|Read Always");
    row("Track M7", "0031$$$$SRDR01C01R4B1LF5T0DH00X4aM7\r", "Track|RDR01|" + base + "|F5|0D|00|4a|7");
    row("N0 is not M0", "0031$$$$SRDR01C01R4B1LF5T0DH00X4aN0\r", "Track|RDR01|" + base + "|F5|0D|00|4a|0");
    row("Universal A0", "0028UUUUSXXXXXC01R4B1LF5T0DH00A0\r", "Universal|XXXXX|" + base + "|F5|0D|00|~|~|No Heartbeat",
        "UUUUSXXXXXC01R4B1LF5T0DH00A0");
    row("Universal C02 A1", "0028UUUUSABCDEC02RHB7LF8T0DH00A1\r",
        "Universal|ABCDE|" + hop + "|80%|19200|2-wire|Mark only|0D|00|~|~|Heartbeat", "UUUUSABCDEC01RHB7LF8T0DH00A1");
    row("Universal A2", "0028$$$$SXXXXXC01R4B1LF5T0DH00A2x",
        "Universal|XXXXX|" + base + "|F5|0D|00|~|~|Heartbeat with handshake");
    row("A3 unchanged", "0028UUUUSXXXXXC01R4B1LF5T0DH00A3\r", "Universal|XXXXX|" + base + "|F5|0D|00");
    row("a1 unchanged", "0028UUUUSXXXXXC01R4B1LF5T0DH00a1\r", "Universal|XXXXX|" + base + "|F5|0D|00");

    row("empty", "", "");
    row("21 characters", "0017$$$$SXXXXXC01R4B1", "");
    row("23 characters", "0017$$$$SXXXXXC01R4B1\r\n", "");
    row("22 under 0023", "0023$$$$SXXXXXC01R4B1\r", "");
    row("28 under 0028", "0028$$$$SXXXXXC01R4B1LF5T0D\r", "");
    row("33 under 0023", "0023UUUUSXXXXXC01R4B1LF5T0DH00A0\r", "");
    row("35 under 0031", "0031$$$$SRDR01C01R4B1LF5T0DH00X48M0", "");
    row("37 under 0031", "0031$$$$SRDR01C01R4B1LF5T0DH00X48M0\r\n", "");
    row("digits one place late", " 0017$$$SXXXXXC01R4B1\r", "");
    row("behind other data", "OK0017$$$$SXXXXXC01R4B1\r", "");
}

void TestConfigString::decode()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, shown);
    QFETCH(QByteArray, resent);
    const std::optional<DecodedConfig> decoded = decodeConfigReply(reply);
    QCOMPARE(decoded ? render(*decoded) : QByteArray(), shown);
    if (!resent.isEmpty()) {
        ConfigFields fields;
        applyDecoded(*decoded, fields);
        QCOMPARE(BuildConfigString(fields).string, resent);
    }
}

// Every row of every list, in every mode that carries it: encoded, wrapped as a
// reply and decoded onto a fresh dialog, it shows the very texts it started with.
void TestConfigString::roundTrip()
{
    struct List {
        const char *modes; // initials of the modes that carry the field
        ConfigField field;
        QList<QByteArray> texts;
        ConfigField other; // a copied text set alongside, so its place is checked too
        QByteArray otherText;
    };
    const List lists[] = {
        {"SETU", F::ReadRange, readRangeEntries(), F::ReaderName, "R-1 2"},
        {"SETU", F::Frequency, frequencyEntries(), F::ReaderName, "ab\xFF" "cd"},
        {"ETU", F::StringLength, stringLengthEntries(), F::TermChar, "a9"},
        {"U", F::Heartbeat, heartbeatEntries(), F::HeadChar, "Ff"},
        {"T", F::TagsToRead, tagsToReadEntries(), F::HandShake, "1b"},
    };
    const auto text = [](std::string_view s) { return QByteArray(s.data(), qsizetype(s.size())); };
    QList<ConfigFields> cases;
    for (const QByteArray &mode : modeEntries()) {
        for (const BaudCode &row : BaudCodes)
            cases << with(mode, {{F::BaudRate, text(row.baudRate)}, {F::RS485Mode, text(row.rs485Mode)}});
        for (const List &list : lists) {
            for (const QByteArray &entry : list.texts) {
                if (QByteArray(list.modes).contains(mode[0]))
                    cases << with(mode, {{list.field, entry}, {list.other, list.otherText}});
            }
        }
    }
    for (const ConfigFields &fields : cases) {
        const ConfigBuildResult built = BuildConfigString(fields);
        QVERIFY2(built.ok, qPrintable(built.problem));
        QVERIFY(!built.string.contains("C02"));
        ConfigFields shown;
        applyDecoded(decodeConfigReply(buildConfigReply(built.string)).value(), shown);
        QVERIFY2(shown == fields, built.string.constData());
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
        QCOMPARE(decoded->readerName.value(), text.mid(9, 5));
        QCOMPARE(decoded->baudRate.has_value(), decoded->rs485Mode.has_value());
        QCOMPARE(decoded->termChar.value_or("-"), shape ? text.mid(25, 2) : "-");
        QCOMPARE(decoded->handShake.value_or("-"), shape == 2 ? text.mid(31, 2) : "-");
        QVERIFY((shape == 2 || !decoded->tagsToRead) && (shape == 3 || !decoded->heartbeat));
    }
}

QTEST_GUILESS_MAIN(TestConfigString)
#include "tst_configstring.moc"
