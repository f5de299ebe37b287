// A reader on a desk is rarely quiet: the tool against the simulator
// streaming tag reads, answering in pieces and refusing writes. Every dialog
// says what became of its own command, and what arrives stays in sight.
#include "support/simsession.h"

#include <QApplication>
#include <QPalette>
#include <QRegularExpression>
#include <QScrollBar>

using namespace zanto;

namespace {

// The whole text of a dialog's message line, whatever its box shows.
QString line(QDialog *dialog, const QString &name)
{
    QWidget *label = ui::find(dialog, name);
    return label ? label->property("message").toString() : QStringLiteral("<no %1>").arg(name);
}

const QString Clock = QStringLiteral("\\d\\d:\\d\\d:\\d\\d");

} // namespace

class TestLiveReader : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void dialogsTellTheAnswer_data();
    void dialogsTellTheAnswer();
    void liveRowShowsTheNewestBytes();
    void coloursFromThePalette_data();
    void coloursFromThePalette();
};

void TestLiveReader::dialogsTellTheAnswer_data()
{
    QTest::addColumn<QStringList>("reader"); // the simulator's options
    QTest::addColumn<QString>("dialog");     // config, setup, ethernet
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("lineName");
    QTest::addColumn<QString>("expected"); // a pattern
    const QStringList quiet, stream20{"--stream", "20"};
    QTest::newRow("read, quiet reader") << quiet << "config" << "ReadConfig" << "RequestStatus"
                                        << "^Reply decoded at " + Clock + "\\.$";
    QTest::newRow("read, 20 Hz stream: mixed, the cure said")
        << stream20 << "config" << "ReadConfig" << "RequestStatus"
        << "^Not decoded: reply mixed with tag reads, row of " + Clock
               + " \\(still arriving\\)\\. .*LOFF in Track and Universal.*read again\\.$";
    QTest::newRow("read, reply in two pieces") << QStringList{"--split", "300"} << "config" << "ReadConfig"
                                               << "RequestStatus"
                                               << "^Not decoded: reply in pieces, rows of " + Clock + " and " + Clock;
    QTest::newRow("send, taken") << quiet << "config" << "SendConfig" << "Problem"
                                 << "^The reader answered \"OK/0D/0A\" at " + Clock + "$";
    QTest::newRow("send, refused") << QStringList{"--refuse-writes"} << "config" << "SendConfig" << "Problem"
                                   << "^The reader answered \"ERR config/0D/0A\" at " + Clock
                                          + ": the configuration was not taken$";
    QTest::newRow("send, 20 Hz stream: no pause") << stream20 << "config" << "SendConfig" << "Problem"
                                                  << "^The reader sent \\d+ bytes within 5 s without a pause";
    QTest::newRow("setup tag read") << quiet << "setup" << "Command11" << "Answer"
                                    << "^The reader answered \"SETUP TAG READ OK/0D/0A\" at " + Clock + "$";
    QTest::newRow("Ethernet parameters") << quiet << "ethernet" << "Command1" << "Answer"
                                         << "^The reader answered \"IP 127\\.0\\.0\\.1 MASK";
}

void TestLiveReader::dialogsTellTheAnswer()
{
    QFETCH(QStringList, reader);
    QFETCH(QString, dialog);
    QFETCH(QString, button);
    QFETCH(QString, lineName);
    QFETCH(QString, expected);
    Session s(Transport::Tcp, reader);
    QVERIFY(s.connect(250));
    QDialog *d = dialog == "config" ? s.tool.readerConfig() : dialog == "setup" ? s.tool.setupTag() : s.tool.ethernet();
    QVERIFY(d);
    // Configure Reader asked once on opening; this is the technician's own try.
    QTest::qWait(600);
    QVERIFY(ui::click(ui::find(d, button)));
    const QRegularExpression pattern(expected);
    QTRY_VERIFY2_WITH_TIMEOUT(pattern.match(line(d, lineName)).hasMatch(), qPrintable(line(d, lineName)), 8000);
}

// At 20 Hz the burst never ends: its live row shows how many bytes came so
// far and the newest read, refreshed while it grows.
void TestLiveReader::liveRowShowsTheNewestBytes()
{
    Session s(Transport::Tcp, {"--stream", "20"});
    QVERIFY(s.connect(250));
    const QAbstractItemModel *model = s.grid()->model();
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 1, 4000);
    const QModelIndex hex = model->index(0, 0), text = model->index(0, 1);
    const QRegularExpression newest("TAG 3000E2001234([0-9A-F]{12})\u240D\u240A$");
    QString first;
    QTRY_VERIFY2((first = newest.match(model->data(text).toString()).captured(1), !first.isEmpty()),
                 qPrintable(model->data(text).toString()));
    // A while later the row shows a later read, at its end.
    QTRY_VERIFY_WITH_TIMEOUT(newest.match(model->data(text).toString()).captured(1) > first, 3000);
    QVERIFY2(model->data(hex).toString().endsWith(" 0D 0A"), qPrintable(model->data(hex).toString()));
    QVERIFY2(model->data(hex, Qt::ToolTipRole).toString().contains(" bytes so far"),
             qPrintable(model->data(hex, Qt::ToolTipRole).toString()));
    QCOMPARE(s.grid()->rows(), 1); // still no burst has ended
}

void TestLiveReader::coloursFromThePalette_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

// Under a light and a dark palette the live row and the new-rows marker stay
// readable: their text stands out from their ground by 4.5:1 at least.
void TestLiveReader::coloursFromThePalette()
{
    QFETCH(bool, dark);
    const QPalette before = QApplication::palette();
    QPalette palette = before;
    if (dark) {
        palette.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
        palette.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
        palette.setColor(QPalette::Base, QColor(0x23, 0x23, 0x23));
        palette.setColor(QPalette::AlternateBase, QColor(0x30, 0x30, 0x30));
        palette.setColor(QPalette::Text, QColor(0xF0, 0xF0, 0xF0));
        palette.setColor(QPalette::Button, QColor(0x40, 0x40, 0x40));
        palette.setColor(QPalette::ButtonText, QColor(0xF0, 0xF0, 0xF0));
        palette.setColor(QPalette::Highlight, QColor(0x2A, 0x82, 0xDA));
    }
    QApplication::setPalette(palette);
    {
        Session s(Transport::Tcp, {"--stream", "20"});
        QVERIFY(s.connect(250));
        ReceivedGrid *grid = s.grid();
        QTRY_COMPARE_WITH_TIMEOUT(grid->model()->rowCount(), 1, 4000);
        // The ground as painted, in the margin above the live row's text.
        const QRect cell = grid->visualRect(grid->model()->index(0, 1));
        const QImage shot = grid->viewport()->grab().toImage();
        const QColor ground = shot.pixelColor(cell.center().x(), cell.top() + 1);
        const QColor text = grid->palette().color(QPalette::Text);
        QVERIFY2(ReceivedGrid::contrast(text, ground) >= 4.5,
                 qPrintable(QStringLiteral("%1 on %2").arg(text.name(), ground.name())));
        QVERIFY(ground != grid->palette().color(QPalette::Base)); // the row stands out
        auto *marker = ui::find<QPushButton>(grid, QStringLiteral("NewRowsBelow"));
        QVERIFY(marker);
        QVERIFY(ReceivedGrid::contrast(marker->palette().color(QPalette::ButtonText),
                                       marker->palette().color(QPalette::Button))
                >= 4.5);
    }
    QApplication::setPalette(before);
}

QTEST_MAIN(TestLiveReader)
#include "tst_livereader.moc"
