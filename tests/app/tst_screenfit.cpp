// The main window on the screen it is given (a laptop at 150 %, a desktop):
// it opens inside the free area, and where the fixed layout is larger than
// that, the client area scrolls; no control moves or changes size.
#include "support/harness.h"
#include "widgets/twips.h"

#include <QCheckBox>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

class TestScreenFit : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fitsTheScreen();
};

void TestScreenFit::fitsTheScreen()
{
    Tool tool;
    const QRect room = tool.w.screen()->availableGeometry();
    QVERIFY2(room.contains(tool.w.frameGeometry()),
             qPrintable(QStringLiteral("window %1,%2 %3x%4 on %5x%6")
                            .arg(tool.w.frameGeometry().x())
                            .arg(tool.w.frameGeometry().y())
                            .arg(tool.w.frameGeometry().width())
                            .arg(tool.w.frameGeometry().height())
                            .arg(room.width())
                            .arg(room.height())));
    QWidget *client = tool.control("client");
    QCOMPARE(client->size(), QSize(zanto::twips(14325), zanto::twips(7635)));
    auto *scroll = tool.control<QScrollArea>("clientScroll");
    QVERIFY(scroll);
    // 955 x 509 logical pixels and a menu bar: more than a 1366 x 768 screen
    // at 150 % (911 x 512), less than a 1920 x 1080 one.
    const bool small = room.width() < 955;
    QCOMPARE(scroll->horizontalScrollBar()->maximum() > 0, small);
    QCOMPARE(scroll->verticalScrollBar()->maximum() > 0, small);
    if (!small)
        QCOMPARE(scroll->viewport()->size(), client->size());
    // The control at the bottom right is reached by scrolling, where it was.
    auto *mini = tool.control<QCheckBox>("ChkMini");
    QCOMPARE(mini->geometry().topLeft(), QPoint(zanto::twips(13200), zanto::twips(7200)));
    scroll->ensureWidgetVisible(mini);
    const QRect shown(mini->mapTo(scroll->viewport(), QPoint(0, 0)), mini->size());
    QVERIFY(scroll->viewport()->rect().contains(shown));
    QVERIFY(ui::click(mini));
    QVERIFY(mini->isChecked());
}

QTEST_MAIN(TestScreenFit)
#include "tst_screenfit.moc"
