// A technician's session from end to end: the tool against the reader
// simulator, over TCP and over a serial line.
#include "app/mainwindow.h"
#include "commands/setuptagdialog.h"
#include "config/readerconfigdialog.h"
#include "ethernet/ethernetsettingsdialog.h"
#include "widgets/receivedgrid.h"
#include "support/harness.h"
#include "support/simprocess.h"
#include "support/testdir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>

using namespace zanto;

namespace {

enum class Transport { Tcp, Serial };

struct Session {
    TestDir dir;
    QString link; // set while the simulator's arguments are made, so before it
    SimulatorProcess sim;
    MainWindow w;
    Transport transport;

    Session(Transport t, const QStringList &extra = {})
        : sim(QStringLiteral(ZANTO_SIM_PATH), arguments(t, extra))
        , transport(t)
    {
        w.Text1->setText(QStringLiteral("80"));
    }

    QStringList arguments(Transport t, const QStringList &extra)
    {
        QStringList args{QStringLiteral("--quiet")};
        if (t == Transport::Tcp)
            args << QStringLiteral("--tcp") << QStringLiteral("0");
        else
            args << QStringLiteral("--pty") << QStringLiteral("--link") << (link = dir.filePath(QStringLiteral("reader-link")));
        return args + extra;
    }

    bool connect()
    {
        if (!sim.start())
            return false;
        if (transport == Transport::Tcp) {
            selectTcp(w, QString::number(sim.port()));
            w.Command1_Click();
            for (int i = 0; i < 300 && !w.link()->tcpConnected(); ++i)
                QTest::qWait(10);
            return w.link()->tcpConnected();
        }
        selectSerial(w, link, QStringLiteral("115200"));
        w.Command1_Click();
        return w.link()->serialOpen();
    }

    // The bytes of the newest row, once `rows` rows are there.
    QByteArray rowWhen(int rows)
    {
        for (int i = 0; i < 500 && w.MSFlexGrid1->rows() - 1 < rows; ++i)
            QTest::qWait(10);
        const ReceivedStore &store = w.MSFlexGrid1->receivedModel()->store();
        return store.rowCount() >= rows ? store.row(rows - 1).bytes() : QByteArray("<no row>");
    }
    int rows() const { return w.MSFlexGrid1->rows() - 1; }
};

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
    MainWindow &w = s.w;
    w.OptUniversal->click();

    // Every test button gets its answer, one row each.
    const QList<QPair<QPushButton *, QByteArray>> buttons{
        {w.Command3, "IN1 0"}, {w.Command4, "IN2 0"}, {w.Command6, "IN1+ 0"}, {w.S, "ZANTO READER"},
        {w.Command8, "LON"},   {w.Command10, "LOFF"}, {w.Command7, "IN3 0"},  {w.ButH, "H"},
    };
    for (const auto &[button, answer] : buttons) {
        const int before = s.rows();
        button->click();
        const QByteArray row = s.rowWhen(before + 1);
        QVERIFY2(row.startsWith(answer), row.constData());
        QVERIFY(row.endsWith("\r\n"));
    }

    // Tag writes in both forms.
    w.Text6->setText(QStringLiteral("AB/0DC"));
    w.Command17->click();
    QCOMPARE(s.rowWhen(s.rows() + 1), QByteArray("W OK 4\r\n"));
    w.ChkMini->click();
    w.Text6->setText(QStringLiteral("12345"));
    w.Command17->click();
    QCOMPARE(s.rowWhen(s.rows() + 1), QByteArray("w OK 5\r\n"));

    // Configure Reader: opening asks, the reply fills it and sets the mode.
    w.mnuConfigReader->trigger();
    ReaderConfigDialog *config = w.existingReaderConfig();
    QVERIFY(config);
    QTRY_VERIFY(w.OptStandard->isChecked());
    QCOMPARE(config->fieldText(ConfigField::Mode), QStringLiteral("Standard"));
    QCOMPARE(config->fieldText(ConfigField::ReaderName), QStringLiteral("XXXXX"));

    // Edit, send, read back.
    config->setFieldText(ConfigField::Mode, QByteArray("Track"));
    config->Mode_Click();
    config->setFieldText(ConfigField::ReaderName, QByteArray("DOCK7"));
    config->setFieldText(ConfigField::BaudRate, QByteArray("115200"));
    config->setFieldText(ConfigField::RS485Mode, QByteArray("2-wire"));
    config->setFieldText(ConfigField::Frequency, QByteArray("Frequency hopping all sub-bands"));
    config->setFieldText(ConfigField::ReadRange, QByteArray("60%"));
    config->setFieldText(ConfigField::StringLength, QByteArray("Data+Mark"));
    config->setFieldText(ConfigField::TermChar, QByteArray("0A"));
    config->setFieldText(ConfigField::HeadChar, QByteArray("02"));
    config->setFieldText(ConfigField::HandShake, QByteArray("06"));
    config->setFieldText(ConfigField::TagsToRead, QByteArray("3"));
    const ConfigFields edited = config->fields();
    int before = s.rows();
    config->SendConfig_Click();
    QCOMPARE(s.rowWhen(before + 1), QByteArray("OK\r\n"));
    // Forget the texts on screen, then ask the reader.
    config->setFieldText(ConfigField::ReaderName, QByteArray("?????"));
    config->setFieldText(ConfigField::Mode, QByteArray("Standard"));
    w.OptStandard->click();
    config->ReadConfig_Click();
    QTRY_VERIFY(w.OptTrack->isChecked());
    QCOMPARE(config->fields(), edited);

    // Keep it in a file and bring it back.
    config->WriteToFile_Click();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(s.dir.filePath(QStringLiteral("DOCK7.zq"))), 3000);
    QTRY_VERIFY(!config->File1->findItems(QStringLiteral("DOCK7.zq"), Qt::MatchExactly).isEmpty());
    config->setFieldText(ConfigField::ReaderName, QByteArray("OTHER"));
    config->setFieldText(ConfigField::TermChar, QByteArray("FF"));
    config->File1->setCurrentItem(config->File1->findItems(QStringLiteral("DOCK7.zq"), Qt::MatchExactly).first());
    config->LoadFile_Click();
    QCOMPARE(config->fields(), edited);

    // Setup tag and Ethernet.
    w.mnuConfigureSetupTag->trigger();
    before = s.rows();
    w.existingSetupTag()->Command11->click();
    QVERIFY(s.rowWhen(before + 1).startsWith("SETUP TAG READ"));
    w.mnuEthernet->trigger();
    before = s.rows();
    w.existingEthernetSettings()->Command1->click();
    QVERIFY(s.rowWhen(before + 1).startsWith("IP "));
}

void TestEndToEnd::splitReplies_data()
{
    QTest::addColumn<int>("pauseMs");
    QTest::addColumn<bool>("decoded");
    QTest::newRow("short pause: one burst, decoded") << 40 << true;
    QTest::newRow("long pause: two bursts, not decoded") << 600 << false;
}

void TestEndToEnd::splitReplies()
{
    QFETCH(int, pauseMs);
    QFETCH(bool, decoded);
    Session s(Transport::Tcp, {QStringLiteral("--split"), QString::number(pauseMs)});
    s.w.Text1->setText(QStringLiteral("250"));
    QVERIFY(s.connect());
    s.w.OptUniversal->click();
    s.w.SendToReader(QByteArrayLiteral("L"), LinkRule::TcpFirst);
    if (decoded) {
        QTRY_VERIFY_WITH_TIMEOUT(s.w.OptStandard->isChecked(), 3000);
        QCOMPARE(s.rowWhen(1), QByteArray("0017$$$$SXXXXXC01R4B1\r"));
        QVERIFY(s.w.existingReaderConfig()); // created hidden by the reply
        QVERIFY(!s.w.existingReaderConfig()->isVisible());
    } else {
        s.rowWhen(2);
        QCOMPARE(s.rows(), 2);
        QCOMPARE(s.w.MSFlexGrid1->receivedModel()->store().row(0).bytes() + s.w.MSFlexGrid1->receivedModel()->store().row(1).bytes(),
                 QByteArray("0017$$$$SXXXXXC01R4B1\r"));
        QVERIFY(s.w.OptUniversal->isChecked());
        QVERIFY(!s.w.existingReaderConfig());
    }
}

void TestEndToEnd::rebootDropsTheConnection()
{
    Session s(Transport::Tcp);
    QVERIFY(s.connect());
    s.w.mnuEthernet->trigger();
    s.w.existingEthernetSettings()->Reboot->click();
    QTRY_COMPARE(s.w.Connect_Error->text(), QStringLiteral("Closed"));
    QCOMPARE(s.rowWhen(1), QByteArray("RESET\r\n"));
    // The reader is back: Disconnect, Connect, and it answers.
    s.w.Command1_Click();
    s.w.Command1_Click();
    QTRY_VERIFY(s.w.link()->tcpConnected());
    s.w.S_Click();
    QVERIFY(s.rowWhen(2).startsWith("ZANTO READER"));
}

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
