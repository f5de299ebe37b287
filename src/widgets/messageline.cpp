#include "widgets/messageline.h"

#include <QFontMetrics>
#include <QTextLayout>

namespace zanto {

MessageLine::MessageLine(QWidget *parent)
    : QLabel(parent)
{
    setWordWrap(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
}

void MessageLine::showMessage(const QString &text)
{
    m_text = text;
    fit();
}

void MessageLine::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    fit();
}

void MessageLine::fit()
{
    const QFontMetrics metrics(font());
    const int width = qMax(1, contentsRect().width());
    const int lines = qMax(1, contentsRect().height() / qMax(1, metrics.lineSpacing()));
    // Laid out as the label would wrap it, at word boundaries where it can.
    QTextLayout layout(m_text, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList shown;
    bool cut = false;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (shown.size() == lines - 1) {
            const QString rest = m_text.mid(line.textStart());
            const QString elided = metrics.elidedText(rest, Qt::ElideRight, width);
            cut = elided != rest;
            shown << elided;
            break;
        }
        shown << m_text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    setText(shown.join(QLatin1Char('\n')));
    setToolTip(cut ? m_text : QString());
}

} // namespace zanto
