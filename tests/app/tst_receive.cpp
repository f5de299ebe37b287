// Sending under the link rules, and the receive pipeline: bursts, rows,
// counters and the scroll rule. The tool is worked as a technician works it;
// what it receives comes from the test's own reader on a link.
#include "support/harness.h"
#include "widgets/receivedgrid.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>
#include <QToolTip>

using namespace zanto;

namespace {

enum class Links { None, Serial, Tcp, Both, TcpClosedSerialOpen, TcpClosedOnly };

struct Rig {
    PtyPair pty;
    LoopbackReader reader;
    Tool tool;

    ReceivedGrid *grid() const { return tool.control<ReceivedGrid>(QStringLiteral("MSFlexGrid1")); }
    QString count() const { return tool.text(QStringLiteral("Receive_Count")); }
    QString lastBytes() const { return tool.text(QStringLiteral("Text7")); }

    bool open(Links links)
    {
        switch (links) {
        case Links::None:
            return true;
        case Links::Serial:
            return connectSerial(tool, pty);
        case Links::Tcp:
            return connectTcp(tool, reader);
        case Links::Both:
            return connectBoth(tool, pty, reader);
        case Links::TcpClosedSerialOpen:
        case Links::TcpClosedOnly:
            if (links == Links::TcpClosedSerialOpen && !connectBoth(tool, pty, reader))
                return false;
            if (links == Links::TcpClosedOnly && !connectTcp(tool, reader))
                return false;
            reader.disconnectClient();
            for (int i = 0; i < 300 && tool.status() != QLatin1String("Closed"); ++i)
                QTest::qWait(10);
            return tool.status() == QLatin1String("Closed");
        }
        return false;
    }

    // The reader sends one burst on TCP; true once the window has counted it.
    bool burst(const QByteArray &bytes)
    {
        const QString before = count();
        if (!reader.send(bytes))
            return false;
        for (int i = 0; i < 300 && count() == before; ++i)
            QTest::qWait(10);
        return count() != before;
    }

    // What the reader got on the one link open, at least `size` bytes of it.
    QByteArray takeSent(Links link, qsizetype size)
    {
        if (link == Links::Serial)
            return pty.readAtLeast(size);
        reader.waitForBytes(size);
        const QByteArray got = reader.received();
        reader.clearReceived();
        return got;
    }
};

// Each rule as a technician meets it: a command that goes under it, sent by
// its control. Made ready before any link opens, so nothing else goes out.
QWidget *readyCommandUnder(Tool &tool, LinkRule rule)
{
    switch (rule) {
    case LinkRule::TcpFirst: // "Input 1", shown in every mode
        return tool.button(QStringLiteral("Command3"));
    case LinkRule::BothLinks: // "LOFF", shown from Track mode on
        if (!ui::click(tool.control(QStringLiteral("OptTrack"))))
            return nullptr;
        return tool.button(QStringLiteral("Command10"));
    case LinkRule::SerialFirst: // the configuration write, "Send Setup to Reader"
        if (QDialog *config = tool.readerConfig())
            return ui::find(config, QStringLiteral("SendConfig"));
        return nullptr;
    }
    return nullptr;
}

QByteArray frameUnder(LinkRule rule)
{
    switch (rule) {
    case LinkRule::TcpFirst:
        return "G\r";
    case LinkRule::BothLinks:
        return "LOFF\r";
    case LinkRule::SerialFirst:
        return "C017$$$$SXXXXXC01R4B1\r"; // the starting texts, Standard mode
    }
    return {};
}

// Where a click on a part of the scroll bar lands: the page above or below the
// handle, as the bar shows it now.
QPoint pointOn(const QScrollBar *bar, QStyle::SubControl part)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    if (bar->orientation() == Qt::Horizontal)
        option.state |= QStyle::State_Horizontal;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.upsideDown = bar->invertedAppearance();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar).center();
}

// Characters beyond ASCII, typed as a keyboard layout that has them types
// them: a key press that carries the character.
void typeCharacters(QWidget *field, const QString &text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void clickOn(QScrollBar *bar, QStyle::SubControl part)
{
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, pointOn(bar, part));
}

} // namespace

Q_DECLARE_METATYPE(Links)
Q_DECLARE_METATYPE(zanto::LinkRule)

class TestReceive : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void linkRules_data();
    void linkRules();
    void everyByteValueOnTheWire_data();
    void everyByteValueOnTheWire();
    void burstRows_data();
    void burstRows();
    void pausesSplitBursts();
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
    QWidget *control = readyCommandUnder(rig.tool, rule);
    QVERIFY(control);
    QVERIFY(rig.open(links));
    const QString status = rig.tool.status();
    QVERIFY(ui::click(control));
    QTest::qWait(60);
    const QByteArray frame = frameUnder(rule);
    QCOMPARE(rig.pty.readAvailable(), onSerial ? frame : QByteArray());
    QCOMPARE(rig.reader.received(), onTcp ? frame : QByteArray());
    QCOMPARE(rig.tool.status(), status); // a send reports nothing
    QCOMPARE(rig.grid()->rows(), 1);
}

void TestReceive::everyByteValueOnTheWire_data()
{
    QTest::addColumn<Links>("link");
    QTest::newRow("serial") << Links::Serial;
    QTest::newRow("tcp") << Links::Tcp;
}

// The tag data written by "Write": every byte value, typed as /XX, goes out
// unchanged; 8-bit characters go out one byte each; a character outside 8
// bits is refused where it is typed, never sent altered.
void TestReceive::everyByteValueOnTheWire()
{
    QFETCH(Links, link);
    Rig rig;
    QVERIFY(rig.open(link));
    QWidget *data = rig.tool.control(QStringLiteral("Text6"));
    QPushButton *write = rig.tool.button(QStringLiteral("Command17"));
    QByteArray all;
    QString typed;
    for (int b = 0; b < 256; ++b) {
        all.append(char(b));
        typed += QStringLiteral("/%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    }
    QVERIFY(ui::type(data, typed));
    QVERIFY(ui::click(write));
    // 256 bytes: the length characters are 48 + 25 ("I") and 48 + 6 ("6").
    QCOMPARE(rig.takeSent(link, 4 + 256 + 3), QByteArray("W0I6") + all + "R4\r");

    QVERIFY(ui::type(data, QString()));
    typeCharacters(data, QString::fromLatin1("\xE9\xFF"));
    QVERIFY(ui::click(write));
    QCOMPARE(rig.takeSent(link, 9), QByteArray("W002\xE9\xFFR4\r"));

    QVERIFY(ui::type(data, QStringLiteral("A")));
    // The euro sign pressed: refused, and the field says which character it was.
    QTest::sendKeyEvent(QTest::Press, data, Qt::Key_unknown, QStringLiteral("\u20AC"), Qt::NoModifier);
    QVERIFY2(QToolTip::text().contains(QLatin1String("U+20AC")), qPrintable(QToolTip::text()));
    QTest::sendKeyEvent(QTest::Release, data, Qt::Key_unknown, QStringLiteral("\u20AC"), Qt::NoModifier);
    QTest::keyClicks(data, QStringLiteral("B"));
    QCOMPARE(ui::text(data), QStringLiteral("AB"));
    QVERIFY(ui::click(write));
    QCOMPARE(rig.takeSent(link, 8), QByteArray("W002ABR4\r"));
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
    ReceivedGrid *grid = rig.grid();
    QAbstractItemModelTester tester(grid->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(rig.tool.setQuietInterval(40));
    QVERIFY(rig.open(Links::Serial));
    QVERIFY(rig.pty.write(bytes));
    QTRY_COMPARE(rig.count(), QStringLiteral("1"));
    QCOMPARE(rig.lastBytes(), QString::number(bytes.size()));
    QTRY_COMPARE(grid->model()->rowCount(), 1);
    const QAbstractItemModel *model = grid->model();
    QCOMPARE(model->data(model->index(0, 0)).toString(), hex);
    QCOMPARE(model->data(model->index(0, 1)).toString(), text);
    QCOMPARE(grid->receivedModel()->store().row(0).bytes(), bytes);
}

void TestReceive::pausesSplitBursts()
{
    Rig rig;
    QVERIFY(rig.tool.setQuietInterval(150));
    QVERIFY(rig.open(Links::Tcp));
    ReceivedGrid *grid = rig.grid();
    // Many pieces with short gaps: one burst.
    for (char c : QByteArray("0028UUUU")) {
        rig.reader.send(QByteArray(1, c));
        QTest::qWait(15);
    }
    QTRY_COMPARE(rig.count(), QStringLiteral("1"));
    QCOMPARE(rig.lastBytes(), QStringLiteral("8"));
    QCOMPARE(grid->rows(), 2);
    // A pause longer than the interval inside a reply: two rows.
    rig.reader.send("AB");
    QTest::qWait(400);
    rig.reader.send("CD");
    QTRY_COMPARE(rig.count(), QStringLiteral("3"));
    QCOMPARE(grid->rows(), 4);
    QCOMPARE(grid->receivedModel()->store().row(1).bytes(), QByteArray("AB"));
    QCOMPARE(grid->receivedModel()->store().row(2).bytes(), QByteArray("CD"));
}

void TestReceive::scrollRule()
{
    Rig rig;
    ReceivedGrid *grid = rig.grid();
    // A grid four rows tall, so that these few rows can scroll it.
    const int rowHeight = grid->verticalHeader()->defaultSectionSize();
    grid->setFixedHeight(grid->horizontalHeader()->height() + 4 * rowHeight + 2 * grid->frameWidth()
                         + grid->horizontalScrollBar()->sizeHint().height());
    QVERIFY(rig.tool.setQuietInterval(10));
    QVERIFY(rig.open(Links::Tcp));
    for (int i = 1; i <= 4; ++i)
        QVERIFY(rig.burst(QByteArray::number(i)));
    // Four rows before the fourth burst (header and three): no scrolling.
    QCOMPARE(grid->rows(), 5);
    QCOMPARE(grid->topRow(), 1);
    QVERIFY(rig.burst("5"));
    // Five rows before it: row 2 became the top row, so rows 2 to 5 are in view.
    QCOMPARE(grid->rows(), 6);
    QCOMPARE(grid->topRow(), 2);
    QVERIFY(rig.burst("6"));
    QCOMPARE(grid->topRow(), 3);
}

// In a grid of its real size, every batch leaves the newest row whole in view.
void TestReceive::newestRowStaysWholeInView()
{
    Rig rig;
    QVERIFY(rig.tool.setQuietInterval(5));
    QVERIFY(rig.open(Links::Tcp));
    ReceivedGrid *grid = rig.grid();
    const auto newestInView = [grid] {
        const QRect newest = grid->visualRect(grid->model()->index(grid->model()->rowCount() - 1, 0));
        return newest.top() >= 0 && newest.bottom() < grid->viewport()->height();
    };
    for (int i = 1; i <= 40; ++i) {
        rig.reader.send(QByteArray::number(i));
        QTRY_COMPARE(grid->model()->rowCount(), i);
        QVERIFY2(newestInView(), qPrintable(QStringLiteral("burst %1").arg(i)));
    }
    // A burst that keeps growing comes in as a live row below them.
    QVERIFY(rig.tool.setQuietInterval(250));
    QTimer feed;
    connect(&feed, &QTimer::timeout, &rig.reader, [&rig] { rig.reader.send("TAG\r\n"); });
    feed.start(50);
    QTRY_COMPARE_WITH_TIMEOUT(grid->model()->rowCount(), 41, 3000);
    QVERIFY(newestInView());
}

// Scrolled up, or with rows selected, the view stays where the user put it;
// the marker counts the rows below, and leads back to them.
void TestReceive::heldViewStaysPut()
{
    Rig rig;
    QVERIFY(rig.tool.setQuietInterval(5));
    QVERIFY(rig.open(Links::Tcp));
    ReceivedGrid *grid = rig.grid();
    QScrollBar *bar = grid->verticalScrollBar();
    auto *marker = ui::find<QPushButton>(grid, QStringLiteral("NewRowsBelow"));
    QVERIFY(marker);
    int bursts = 0;
    const auto burst = [&] {
        rig.reader.send("row " + QByteArray::number(++bursts));
        QTRY_COMPARE(rig.count(), QString::number(bursts));
    };
    for (int i = 0; i < 40; ++i)
        burst();
    QCOMPARE(bar->value(), bar->maximum());
    clickOn(bar, QStyle::SC_ScrollBarSubPage); // the user scrolls up a page
    const int looked = bar->value();
    QVERIFY(looked < bar->maximum());
    for (int i = 0; i < 3; ++i)
        burst();
    QCOMPARE(bar->value(), looked);
    QVERIFY(marker->isVisible());
    QCOMPARE(marker->text(), QString::fromUtf8("\u2193 3 new rows below"));
    // In the view's lower right corner, also after the grid changes size.
    const auto inCorner = [grid, marker] {
        const QRect area = grid->viewport()->geometry(), at = marker->geometry();
        return area.contains(at) && at.left() > area.center().x() && at.top() > area.center().y();
    };
    QVERIFY(inCorner());
    grid->resize(grid->width() - 120, grid->height() - 60);
    QVERIFY(inCorner());

    // Back at the bottom, page by page: following again.
    for (int i = 0; i < 10 && bar->value() < bar->maximum(); ++i)
        clickOn(bar, QStyle::SC_ScrollBarAddPage);
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(!marker->isVisible());
    burst();
    QCOMPARE(bar->value(), bar->maximum());

    // A click on a row in view selects it; the view still follows the
    // newest rows, and the row stays selected as it scrolls up.
    const QModelIndex inView = grid->indexAt(QPoint(1, grid->viewport()->height() / 2));
    QVERIFY(inView.isValid());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, grid->visualRect(inView).center());
    QVERIFY(grid->selectionModel()->isRowSelected(inView.row(), QModelIndex()));
    burst();
    burst();
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(!marker->isVisible());
    QVERIFY(grid->selectionModel()->isRowSelected(inView.row(), QModelIndex()));
    // Scrolled up with the row selected: held, and the marker leads back
    // without dropping the selection.
    clickOn(bar, QStyle::SC_ScrollBarSubPage);
    const int held = bar->value();
    burst();
    burst();
    QCOMPARE(bar->value(), held);
    QCOMPARE(marker->text(), QString::fromUtf8("\u2193 2 new rows below"));
    QVERIFY(ui::click(marker));
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(!marker->isVisible());
    QVERIFY(grid->selectionModel()->isRowSelected(inView.row(), QModelIndex()));
}

// A burst that keeps growing past a second shows as a live last row; its end
// makes it an ordinary row. Counters and rows still count whole bursts.
void TestReceive::growingBurstShowsLive()
{
    Rig rig;
    ReceivedGrid *grid = rig.grid();
    QAbstractItemModelTester tester(grid->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(rig.tool.setQuietInterval(250));
    QVERIFY(rig.open(Links::Tcp));
    const QAbstractItemModel *model = grid->model();
    QTimer feed;
    QByteArray sent;
    connect(&feed, &QTimer::timeout, &rig.reader, [&] {
        const QByteArray read = "TAG " + QByteArray::number(sent.size()) + "\r\n";
        sent += read;
        rig.reader.send(read);
    });
    feed.start(50);
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 1, 3000);
    QCOMPARE(rig.count(), QString()); // no burst has ended
    QCOMPARE(grid->rows(), 1);        // nor is there a row yet
    const QModelIndex live = model->index(0, 1);
    QVERIFY(model->data(live, Qt::ToolTipRole).toString().startsWith("Still arriving since "));
    QCOMPARE(model->data(live, Qt::AccessibleDescriptionRole).toString(), QStringLiteral("still arriving"));
    const QString seen = model->data(live, Qt::ToolTipRole).toString();
    // It grows, and the view hears of it as it does, not only at its end.
    QSignalSpy refreshed(model, &QAbstractItemModel::dataChanged);
    QTRY_VERIFY(model->data(model->index(0, 1), Qt::ToolTipRole).toString() != seen);
    QTRY_VERIFY(refreshed.size() >= 2);
    QCOMPARE(refreshed.last().at(0).value<QModelIndex>().row(), 0);
    feed.stop();
    QTRY_COMPARE(rig.count(), QStringLiteral("1"));
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(grid->receivedModel()->store().row(0).bytes(), sent);
    QVERIFY(model->data(model->index(0, 1), Qt::ToolTipRole).toString().startsWith("Arrived "));
    QCOMPARE(model->data(model->index(0, 1), Qt::AccessibleDescriptionRole).toString(), QString());
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
    QTRY_COMPARE(rig.count(), QStringLiteral("3"));
    QCOMPARE(rig.lastBytes(), QStringLiteral("10"));
    const ReceivedStore &store = rig.grid()->receivedModel()->store();
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
    Rig rig;
    QVERIFY(rig.tool.setQuietInterval(10));
    QVERIFY(rig.open(Links::Tcp));
    ReceivedGrid *grid = rig.grid();
    for (int i = 0; i < 3; ++i) {
        rig.reader.send("abc");
        QTRY_COMPARE(rig.count(), QString::number(i + 1));
    }
    QVERIFY(ui::click(rig.tool.button(QStringLiteral("Command9"))));
    QCOMPARE(grid->rows(), 1);
    QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("HEX"));
    QCOMPARE(rig.count(), QStringLiteral("3"));
    QCOMPARE(rig.lastBytes(), QStringLiteral("3"));
    rig.reader.send("z");
    QTRY_COMPARE(rig.count(), QStringLiteral("4"));
    QCOMPARE(grid->rows(), 2);
    QCOMPARE(grid->receivedModel()->store().row(0).bytes(), QByteArray("z"));
}

QTEST_MAIN(TestReceive)
#include "tst_receive.moc"
