// A message in a box of fixed size: what fits is shown, a cut message ends in
// "…" with the whole text as the tooltip, and one that fits has no tooltip
// (a stale one would show an older message).
#include "widgets/messageline.h"

#include <QTest>

using namespace zanto;

class TestMessageLine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cutOnlyWithTheWholeText_data();
    void cutOnlyWithTheWholeText();
};

void TestMessageLine::cutOnlyWithTheWholeText_data()
{
    QTest::addColumn<int>("lines"); // the box's height in lines
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("cut");
    const QString sentence = QStringLiteral("Not decoded: reply mixed with tag reads, row of 10:15:02 (still arriving).");
    QTest::newRow("short, one line") << 1 << "OK" << false;
    QTest::newRow("long, one line") << 1 << sentence << true;
    QTest::newRow("longer, two lines") << 2 << sentence + " " + sentence + " " + sentence << true;
    QTest::newRow("long, room for all of it") << 8 << sentence << false;
    QTest::newRow("one long word") << 1 << QString(80, QLatin1Char('W')) << true;
    QTest::newRow("nothing") << 1 << "" << false;
}

void TestMessageLine::cutOnlyWithTheWholeText()
{
    QFETCH(int, lines);
    QFETCH(QString, message);
    QFETCH(bool, cut);
    MessageLine line;
    line.setFixedSize(160, lines * line.fontMetrics().lineSpacing() + 2);
    line.show(); // resized later as the window would, with a resize event
    QVERIFY(QTest::qWaitForWindowExposed(&line));
    // An earlier message that was cut: its tooltip must not stay.
    line.showMessage(QString(200, QLatin1Char('x')));
    line.showMessage(message);
    QCOMPARE(line.message(), message);
    QCOMPARE(line.text().endsWith(QStringLiteral("…")), cut);
    QVERIFY2(line.text().count(QLatin1Char('\n')) < lines, qPrintable(line.text())); // no more lines than the box holds
    QCOMPARE(line.toolTip(), cut ? message : QString());
    if (!cut)
        QCOMPARE(line.text().simplified(), message.simplified());
    // Made wide enough, the same message needs no tooltip any more.
    line.setFixedSize(4000, line.height());
    QCOMPARE(line.toolTip(), QString());
}

QTEST_MAIN(TestMessageLine)
#include "tst_messageline.moc"
