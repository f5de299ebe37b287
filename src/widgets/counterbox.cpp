#include "widgets/counterbox.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionFrame>

namespace zanto {

CounterBox::CounterBox(int fullPoints, QWidget *parent)
    : QLineEdit(parent)
    , m_fullPoints(fullPoints)
{
    setReadOnly(true);
    setFocusPolicy(Qt::NoFocus);
    setContextMenuPolicy(Qt::NoContextMenu);
    QFont f = font();
    f.setPointSize(fullPoints);
    setFont(f);
}

void CounterBox::showNumber(qint64 n)
{
    setText(QString::number(n));
    fitText();
}

void CounterBox::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    fitText();
}

void CounterBox::fitText()
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    // The line edit keeps a small margin on each side of its text area.
    constexpr int InnerMargin = 2;
    const QMargins margins = textMargins();
    const int room = style()->subElementRect(QStyle::SE_LineEditContents, &option, this).width() - 2 * InnerMargin
        - margins.left() - margins.right();
    QFont f = font();
    for (int points = m_fullPoints; points >= 1; --points) {
        f.setPointSize(points);
        if (QFontMetrics(f).horizontalAdvance(text()) <= room)
            break;
    }
    if (f != font())
        setFont(f);
    setCursorPosition(0);
}

// No selection and no caret by the mouse: the counters take no input.
void CounterBox::mousePressEvent(QMouseEvent *event) { event->ignore(); }
void CounterBox::mouseMoveEvent(QMouseEvent *event) { event->ignore(); }
void CounterBox::mouseReleaseEvent(QMouseEvent *event) { event->ignore(); }
void CounterBox::mouseDoubleClickEvent(QMouseEvent *event) { event->ignore(); }

} // namespace zanto
