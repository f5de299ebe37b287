#include "protocol/configstring.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTest>

using namespace zanto;

Q_DECLARE_METATYPE(zanto::ConfigFields)
Q_DECLARE_METATYPE(zanto::ConfigField)

namespace {

constexpr ConfigField AllFields[] = {
    ConfigField::ReaderName, ConfigField::Mode,         ConfigField::BaudRate,  ConfigField::RS485Mode,
    ConfigField::Frequency,  ConfigField::TermChar,     ConfigField::HeadChar,  ConfigField::StringLength,
    ConfigField::HandShake,  ConfigField::Heartbeat,    ConfigField::TagsToRead, ConfigField::ReadRange,
};

// Texts no reply can produce, so a field a reply leaves alone is plain to see.
ConfigFields marked()
{
    ConfigFields f;
    for (ConfigField field : AllFields)
        fieldText(f, field) = QByteArray("~") + fieldControlName(field);
    return f;
}

ConfigFields withMode(const char *mode)
{
    ConfigFields f;
    f.mode = mode;
    return f;
}

QByteArray sv(std::string_view s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

void compareFields(const ConfigFields &actual, const ConfigFields &expected)
{
    for (ConfigField field : AllFields) {
        const QByteArray a = fieldText(actual, field);
        const QByteArray e = fieldText(expected, field);
        if (a != e) {
            QFAIL(qPrintable(QStringLiteral("%1: got \"%2\", expected \"%3\"")
                                 .arg(QLatin1String(fieldControlName(field)), QLatin1String(a),
                                      QLatin1String(e))));
        }
    }
}

// The fields each mode's string carries (Mode itself always comes back).
QList<ConfigField> carried(const QByteArray &mode)
{
    QList<ConfigField> out{ConfigField::Mode,      ConfigField::ReaderName, ConfigField::Frequency,
                           ConfigField::ReadRange, ConfigField::BaudRate,   ConfigField::RS485Mode};
    if (mode == "Standard")
        return out;
    out << ConfigField::StringLength << ConfigField::TermChar;
    if (mode == "Track")
        out << ConfigField::HeadChar << ConfigField::HandShake << ConfigField::TagsToRead;
    if (mode == "Universal")
        out << ConfigField::HeadChar << ConfigField::Heartbeat;
    return out;
}

const char *const Modes[] = {"Standard", "Enhanced", "Track", "Universal"};

} // namespace

class TestConfigString : public QObject
{
    Q_OBJECT

private slots:
    void entries_data();
    void entries();
    void fields_data();
    void fields();
    void modeNames_data();
    void modeNames();

    void encode_data();
    void encode();
    void refuse_data();
    void refuse();
    void writeCommand_data();
    void writeCommand();
    void reply_data();
    void reply();

    void decode_data();
    void decode();
    void decodeThenEncode_data();
    void decodeThenEncode();
    void roundTrip_data();
    void roundTrip();
    void randomReplies_data();
    void randomReplies();
};

// ---- lists and names ---------------------------------------------------------

void TestConfigString::entries_data()
{
    QTest::addColumn<QList<QByteArray>>("list");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<QByteArray>>("expectedStart");
    QTest::addColumn<QByteArray>("last");

    QTest::newRow("mode") << modeEntries() << 4
                          << QList<QByteArray>{"Standard", "Enhanced", "Track", "Universal"}
                          << QByteArray("Universal");
    QTest::newRow("frequency") << frequencyEntries() << 97
                               << QList<QByteArray>{"Frequency hopping default sub-bands",
                                                    "Adaptive Frequency Hopping default sub-bands",
                                                    "Frequency hopping all sub-bands",
                                                    "Adaptive Frequency all sub-bands", "05", "06"}
                               << QByteArray("97");
    QTest::newRow("read range") << readRangeEntries() << 14
                                << QList<QByteArray>{"Range 4(100%)", "Range 3(66%)", "Range 2(33%)",
                                                     "Range 1(1%)", "100%", "90%", "80%", "70%", "60%",
                                                     "50%", "40%", "30%", "20%", "10%"}
                                << QByteArray("10%");
    QTest::newRow("baud") << baudRateEntries() << 6
                          << QList<QByteArray>{"4800", "9600", "19200", "38400", "57600", "115200"}
                          << QByteArray("115200");
    QTest::newRow("rs485") << rs485ModeEntries() << 2 << QList<QByteArray>{"2-wire", "4-wire"}
                           << QByteArray("4-wire");
    QTest::newRow("string length") << stringLengthEntries() << 83
                                   << QList<QByteArray>{"Mark only", "Data+Mark", "V1", "V2", "V3", "V4",
                                                        "V5", "F1", "F2", "F3", "F4", "F5", "01", "02"}
                                   << QByteArray("71");
    QTest::newRow("heartbeat") << heartbeatEntries() << 3
                               << QList<QByteArray>{"No Heartbeat", "Heartbeat", "Heartbeat with handshake"}
                               << QByteArray("Heartbeat with handshake");
    QTest::newRow("tags") << tagsToReadEntries() << 10
                          << QList<QByteArray>{"Read Always", "1", "2", "3", "4", "5", "6", "7", "8", "9"}
                          << QByteArray("9");
}

void TestConfigString::entries()
{
    QFETCH(QList<QByteArray>, list);
    QFETCH(int, count);
    QFETCH(QList<QByteArray>, expectedStart);
    QFETCH(QByteArray, last);

    QCOMPARE(list.size(), count);
    QCOMPARE(list.mid(0, expectedStart.size()), expectedStart);
    QCOMPARE(list.last(), last);
    // Two-digit runs have no gaps: every entry differs from the others.
    QCOMPARE(QSet<QByteArray>(list.begin(), list.end()).size(), count);
}

void TestConfigString::fields_data()
{
    QTest::addColumn<ConfigField>("field");
    QTest::addColumn<QByteArray>("controlName");
    QTest::addColumn<QByteArray>("defaultText");

    // File order, with the texts a fresh dialog starts with.
    QTest::newRow("1") << ConfigField::ReaderName << QByteArray("ReaderName") << QByteArray("XXXXX");
    QTest::newRow("2") << ConfigField::Mode << QByteArray("Mode") << QByteArray("Standard");
    QTest::newRow("3") << ConfigField::BaudRate << QByteArray("BaudRate") << QByteArray("9600");
    QTest::newRow("4") << ConfigField::RS485Mode << QByteArray("RS485Mode") << QByteArray("4-wire");
    QTest::newRow("5") << ConfigField::Frequency << QByteArray("Frequency")
                       << QByteArray("Frequency hopping default sub-bands");
    QTest::newRow("6") << ConfigField::TermChar << QByteArray("TermChar") << QByteArray("0D");
    QTest::newRow("7") << ConfigField::HeadChar << QByteArray("HeadChar") << QByteArray("00");
    QTest::newRow("8") << ConfigField::StringLength << QByteArray("StringLength") << QByteArray("F5");
    QTest::newRow("9") << ConfigField::HandShake << QByteArray("HandShake") << QByteArray("48");
    QTest::newRow("10") << ConfigField::Heartbeat << QByteArray("Heartbeat") << QByteArray("No Heartbeat");
    QTest::newRow("11") << ConfigField::TagsToRead << QByteArray("TagsToRead") << QByteArray("Read Always");
    QTest::newRow("12") << ConfigField::ReadRange << QByteArray("ReadRange") << QByteArray("Range 4(100%)");
}

void TestConfigString::fields()
{
    QFETCH(ConfigField, field);
    QFETCH(QByteArray, controlName);
    QFETCH(QByteArray, defaultText);

    QCOMPARE(QByteArray(fieldControlName(field)), controlName);
    const ConfigFields defaults;
    QCOMPARE(fieldText(defaults, field), defaultText);

    // Writing through one field touches that field only.
    ConfigFields changed;
    fieldText(changed, field) = "changed";
    for (ConfigField other : AllFields)
        QCOMPARE(fieldText(changed, other), other == field ? QByteArray("changed") : fieldText(defaults, other));
}

void TestConfigString::modeNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("mode"); // -1: no mode

    QTest::newRow("Standard") << QByteArray("Standard") << int(ReaderMode::Standard);
    QTest::newRow("Enhanced") << QByteArray("Enhanced") << int(ReaderMode::Enhanced);
    QTest::newRow("Track") << QByteArray("Track") << int(ReaderMode::Track);
    QTest::newRow("Universal") << QByteArray("Universal") << int(ReaderMode::Universal);
    QTest::newRow("lower case") << QByteArray("track") << -1;
    QTest::newRow("trailing blank") << QByteArray("Track ") << -1;
    QTest::newRow("empty") << QByteArray() << -1;
    QTest::newRow("with NUL") << QByteArray("Track\0", 6) << -1;
}

void TestConfigString::modeNames()
{
    QFETCH(QByteArray, name);
    QFETCH(int, mode);

    const std::optional<ReaderMode> found = modeFromName(name);
    QCOMPARE(found.has_value(), mode >= 0);
    if (found) {
        QCOMPARE(int(*found), mode);
        QCOMPARE(QByteArray(modeName(*found)), name);
    }
}

// ---- encoding ----------------------------------------------------------------

void TestConfigString::encode_data()
{
    QTest::addColumn<ConfigFields>("fields");
    QTest::addColumn<QByteArray>("command");

    QTest::newRow("defaults Standard") << withMode("Standard") << QByteArray("C017$$$$SXXXXXC01R4B1");
    QTest::newRow("defaults Enhanced") << withMode("Enhanced") << QByteArray("C023$$$$SXXXXXC01R4B1LF5T0D");
    QTest::newRow("defaults Track") << withMode("Track")
                                    << QByteArray("C031$$$$SXXXXXC01R4B1LF5T0DH00X48M0");
    QTest::newRow("defaults Universal") << withMode("Universal")
                                        << QByteArray("C028UUUUSXXXXXC01R4B1LF5T0DH00A0");

    ConfigFields f = withMode("Standard");
    f.baudRate = "115200";
    QTest::newRow("115200 4-wire") << f << QByteArray("C017$$$$SXXXXXC01R4BB");
    f.rs485Mode = "2-wire";
    QTest::newRow("115200 2-wire") << f << QByteArray("C017$$$$SXXXXXC01R4BE");
    f = withMode("Standard");
    f.baudRate = "4800";
    f.rs485Mode = "2-wire";
    f.readRange = "10%";
    QTest::newRow("4800 2-wire 10%") << f << QByteArray("C017$$$$SXXXXXC01RAB5");

    f = withMode("Standard");
    f.frequency = "05";
    QTest::newRow("frequency 05") << f << QByteArray("C017$$$$SXXXXXC05R4B1");
    f.frequency = "5";
    QTest::newRow("frequency 5, one short") << f << QByteArray("C016$$$$SXXXXXC5R4B1");
    f.frequency = "Adaptive Frequency all sub-bands";
    QTest::newRow("frequency C99") << f << QByteArray("C017$$$$SXXXXXC99R4B1");
    // C02 is only ever read; a typed "C02" is just another text.
    f.frequency = "C02";
    QTest::newRow("typed C02 is text") << f << QByteArray("C018$$$$SXXXXXCC02R4B1");

    f = withMode("Standard");
    f.readerName = "ABC";
    QTest::newRow("three-character name") << f << QByteArray("C015$$$$SABCC01R4B1");
    f.readerName = "";
    QTest::newRow("empty name") << f << QByteArray("C012$$$$SC01R4B1");
    f.readerName = QByteArray("\xE9\0\xFF\r", 4);
    QTest::newRow("name bytes as they are") << f << QByteArray("C016$$$$S\xE9\0\xFF\rC01R4B1", 20);
    f.readerName = QByteArray(87, 'n');
    QTest::newRow("99 characters") << f << QByteArray("C099$$$$S") + QByteArray(87, 'n') + "C01R4B1";

    f = withMode("Enhanced");
    f.stringLength = "V1";
    QTest::newRow("string length V1") << f << QByteArray("C023$$$$SXXXXXC01R4B1LV1T0D");
    f.stringLength = "Mark only";
    QTest::newRow("Mark only") << f << QByteArray("C023$$$$SXXXXXC01R4B1LF8T0D");
    f.stringLength = "Data+Mark";
    f.termChar = "0d";
    QTest::newRow("Data+Mark, lower-case hex") << f << QByteArray("C023$$$$SXXXXXC01R4B1LFAT0d");
    f.termChar = "";
    QTest::newRow("empty term char") << f << QByteArray("C021$$$$SXXXXXC01R4B1LFAT");

    f = withMode("Track");
    f.tagsToRead = "1";
    QTest::newRow("tags 1") << f << QByteArray("C031$$$$SXXXXXC01R4B1LF5T0DH00X48M1");
    f.tagsToRead = "many";
    f.handShake = "4a";
    QTest::newRow("tags as typed") << f << QByteArray("C034$$$$SXXXXXC01R4B1LF5T0DH00X4aMmany");

    f = withMode("Universal");
    f.heartbeat = "Heartbeat with handshake";
    f.headChar = "7F";
    QTest::newRow("heartbeat A2") << f << QByteArray("C028UUUUSXXXXXC01R4B1LF5T0DH7FA2");
    // Texts a mode does not carry do not matter to it, whatever they hold.
    f = withMode("Standard");
    f.heartbeat = "bogus";
    f.tagsToRead = QByteArray(200, 't');
    f.stringLength = QByteArray(200, 's');
    QTest::newRow("unused texts ignored") << f << QByteArray("C017$$$$SXXXXXC01R4B1");
    f = withMode("Universal");
    f.tagsToRead = "bogus";
    f.handShake = "bogus";
    QTest::newRow("Universal ignores Track fields") << f << QByteArray("C028UUUUSXXXXXC01R4B1LF5T0DH00A0");
}

void TestConfigString::encode()
{
    QFETCH(ConfigFields, fields);
    QFETCH(QByteArray, command);

    const ConfigBuildResult result = BuildConfigString(fields);
    QVERIFY2(result.ok, qPrintable(result.problem));
    QVERIFY(!result.badField);
    const std::optional<QByteArray> built = buildConfigWriteCommand(result.string);
    QVERIFY(built);
    QCOMPARE(*built, command);
}

void TestConfigString::refuse_data()
{
    QTest::addColumn<ConfigFields>("fields");
    QTest::addColumn<ConfigField>("badField");
    QTest::addColumn<QString>("problem"); // the whole message, or empty: only its parts are checked
    QTest::addColumn<QStringList>("mentions");

    ConfigFields f = withMode("Standard");
    f.baudRate = "1234";
    QTest::newRow("unknown baud") << f << ConfigField::BaudRate
                                  << QStringLiteral("Baud Rate \"1234\" with RS485 Port Mode \"4-wire\" has no code")
                                  << QStringList();
    f = withMode("Track");
    f.rs485Mode = "3-wire";
    QTest::newRow("unknown port mode") << f << ConfigField::BaudRate << QString()
                                       << QStringList{"\"9600\"", "\"3-wire\""};
    f.rs485Mode = "4-wire ";
    QTest::newRow("trailing blank") << f << ConfigField::BaudRate << QString() << QStringList{"\"4-wire \""};

    f = withMode("Enhanced");
    f.readRange = "Range 5";
    QTest::newRow("unknown read range") << f << ConfigField::ReadRange << QString()
                                        << QStringList{"Read Range", "\"Range 5\""};
    f.readRange = "Range\r4";
    QTest::newRow("read range with CR") << f << ConfigField::ReadRange << QString()
                                        << QStringList{"\"Range\\x0D4\""};

    f = withMode("Universal");
    f.heartbeat = "heartbeat";
    QTest::newRow("unknown heartbeat in Universal") << f << ConfigField::Heartbeat << QString()
                                                    << QStringList{"Heartbeat", "\"heartbeat\""};

    QTest::newRow("mode track") << withMode("track") << ConfigField::Mode << QString()
                                << QStringList{"Mode", "\"track\""};
    QTest::newRow("mode empty") << withMode("") << ConfigField::Mode << QString() << QStringList{"\"\""};

    f = withMode("Standard");
    f.readerName = QByteArray(88, 'n');
    QTest::newRow("100 characters by the name") << f << ConfigField::ReaderName << QString()
                                                << QStringList{"100", "ReaderName"};
    f = withMode("Track");
    f.readerName = QByteArray(20, 'n');
    f.frequency = QByteArray(60, '5');
    QTest::newRow("long frequency") << f << ConfigField::Frequency << QString()
                                    << QStringList{"Frequency", "..."};
    f.tagsToRead = QByteArray(61, '7');
    QTest::newRow("longer tags") << f << ConfigField::TagsToRead << QString() << QStringList{"Tags to read"};
}

void TestConfigString::refuse()
{
    QFETCH(ConfigFields, fields);
    QFETCH(ConfigField, badField);
    QFETCH(QString, problem);
    QFETCH(QStringList, mentions);

    const ConfigBuildResult result = BuildConfigString(fields);
    QVERIFY(!result.ok);
    QVERIFY(result.string.isEmpty());
    QVERIFY(result.badField);
    QCOMPARE(QByteArray(fieldControlName(*result.badField)), QByteArray(fieldControlName(badField)));
    QVERIFY(!result.problem.isEmpty());
    QVERIFY2(!result.problem.contains(QLatin1Char('\n')) && !result.problem.contains(QLatin1Char('\r')),
             qPrintable(result.problem));
    if (!problem.isEmpty())
        QCOMPARE(result.problem, problem);
    for (const QString &part : mentions)
        QVERIFY2(result.problem.contains(part), qPrintable(result.problem + " lacks " + part));
}

void TestConfigString::writeCommand_data()
{
    QTest::addColumn<QByteArray>("string");
    QTest::addColumn<bool>("built");
    QTest::addColumn<QByteArray>("command");

    QTest::newRow("empty") << QByteArray() << true << QByteArray("C000");
    QTest::newRow("9") << QByteArray("123456789") << true << QByteArray("C009123456789");
    QTest::newRow("10") << QByteArray(10, 'x') << true << QByteArray("C010") + QByteArray(10, 'x');
    QTest::newRow("99") << QByteArray(99, 'x') << true << QByteArray("C099") + QByteArray(99, 'x');
    QTest::newRow("100") << QByteArray(100, 'x') << false << QByteArray();
    QTest::newRow("1000") << QByteArray(1000, 'x') << false << QByteArray();
}

void TestConfigString::writeCommand()
{
    QFETCH(QByteArray, string);
    QFETCH(bool, built);
    QFETCH(QByteArray, command);

    const std::optional<QByteArray> result = buildConfigWriteCommand(string);
    QCOMPARE(result.has_value(), built);
    if (built)
        QCOMPARE(*result, command);
}

void TestConfigString::reply_data()
{
    QTest::addColumn<QByteArray>("string");
    QTest::addColumn<char>("finalChar");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("Standard") << QByteArray("$$$$SXXXXXC01R4B1") << '\r'
                              << QByteArray("0017$$$$SXXXXXC01R4B1\r");
    QTest::newRow("empty, NUL final") << QByteArray() << '\0' << QByteArray("0000\0", 5);
    QTest::newRow("123") << QByteArray(123, 'y') << 'Z' << QByteArray("0123") + QByteArray(123, 'y') + "Z";
}

void TestConfigString::reply()
{
    QFETCH(QByteArray, string);
    QFETCH(char, finalChar);
    QFETCH(QByteArray, reply);
    QCOMPARE(buildConfigReply(string, finalChar), reply);
}

// ---- decoding ----------------------------------------------------------------

void TestConfigString::decode_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("recognised");
    QTest::addColumn<ConfigFields>("expected"); // marked() with what the reply sets

    const auto standard = [](const QByteArray &name, const char *freq, const char *range, const char *baud,
                             const char *port) {
        ConfigFields f = marked();
        f.mode = "Standard";
        f.readerName = name;
        f.frequency = freq;
        if (range)
            f.readRange = range;
        if (baud) {
            f.baudRate = baud;
            f.rs485Mode = port;
        }
        return f;
    };
    const char *hop = "Frequency hopping default sub-bands";

    QTest::newRow("Standard defaults")
        << QByteArray("0017$$$$SXXXXXC01R4B1\r") << true
        << standard("XXXXX", hop, "Range 4(100%)", "9600", "4-wire");
    QTest::newRow("Standard, prefix and letters not examined")
        << QByteArray("0017UUUUQABCDEC98RJBE\n") << true
        << standard("ABCDE", "Frequency hopping all sub-bands", "100%", "115200", "2-wire");
    QTest::newRow("C02 read as default")
        << QByteArray("0017$$$$SXXXXXC02R4B1\r") << true
        << standard("XXXXX", hop, "Range 4(100%)", "9600", "4-wire");
    QTest::newRow("C03") << QByteArray("0017$$$$SXXXXXC03R3B2\r") << true
                         << standard("XXXXX", "Adaptive Frequency Hopping default sub-bands", "Range 3(66%)",
                                     "19200", "4-wire");
    QTest::newRow("C99, BB") << QByteArray("0017$$$$SXXXXXC99RABB\r") << true
                             << standard("XXXXX", "Adaptive Frequency all sub-bands", "10%", "115200", "4-wire");
    QTest::newRow("C05 gives 05") << QByteArray("0017$$$$SXXXXXC05R4B1\r") << true
                                  << standard("XXXXX", "05", "Range 4(100%)", "9600", "4-wire");
    QTest::newRow("any letter before the two characters")
        << QByteArray("0017$$$$SXXXXXZ01R4B1\r") << true
        << standard("XXXXX", "01", "Range 4(100%)", "9600", "4-wire");
    QTest::newRow("read range RZ unchanged") << QByteArray("0017$$$$SXXXXXC01RZB1\r") << true
                                             << standard("XXXXX", hop, nullptr, "9600", "4-wire");
    QTest::newRow("read range r4 unchanged") << QByteArray("0017$$$$SXXXXXC01r4B1\r") << true
                                             << standard("XXXXX", hop, nullptr, "9600", "4-wire");
    QTest::newRow("baud B8 unchanged") << QByteArray("0017$$$$SXXXXXC01R4B8\r") << true
                                       << standard("XXXXX", hop, "Range 4(100%)", nullptr, nullptr);
    QTest::newRow("baud BA unchanged") << QByteArray("0017$$$$SXXXXXC01RDBA\r") << true
                                       << standard("XXXXX", hop, "40%", nullptr, nullptr);
    QTest::newRow("name with blanks and odd bytes")
        << QByteArray("0017$$$$S\0\xFF" "A  C01R4BD\r", 22) << true
        << standard(QByteArray("\0\xFF" "A  ", 5), hop, "Range 4(100%)", "57600", "2-wire");

    ConfigFields f = standard("XXXXX", hop, "Range 4(100%)", "9600", "4-wire");
    f.mode = "Enhanced";
    f.stringLength = "F5";
    f.termChar = "0D";
    QTest::newRow("Enhanced defaults") << QByteArray("0023$$$$SXXXXXC01R4B1LF5T0D\r") << true << f;
    f.stringLength = "Mark only";
    f.termChar = "0d";
    QTest::newRow("Mark only, lower-case hex") << QByteArray("0023$$$$SXXXXXC01R4B1LF8T0d\r") << true << f;
    f.stringLength = "Data+Mark";
    QTest::newRow("Data+Mark") << QByteArray("0023$$$$SXXXXXC01R4B1LFAT0d\r") << true << f;
    f.stringLength = "F8";
    QTest::newRow("XF8 is not LF8") << QByteArray("0023$$$$SXXXXXC01R4B1XF8T0d\r") << true << f;
    f.stringLength = "12";
    f.termChar = "\xFE\x01";
    QTest::newRow("L12, term bytes as they are") << QByteArray("0023$$$$SXXXXXC01R4B1L12?\xFE\x01\r") << true
                                                 << f;

    f = standard("RDR01", hop, "Range 4(100%)", "9600", "4-wire");
    f.mode = "Track";
    f.stringLength = "F5";
    f.termChar = "0D";
    f.headChar = "00";
    f.handShake = "48";
    f.tagsToRead = "Read Always";
    QTest::newRow("Track defaults") << QByteArray("0031$$$$SRDR01C01R4B1LF5T0DH00X48M0\r") << true << f;
    f.tagsToRead = "7";
    f.handShake = "4a";
    QTest::newRow("Track M7") << QByteArray("0031$$$$SRDR01C01R4B1LF5T0DH00X4aM7\r") << true << f;
    f.tagsToRead = "0";
    QTest::newRow("N0 is not M0") << QByteArray("0031$$$$SRDR01C01R4B1LF5T0DH00X4aN0\r") << true << f;

    f = standard("XXXXX", hop, "Range 4(100%)", "9600", "4-wire");
    f.mode = "Universal";
    f.stringLength = "F5";
    f.termChar = "0D";
    f.headChar = "00";
    f.heartbeat = "No Heartbeat";
    QTest::newRow("Universal defaults") << QByteArray("0028UUUUSXXXXXC01R4B1LF5T0DH00A0\r") << true << f;
    f.heartbeat = "Heartbeat";
    QTest::newRow("Universal A1") << QByteArray("0028UUUUSXXXXXC01R4B1LF5T0DH00A1\r") << true << f;
    f.heartbeat = "Heartbeat with handshake";
    QTest::newRow("Universal A2") << QByteArray("0028$$$$SXXXXXC01R4B1LF5T0DH00A2x") << true << f;
    f.heartbeat = marked().heartbeat;
    QTest::newRow("Universal A3 unchanged") << QByteArray("0028UUUUSXXXXXC01R4B1LF5T0DH00A3\r") << true << f;
    QTest::newRow("Universal a1 unchanged") << QByteArray("0028UUUUSXXXXXC01R4B1LF5T0DH00a1\r") << true << f;

    const ConfigFields untouched = marked();
    QTest::newRow("empty") << QByteArray() << false << untouched;
    QTest::newRow("21 characters") << QByteArray("0017$$$$SXXXXXC01R4B1") << false << untouched;
    QTest::newRow("23 characters under 0017") << QByteArray("0017$$$$SXXXXXC01R4B1\r\n") << false << untouched;
    QTest::newRow("22 characters under 0023") << QByteArray("0023$$$$SXXXXXC01R4B1\r") << false << untouched;
    QTest::newRow("28 characters under 0028") << QByteArray("0028$$$$SXXXXXC01R4B1LF5T0D\r") << false
                                              << untouched;
    QTest::newRow("33 characters under 0023") << QByteArray("0023UUUUSXXXXXC01R4B1LF5T0DH00A0\r") << false
                                              << untouched;
    QTest::newRow("35 characters under 0031") << QByteArray("0031$$$$SRDR01C01R4B1LF5T0DH00X48M0") << false
                                              << untouched;
    QTest::newRow("37 characters under 0031") << QByteArray("0031$$$$SRDR01C01R4B1LF5T0DH00X48M0\r\n")
                                              << false << untouched;
    QTest::newRow("digits one place late") << QByteArray(" 0017$$$SXXXXXC01R4B1\r") << false << untouched;
    QTest::newRow("17 with a blank") << QByteArray(" 017$$$$SXXXXXC01R4B1\r") << false << untouched;
    QTest::newRow("reply behind other data") << QByteArray("OK0017$$$$SXXXXXC01R4B1\r") << false << untouched;
}

void TestConfigString::decode()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, recognised);
    QFETCH(ConfigFields, expected);

    const std::optional<DecodedConfig> decoded = decodeConfigReply(reply);
    QCOMPARE(decoded.has_value(), recognised);
    ConfigFields fields = marked();
    if (decoded) {
        QCOMPARE(QByteArray(modeName(decoded->mode)), expected.mode);
        applyDecoded(*decoded, fields);
    }
    compareFields(fields, expected);
}

// A reply shown in the dialog and sent straight back gives the reader its own
// configuration, C02 turned into C01.
void TestConfigString::decodeThenEncode_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("string");

    QTest::newRow("Standard C02") << QByteArray("0017$$$$SABCDEC02RFB6\r") << QByteArray("$$$$SABCDEC01RFB6");
    QTest::newRow("Enhanced") << QByteArray("0023$$$$SABCDEC42RCBCLV3T03\r")
                              << QByteArray("$$$$SABCDEC42RCBCLV3T03");
    QTest::newRow("Track") << QByteArray("0031$$$$SABCDEC98R1B0LFAT0DH02X06M9\r")
                           << QByteArray("$$$$SABCDEC98R1B0LFAT0DH02X06M9");
    QTest::newRow("Universal C02") << QByteArray("0028UUUUSABCDEC02RHB7LF8T0DH00A1\r")
                                   << QByteArray("UUUUSABCDEC01RHB7LF8T0DH00A1");
}

void TestConfigString::decodeThenEncode()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, string);

    const std::optional<DecodedConfig> decoded = decodeConfigReply(reply);
    QVERIFY(decoded);
    ConfigFields fields;
    applyDecoded(*decoded, fields);
    const ConfigBuildResult built = BuildConfigString(fields);
    QVERIFY2(built.ok, qPrintable(built.problem));
    QCOMPARE(built.string, string);
}

// Every row of every table, in every mode that carries it: encoded, wrapped as a
// reply and decoded, the dialog shows the very texts it started with.
void TestConfigString::roundTrip_data()
{
    QTest::addColumn<ConfigFields>("fields");

    for (const char *mode : Modes) {
        const ConfigFields base = withMode(mode);
        const bool carriesLength = qstrcmp(mode, "Standard") != 0;
        const auto add = [&](const char *what, const QByteArray &text, const ConfigFields &f) {
            QTest::addRow("%s %s %s", mode, what, text.constData()) << f;
        };
        for (const BaudCode &row : BaudCodes) {
            ConfigFields f = base;
            f.baudRate = sv(row.baudRate);
            f.rs485Mode = sv(row.rs485Mode);
            add("baud", sv(row.code), f);
        }
        for (const QByteArray &text : readRangeEntries()) {
            ConfigFields f = base;
            f.readRange = text;
            add("range", text, f);
        }
        for (const QByteArray &text : frequencyEntries()) {
            ConfigFields f = base;
            f.frequency = text;
            add("frequency", text, f);
        }
        if (carriesLength) {
            for (const QByteArray &text : stringLengthEntries()) {
                ConfigFields f = base;
                f.stringLength = text;
                f.termChar = "a9";
                add("length", text, f);
            }
        }
        if (qstrcmp(mode, "Universal") == 0) {
            for (const QByteArray &text : heartbeatEntries()) {
                ConfigFields f = base;
                f.heartbeat = text;
                f.headChar = "Ff";
                add("heartbeat", text, f);
            }
        }
        if (qstrcmp(mode, "Track") == 0) {
            for (const QByteArray &text : tagsToReadEntries()) {
                ConfigFields f = base;
                f.tagsToRead = text;
                f.handShake = "1b";
                add("tags", text, f);
            }
        }
    }
}

void TestConfigString::roundTrip()
{
    QFETCH(ConfigFields, fields);

    const ConfigBuildResult built = BuildConfigString(fields);
    QVERIFY2(built.ok, qPrintable(built.problem));
    QVERIFY(!built.string.contains("C02"));
    const std::optional<DecodedConfig> decoded = decodeConfigReply(buildConfigReply(built.string));
    QVERIFY(decoded);

    ConfigFields shown = marked();
    applyDecoded(*decoded, shown);
    const QList<ConfigField> mine = carried(fields.mode);
    for (ConfigField field : AllFields) {
        const QByteArray expected = mine.contains(field) ? fieldText(fields, field) : fieldText(marked(), field);
        QCOMPARE(fieldText(shown, field), expected);
    }
}

// Random bursts of every length up to 64: nothing crashes, nothing but the four
// reply shapes is taken, and what is taken is copied byte for byte.
void TestConfigString::randomReplies_data()
{
    QTest::addColumn<int>("length");
    for (int n = 0; n <= 64; ++n)
        QTest::addRow("%d bytes", n) << n;
}

void TestConfigString::randomReplies()
{
    QFETCH(int, length);
    QRandomGenerator random(0x5eed0000u + quint32(length));
    const QByteArray digitsFor[] = {"0017", "0023", "0031", "0028"};
    const qsizetype lengthFor[] = {22, 28, 36, 33};

    for (int round = 0; round < 400; ++round) {
        QByteArray text(length, Qt::Uninitialized);
        for (char &c : text)
            c = char(random.bounded(256));
        // Half of the bursts carry length digits, so garbage reaches the decoding
        // steps and not only the recognition.
        if (round % 2 == 0 && length >= 4)
            text.replace(0, 4, digitsFor[random.bounded(4)]);

        int shape = -1;
        for (int s = 0; s < 4; ++s) {
            if (text.size() == lengthFor[s] && text.startsWith(digitsFor[s]))
                shape = s;
        }
        const std::optional<DecodedConfig> decoded = decodeConfigReply(text);
        QCOMPARE(decoded.has_value(), shape >= 0);
        if (!decoded)
            continue;

        QCOMPARE(int(decoded->mode), shape);
        QCOMPARE(*decoded->readerName, text.mid(9, 5));
        QVERIFY(decoded->frequency);
        QVERIFY(decoded->frequency->size() == 2 || frequencyEntries().contains(*decoded->frequency));
        if (decoded->readRange)
            QVERIFY(readRangeEntries().contains(*decoded->readRange));
        QCOMPARE(decoded->baudRate.has_value(), decoded->rs485Mode.has_value());
        if (decoded->mode != ReaderMode::Standard)
            QCOMPARE(*decoded->termChar, text.mid(25, 2));
        if (decoded->mode == ReaderMode::Track)
            QCOMPARE(*decoded->handShake, text.mid(31, 2));
        else
            QVERIFY(!decoded->handShake && !decoded->tagsToRead);
        if (decoded->mode != ReaderMode::Universal)
            QVERIFY(!decoded->heartbeat);

        ConfigFields fields;
        applyDecoded(*decoded, fields);
        QCOMPARE(fields.mode, QByteArray(modeName(decoded->mode)));
    }
}

QTEST_GUILESS_MAIN(TestConfigString)
#include "tst_configstring.moc"
