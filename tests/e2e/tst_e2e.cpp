// A technician's session from end to end: the tool against the reader
// simulator, over TCP and over a serial line.
#include "widgets/receivedgrid.h"
#include "support/harness.h"
#include "support/simsession.h"

#include <QComboBox>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>

using namespace zanto;

namespace {

QComboBox *list(QDialog *dialog, const QString &name)
{
    return ui::find<QComboBox>(dialog, name);
}

// What Configure Reader's twelve fields show.
QStringList fieldTexts(QDialog *config)
{
    QStringList texts;
    for (const QString &name : ConfigFieldNames)
        texts << ui::text(ui::find(config, name));
    return texts;
}


// The file clicked in Configure Reader's list.
bool chooseFile(QDialog *config, const QString &name)
{
    auto *files = ui::find<QListWidget>(config, QStringLiteral("File1"));
    const QList<QListWidgetItem *> items = files->findItems(name, Qt::MatchExactly);
    if (items.isEmpty() || !ui::activate(files))
        return false;
    QTest::mouseClick(files->viewport(), Qt::LeftButton, Qt::NoModifier, files->visualItemRect(items.first()).center());
    return items.first()->isSelected();
}

} // namespace

Q_DECLARE_METATYPE(Transport)

class TestEndToEnd : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void session_data();
    void session();
    void splitReplies_data();
    void splitReplies();
    void rebootDropsTheConnection();
};

void TestEndToEnd::session_data()
{
    QTest::addColumn<Transport>("transport");
    QTest::newRow("tcp") << Transport::Tcp;
    QTest::newRow("serial") << Transport::Serial;
}

void TestEndToEnd::session()
{
    QFETCH(Transport, transport);
    Session s(transport);
    QVERIFY(s.connect());
    Tool &tool = s.tool;
    QVERIFY(s.click("OptUniversal"));

    // Every test button gets its answer, one row each.
    const QList<QPair<const char *, QByteArray>> buttons{
        {"Command3", "IN1 0"}, {"Command4", "IN2 0"}, {"Command6", "IN1+ 0"}, {"S", "ZANTO READER"},
        {"Command8", "LON"},   {"Command10", "LOFF"}, {"Command7", "IN3 0"},  {"ButH", "H"},
    };
    for (const auto &[button, answer] : buttons) {
        const int before = s.rows();
        QVERIFY2(s.click(button), button);
        const QByteArray row = s.rowWhen(before + 1);
        QVERIFY2(row.startsWith(answer), row.constData());
        QVERIFY(row.endsWith("\r\n"));
    }

    // Tag writes in both forms.
    QVERIFY(ui::type(tool.control("Text6"), "AB/0DC"));
    QVERIFY(s.click("Command17"));
    QCOMPARE(s.rowWhen(s.rows() + 1), QByteArray("W OK 4\r\n"));
    QVERIFY(s.click("ChkMini"));
    QVERIFY(ui::type(tool.control("Text6"), "12345"));
    QVERIFY(s.click("Command17"));
    QCOMPARE(s.rowWhen(s.rows() + 1), QByteArray("w OK 5\r\n"));

    // Configure Reader: opening asks, the reply fills it and sets the mode.
    QDialog *config = tool.readerConfig();
    QVERIFY(config);
    QTRY_VERIFY(s.checked("OptStandard"));
    QCOMPARE(ui::text(ui::find(config, "Mode")), QStringLiteral("Standard"));
    QCOMPARE(ui::text(ui::find(config, "ReaderName")), QStringLiteral("XXXXX"));

    // Edit, send, read back.
    QVERIFY(ui::pick(list(config, QStringLiteral("Mode")), QStringLiteral("Track")));
    const QList<QPair<const char *, const char *>> typed{
        {"ReaderName", "DOCK7"},
        {"BaudRate", "115200"},
        {"RS485Mode", "2-wire"},
        {"Frequency", "Frequency hopping all sub-bands"},
        {"ReadRange", "60%"},
        {"StringLength", "Data+Mark"},
        {"TermChar", "0A"},
        {"HeadChar", "02"},
        {"HandShake", "06"},
        {"TagsToRead", "3"},
    };
    for (const auto &[name, text] : typed) {
        QVERIFY2(ui::typeAndLeave(ui::find(config, name), text), name);
        QCOMPARE(ui::text(ui::find(config, name)), QLatin1String(text));
    }
    const QStringList edited = fieldTexts(config);
    int before = s.rows();
    QVERIFY(ui::click(ui::find(config, "SendConfig")));
    QCOMPARE(s.rowWhen(before + 1), QByteArray("OK\r\n"));
    // Forget the texts on screen, then ask the reader.
    QVERIFY(ui::typeAndLeave(ui::find(config, "ReaderName"), "?????"));
    QVERIFY(ui::typeAndLeave(ui::find(config, "Mode"), "Standard"));
    QVERIFY(s.click("OptStandard"));
    QVERIFY(ui::click(ui::find(config, "ReadConfig")));
    QTRY_VERIFY(s.checked("OptTrack"));
    QCOMPARE(fieldTexts(config), edited);

    // Keep it in a file and bring it back.
    QVERIFY(ui::click(ui::find(config, "WriteToFile")));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(tool.dir.filePath(QStringLiteral("DOCK7.zq"))), 3000);
    auto *files = ui::find<QListWidget>(config, "File1");
    QTRY_VERIFY(!files->findItems(QStringLiteral("DOCK7.zq"), Qt::MatchExactly).isEmpty());
    QVERIFY(ui::typeAndLeave(ui::find(config, "ReaderName"), "OTHER"));
    QVERIFY(ui::typeAndLeave(ui::find(config, "TermChar"), "FF"));
    QVERIFY(chooseFile(config, QStringLiteral("DOCK7.zq")));
    QVERIFY(ui::click(ui::find(config, "LoadFile")));
    QCOMPARE(fieldTexts(config), edited);

    // Setup tag and Ethernet.
    QDialog *setupTag = tool.setupTag();
    QVERIFY(setupTag);
    before = s.rows();
    QVERIFY(ui::click(ui::find(setupTag, "Command11")));
    QVERIFY(s.rowWhen(before + 1).startsWith("SETUP TAG READ"));
    QDialog *ethernet = tool.ethernet();
    QVERIFY(ethernet);
    before = s.rows();
    QVERIFY(ui::click(ui::find(ethernet, "Command1")));
    QVERIFY(s.rowWhen(before + 1).startsWith("IP "));
}

void TestEndToEnd::splitReplies_data()
{
    QTest::addColumn<int>("pauseMs");
    QTest::addColumn<bool>("decoded");
    QTest::newRow("short pause: one burst, decoded") << 40 << true;
    QTest::newRow("long pause: two bursts, not decoded") << 600 << false;
}

// The reply to a read request, split by the reader with a pause: one burst
// (and decoded) when the pause is shorter than the quiet interval, two (and
// neither decoded) when longer. The request is the one opening Configure
// Reader sends; the dialog is closed at once, so only the reply can make it
// again (hidden).
void TestEndToEnd::splitReplies()
{
    QFETCH(int, pauseMs);
    QFETCH(bool, decoded);
    Session s(Transport::Tcp, {QStringLiteral("--split"), QString::number(pauseMs)});
    QVERIFY(s.connect(250));
    QVERIFY(s.click("OptUniversal"));
    QDialog *asked = s.tool.readerConfig();
    QVERIFY(asked);
    // The dialog's close box.
    QVERIFY(asked->close());
    QTRY_VERIFY_WITH_TIMEOUT(!ui::dialog(&s.tool.w, QStringLiteral("ReaderConfig")), 200);
    if (decoded) {
        QTRY_VERIFY_WITH_TIMEOUT(s.checked("OptStandard"), 3000);
        QCOMPARE(s.rowWhen(1), QByteArray("0017$$$$SXXXXXC01R4B1\r"));
        QDialog *config = ui::dialog(&s.tool.w, QStringLiteral("ReaderConfig"));
        QVERIFY(config); // created hidden by the reply
        QVERIFY(!config->isVisible());
    } else {
        s.rowWhen(2);
        QCOMPARE(s.rows(), 2);
        QCOMPARE(s.row(0) + s.row(1), QByteArray("0017$$$$SXXXXXC01R4B1\r"));
        QVERIFY(s.checked("OptUniversal"));
        QVERIFY(!ui::dialog(&s.tool.w, QStringLiteral("ReaderConfig")));
    }
}

void TestEndToEnd::rebootDropsTheConnection()
{
    Session s(Transport::Tcp);
    QVERIFY(s.connect());
    QDialog *ethernet = s.tool.ethernet();
    QVERIFY(ethernet);
    QVERIFY(ui::click(ui::find(ethernet, "Reboot")));
    QTRY_COMPARE(s.tool.status(), QStringLiteral("Closed"));
    QCOMPARE(s.rowWhen(1), QByteArray("RESET\r\n"));
    // The reader is back: Disconnect, Connect, and it answers.
    QCOMPARE(s.tool.text("Command1"), QStringLiteral("Disconnect"));
    QVERIFY(s.click("Command1"));
    QCOMPARE(s.tool.text("Command1"), QStringLiteral("Connect"));
    QVERIFY(s.click("Command1"));
    QTRY_VERIFY(s.tool.link()->tcpConnected());
    QVERIFY(s.click("S"));
    QVERIFY(s.rowWhen(2).startsWith("ZANTO READER"));
}

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
