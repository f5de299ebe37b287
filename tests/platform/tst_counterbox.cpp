// The counters' box: every digit of the number stays in view, in the largest
// font up to the full size that holds them all, whatever the number before
// it and however the box is resized.
#include "widgets/counterbox.h"

#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>

using namespace zanto;

namespace {

constexpr int FullPoints = 24;

// A counter box that says how wide the space for its text is: the style's
// contents less the text margins and the two pixels a line edit keeps clear
// on each side. Text wider than that is scrolled or cut.
class Box : public CounterBox
{
public:
    explicit Box(QWidget *parent) : CounterBox(FullPoints, parent) {}
    int textRoom()
    {
        QStyleOptionFrame option;
        initStyleOption(&option);
        const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
        return contents.width() - textMargins().left() - textMargins().right() - 2 * 2;
    }
};

} // namespace

class TestCounterBox : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyDigitInView_data();
    void everyDigitInView();
    void mouseSelectsNothing();
};

void TestCounterBox::everyDigitInView_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<qint64>("number");
    QTest::addColumn<QString>("text");
    // 57 pixels: the window's counters at 96 dpi.
    QTest::newRow("1 digit") << 57 << qint64(7) << "7";
    QTest::newRow("2 digits") << 57 << qint64(42) << "42";
    QTest::newRow("3 digits") << 57 << qint64(512) << "512";
    QTest::newRow("4 digits") << 57 << qint64(1234) << "1234";
    QTest::newRow("5 digits") << 57 << qint64(32767) << "32767";
    QTest::newRow("6 digits") << 57 << qint64(100000) << "100000";
    QTest::newRow("7 digits") << 57 << qint64(1234567) << "1234567";
    QTest::newRow("7 digits, narrower") << 40 << qint64(9999999) << "9999999";
}

void TestCounterBox::everyDigitInView()
{
    QFETCH(int, width);
    QFETCH(qint64, number);
    QFETCH(QString, text);
    QWidget window;
    Box box(&window);
    window.resize(300, 100);
    window.show();
    const auto fits = [&box](const QString &shown) {
        QCOMPARE(box.text(), shown);
        const int room = box.textRoom();
        const int used = QFontMetrics(box.font()).horizontalAdvance(shown);
        QVERIFY2(used <= room, qPrintable(QStringLiteral("%1: %2 pixels of text in %3").arg(shown).arg(used).arg(room)));
        // No smaller than it must be.
        QFont larger = box.font();
        larger.setPointSize(larger.pointSize() + 1);
        QVERIFY2(larger.pointSize() > FullPoints || QFontMetrics(larger).horizontalAdvance(shown) > room,
                 qPrintable(shown));
    };
    // The font follows the box: a long number shown in a wider box, which
    // then narrows.
    box.resize(width + 30, 45);
    box.showNumber(8888888);
    box.resize(width, 45);
    fits(QStringLiteral("8888888"));
    if (QTest::currentTestFailed())
        return;
    // And the number: the row's number in the same box, after the long one.
    box.showNumber(number);
    fits(text);
}

// The counters take no input: a double click or a drag selects no digit.
void TestCounterBox::mouseSelectsNothing()
{
    Box box(nullptr);
    box.resize(100, 45);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.showNumber(1234);
    QTest::mouseDClick(&box, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    QCOMPARE(box.selectedText(), QString());
    QTest::mousePress(&box, Qt::LeftButton, Qt::NoModifier, QPoint(5, 20));
    QTest::mouseMove(&box, QPoint(90, 20));
    QTest::mouseRelease(&box, Qt::LeftButton, Qt::NoModifier, QPoint(90, 20));
    QCOMPARE(box.selectedText(), QString());
}

QTEST_MAIN(TestCounterBox)
#include "tst_counterbox.moc"
