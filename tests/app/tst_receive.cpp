// Sending under the link rules, and the receive pipeline: bursts, rows,
// counters and the scroll rule.
#include "app/mainwindow.h"
#include "link/receivepipeline.h"
#include "widgets/receivedgrid.h"
#include "support/harness.h"
#include "support/testdir.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QScrollBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace zanto;

namespace {

enum class Links { None, Serial, Tcp, Both, TcpClosedSerialOpen, TcpClosedOnly };

struct Rig {
    TestDir dir;
    PtyPair pty;
    LoopbackReader reader;
    MainWindow w;

    bool open(Links links)
    {
        switch (links) {
        case Links::None:
            return true;
        case Links::Serial:
            return connectSerial(w, pty);
        case Links::Tcp:
            return connectTcp(w, reader);
        case Links::Both:
            return connectBoth(w, pty, reader);
        case Links::TcpClosedSerialOpen:
        case Links::TcpClosedOnly:
            if (links == Links::TcpClosedSerialOpen && !connectBoth(w, pty, reader))
                return false;
            if (links == Links::TcpClosedOnly && !connectTcp(w, reader))
                return false;
            reader.disconnectClient();
            for (int i = 0; i < 300 && w.Connect_Error->text() != QLatin1String("Closed"); ++i)
                QTest::qWait(10);
            return w.Connect_Error->text() == QLatin1String("Closed");
        }
        return false;
    }
};

} // namespace

Q_DECLARE_METATYPE(Links)
Q_DECLARE_METATYPE(zanto::LinkRule)

class TestReceive : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void linkRules_data();
    void linkRules();
    void everyByteValueOnTheWire();
    void burstRows_data();
    void burstRows();
    void pausesSplitBursts();
    void emptyArrivalCountsAnEmptyBurst();
    void scrollRule();
    void newestRowStaysWholeInView();
    void heldViewStaysPut();
    void growingBurstShowsLive();
    void longStreamIsCutIntoFullRows();
    void clearKeepsTheCounter();
};

void TestReceive::linkRules_data()
{
    QTest::addColumn<LinkRule>("rule");
    QTest::addColumn<Links>("links");
    QTest::addColumn<bool>("onTcp");
    QTest::addColumn<bool>("onSerial");
    const struct {
        const char *name;
        LinkRule rule;
    } rules[] = {{"tcp-first", LinkRule::TcpFirst}, {"both-links", LinkRule::BothLinks}, {"serial-first", LinkRule::SerialFirst}};
    for (const auto &r : rules) {
        const bool both = r.rule == LinkRule::BothLinks;
        const bool serialFirst = r.rule == LinkRule::SerialFirst;
        QTest::newRow(QByteArray(r.name) + " no link") << r.rule << Links::None << false << false;
        QTest::newRow(QByteArray(r.name) + " serial only") << r.rule << Links::Serial << false << true;
        QTest::newRow(QByteArray(r.name) + " tcp only") << r.rule << Links::Tcp << true << false;
        QTest::newRow(QByteArray(r.name) + " both") << r.rule << Links::Both << !serialFirst << (both || serialFirst);
        QTest::newRow(QByteArray(r.name) + " tcp closed by reader, serial open") << r.rule << Links::TcpClosedSerialOpen << false << true;
        QTest::newRow(QByteArray(r.name) + " tcp closed by reader only") << r.rule << Links::TcpClosedOnly << false << false;
    }
}

void TestReceive::linkRules()
{
    QFETCH(LinkRule, rule);
    QFETCH(Links, links);
    QFETCH(bool, onTcp);
    QFETCH(bool, onSerial);
    Rig rig;
    QVERIFY(rig.open(links));
    const QString status = rig.w.Connect_Error->text();
    rig.w.SendToReader(QByteArrayLiteral("LOFF"), rule);
    QTest::qWait(60);
    const QByteArray serial = rig.pty.readAvailable();
    QCOMPARE(serial, onSerial ? QByteArray("LOFF\r") : QByteArray());
    QCOMPARE(rig.reader.received(), onTcp ? QByteArray("LOFF\r") : QByteArray());
    QCOMPARE(rig.w.Connect_Error->text(), status); // a send reports nothing
    QCOMPARE(rig.w.MSFlexGrid1->rows(), 1);
}

void TestReceive::everyByteValueOnTheWire()
{
    Rig rig;
    QVERIFY(rig.open(Links::Both));
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    rig.w.SendToReader(all, LinkRule::BothLinks);
    QCOMPARE(rig.pty.readAtLeast(257), all + '\r');
    QVERIFY(rig.reader.waitForBytes(257));
    QCOMPARE(rig.reader.received(), all + '\r');
    // Text handed over as characters goes out one byte per character; a
    // character outside 8 bits is refused, not altered.
    rig.reader.clearReceived();
    rig.w.SendToReader(QString::fromLatin1("\xE9\xFF"), LinkRule::TcpFirst);
    QVERIFY(rig.reader.waitForBytes(3));
    QCOMPARE(rig.reader.received(), QByteArray("\xE9\xFF\r"));
    rig.reader.clearReceived();
    rig.w.SendToReader(QStringLiteral("A\u20ACB"), LinkRule::TcpFirst);
    QTest::qWait(50);
    QCOMPARE(rig.reader.received(), QByteArray());
    QVERIFY(rig.w.Connect_Error->text().contains(QLatin1String("U+20AC")));
}

void TestReceive::burstRows_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("text");
    QTest::newRow("10 CR LF") << QByteArray("10\r\n") << " 31 30 0D 0A" << QString::fromUtf8("10\u240D\u240A");
    QTest::newRow("single 05") << QByteArray("\x05") << " 05" << QString(QChar(0x2405));
    QTest::newRow("00 41") << QByteArray("\x00\x41", 2) << " 00 41" << "A";
    QTest::newRow("only zeros") << QByteArray(4, '\0') << " 00 00 00 00" << "";
    QTest::newRow("high bytes") << QByteArray("\x80\xFE") << " 80 FE" << QString::fromLatin1("\x80\xFE");
    QTest::newRow("tab stays in the text") << QByteArray("a\tb") << " 61 09 62" << QString::fromUtf8("a\u2409b");
    QTest::newRow("delete") << QByteArray("\x7F") << " 7F" << QString(QChar(0x2421));
    QTest::newRow("a space is a space") << QByteArray("A B ") << " 41 20 42 20" << "A B ";
}

void TestReceive::burstRows()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, hex);
    QFETCH(QString, text);
    Rig rig;
    QAbstractItemModelTester tester(rig.w.MSFlexGrid1->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    rig.w.Text1->setText(QStringLiteral("40"));
    QVERIFY(rig.open(Links::Serial));
    QVERIFY(rig.pty.write(bytes));
    QTRY_COMPARE(rig.w.Receive_Count->text(), QStringLiteral("1"));
    QCOMPARE(rig.w.Text7->text(), QString::number(bytes.size()));
    QTRY_COMPARE(rig.w.MSFlexGrid1->model()->rowCount(), 1);
    const QAbstractItemModel *model = rig.w.MSFlexGrid1->model();
    QCOMPARE(model->data(model->index(0, 0)).toString(), hex);
    QCOMPARE(model->data(model->index(0, 1)).toString(), text);
    QCOMPARE(rig.w.MSFlexGrid1->receivedModel()->store().row(0).bytes(), bytes);
}

void TestReceive::pausesSplitBursts()
{
    Rig rig;
    rig.w.Text1->setText(QStringLiteral("150"));
    QVERIFY(rig.open(Links::Tcp));
    // Many pieces with short gaps: one burst.
    for (char c : QByteArray("0028UUUU")) {
        rig.reader.send(QByteArray(1, c));
        QTest::qWait(15);
    }
    QTRY_COMPARE(rig.w.Receive_Count->text(), QStringLiteral("1"));
    QCOMPARE(rig.w.Text7->text(), QStringLiteral("8"));
    QCOMPARE(rig.w.MSFlexGrid1->rows(), 2);
    // A pause longer than the interval inside a reply: two rows.
    rig.reader.send("AB");
    QTest::qWait(400);
    rig.reader.send("CD");
    QTRY_COMPARE(rig.w.Receive_Count->text(), QStringLiteral("3"));
    QCOMPARE(rig.w.MSFlexGrid1->rows(), 4);
    QCOMPARE(rig.w.MSFlexGrid1->receivedModel()->store().row(1).bytes(), QByteArray("AB"));
    QCOMPARE(rig.w.MSFlexGrid1->receivedModel()->store().row(2).bytes(), QByteArray("CD"));
}

void TestReceive::emptyArrivalCountsAnEmptyBurst()
{
    TestDir dir;
    MainWindow w;
    w.Text1->setText(QStringLiteral("20"));
    w.pipeline()->arrival(QByteArray());
    QTRY_COMPARE(w.Receive_Count->text(), QStringLiteral("1"));
    QCOMPARE(w.Text7->text(), QStringLiteral("0"));
    QCOMPARE(w.MSFlexGrid1->rows(), 1);
}

void TestReceive::scrollRule()
{
    TestDir dir;
    MainWindow w;
    w.show();
    // A grid four rows tall, so that it can scroll.
    const int rowHeight = w.MSFlexGrid1->verticalHeader()->defaultSectionSize();
    w.MSFlexGrid1->setFixedHeight(w.MSFlexGrid1->horizontalHeader()->height() + 4 * rowHeight + 2 * w.MSFlexGrid1->frameWidth()
                                  + w.MSFlexGrid1->horizontalScrollBar()->sizeHint().height());
    w.Text1->setText(QStringLiteral("10"));
    auto burst = [&](const QByteArray &bytes) {
        const QString before = w.Receive_Count->text();
        w.pipeline()->arrival(bytes);
        QTRY_VERIFY(w.Receive_Count->text() != before);
        w.MSFlexGrid1->flush();
    };
    for (int i = 1; i <= 4; ++i)
        burst(QByteArray::number(i));
    // Four rows before the fourth burst (header and three): no scrolling.
    QCOMPARE(w.MSFlexGrid1->rows(), 5);
    QCOMPARE(w.MSFlexGrid1->topRow(), 1);
    burst("5");
    // Five rows before it: row 2 became the top row, so rows 2 to 5 are in view.
    QCOMPARE(w.MSFlexGrid1->rows(), 6);
    QCOMPARE(w.MSFlexGrid1->topRow(), 2);
    burst("6");
    QCOMPARE(w.MSFlexGrid1->topRow(), 3);
}

// In a grid of its real size, every batch leaves the newest row whole in view.
void TestReceive::newestRowStaysWholeInView()
{
    TestDir dir;
    MainWindow w;
    w.show();
    w.Text1->setText(QStringLiteral("5"));
    ReceivedGrid *grid = w.MSFlexGrid1;
    for (int i = 1; i <= 40; ++i) {
        w.pipeline()->arrival(QByteArray::number(i));
        QTRY_COMPARE(grid->model()->rowCount(), i);
        const QRect newest = grid->visualRect(grid->model()->index(grid->model()->rowCount() - 1, 0));
        QVERIFY2(newest.top() >= 0 && newest.bottom() < grid->viewport()->height(),
                 qPrintable(QStringLiteral("burst %1: row %2..%3 in a view %4 high").arg(i).arg(newest.top()).arg(newest.bottom()).arg(grid->viewport()->height())));
    }
}

// Scrolled up, or with rows selected, the view stays where the user put it;
// the marker counts the rows below, and leads back to them.
void TestReceive::heldViewStaysPut()
{
    TestDir dir;
    MainWindow w;
    w.show();
    w.Text1->setText(QStringLiteral("5"));
    ReceivedGrid *grid = w.MSFlexGrid1;
    QScrollBar *bar = grid->verticalScrollBar();
    int bursts = 0;
    const auto burst = [&] {
        w.pipeline()->arrival("row " + QByteArray::number(++bursts));
        QTRY_COMPARE(w.Receive_Count->text(), QString::number(bursts));
    };
    for (int i = 0; i < 40; ++i)
        burst();
    QCOMPARE(bar->value(), bar->maximum());
    bar->triggerAction(QAbstractSlider::SliderPageStepSub); // the user scrolls up a page
    const int looked = bar->value();
    QVERIFY(looked < bar->maximum());
    for (int i = 0; i < 3; ++i)
        burst();
    QCOMPARE(bar->value(), looked);
    QVERIFY(grid->newRowsMarker()->isVisible());
    QCOMPARE(grid->newRowsMarker()->text(), QString::fromUtf8("\u2193 3 new rows below"));

    bar->triggerAction(QAbstractSlider::SliderToMaximum); // back at the bottom: following again
    QVERIFY(!grid->newRowsMarker()->isVisible());
    burst();
    QCOMPARE(bar->value(), bar->maximum());

    grid->selectRow(10);
    const int selectedAt = bar->value();
    burst();
    burst();
    QCOMPARE(bar->value(), selectedAt);
    QCOMPARE(grid->newRowsMarker()->text(), QString::fromUtf8("\u2193 2 new rows below"));
    QTest::mouseClick(grid->newRowsMarker(), Qt::LeftButton);
    QVERIFY(!grid->selectionModel()->hasSelection());
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(!grid->newRowsMarker()->isVisible());
}

// A burst that keeps growing past a second shows as a live last row; its end
// makes it an ordinary row. Counters and rows still count whole bursts.
void TestReceive::growingBurstShowsLive()
{
    TestDir dir;
    MainWindow w;
    QAbstractItemModelTester tester(w.MSFlexGrid1->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    w.Text1->setText(QStringLiteral("250"));
    const QAbstractItemModel *model = w.MSFlexGrid1->model();
    QTimer feed;
    QByteArray sent;
    connect(&feed, &QTimer::timeout, &w, [&] {
        const QByteArray read = "TAG " + QByteArray::number(sent.size()) + "\r\n";
        sent += read;
        w.pipeline()->arrival(read);
    });
    feed.start(50);
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 1, 3000);
    QCOMPARE(w.Receive_Count->text(), QString()); // no burst has ended
    QCOMPARE(w.MSFlexGrid1->rows(), 1);           // nor is there a row yet
    const QModelIndex live = model->index(0, 1);
    QVERIFY(model->data(live, Qt::ToolTipRole).toString().startsWith("Still arriving since "));
    const QString seen = model->data(live, Qt::ToolTipRole).toString();
    QTRY_VERIFY(model->data(model->index(0, 1), Qt::ToolTipRole).toString() != seen); // it grows
    feed.stop();
    QTRY_COMPARE(w.Receive_Count->text(), QStringLiteral("1"));
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(w.MSFlexGrid1->receivedModel()->store().row(0).bytes(), sent);
    QVERIFY(model->data(model->index(0, 1), Qt::ToolTipRole).toString().startsWith("Arrived "));
}

void TestReceive::longStreamIsCutIntoFullRows()
{
    Rig rig;
    QVERIFY(rig.open(Links::Tcp));
    QByteArray stream(2 * 32767 + 10, 'x');
    stream[0] = '0'; // a byte of each row's start is checked below
    stream[32767] = '1';
    stream[2 * 32767] = '2';
    rig.reader.send(stream);
    QTRY_COMPARE(rig.w.Receive_Count->text(), QStringLiteral("3"));
    QCOMPARE(rig.w.Text7->text(), QStringLiteral("10"));
    const ReceivedStore &store = rig.w.MSFlexGrid1->receivedModel()->store();
    QCOMPARE(store.rowCount(), 3);
    QCOMPARE(store.row(0).size, 32767);
    QCOMPARE(store.row(1).size, 32767);
    QCOMPARE(store.row(2).size, 10);
    QCOMPARE(store.row(0).data[0], '0');
    QCOMPARE(store.row(1).data[0], '1');
    QCOMPARE(store.row(2).data[0], '2');
}

void TestReceive::clearKeepsTheCounter()
{
    TestDir dir;
    MainWindow w;
    w.Text1->setText(QStringLiteral("10"));
    for (int i = 0; i < 3; ++i) {
        w.pipeline()->arrival("abc");
        QTRY_COMPARE(w.Receive_Count->text(), QString::number(i + 1));
    }
    w.Command9->click();
    QCOMPARE(w.MSFlexGrid1->rows(), 1);
    QCOMPARE(w.MSFlexGrid1->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("HEX"));
    QCOMPARE(w.Receive_Count->text(), QStringLiteral("3"));
    QCOMPARE(w.Text7->text(), QStringLiteral("3"));
    w.pipeline()->arrival("z");
    QTRY_COMPARE(w.Receive_Count->text(), QStringLiteral("4"));
    QCOMPARE(w.MSFlexGrid1->rows(), 2);
    QCOMPARE(w.MSFlexGrid1->receivedModel()->store().row(0).bytes(), QByteArray("z"));
}

QTEST_MAIN(TestReceive)
#include "tst_receive.moc"
