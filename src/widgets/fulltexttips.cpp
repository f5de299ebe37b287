#include "widgets/fulltexttips.h"

#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

namespace zanto {

namespace {

constexpr const char *OwnTip = "zantoOwnToolTip";

// Watches one line edit: its text changing, or its box resizing.
class CutTextWatch : public QObject
{
public:
    explicit CutTextWatch(QLineEdit *edit)
        : QObject(edit)
        , m_edit(edit)
    {
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, &CutTextWatch::update);
        update();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_edit && (event->type() == QEvent::Resize || event->type() == QEvent::FontChange))
            update();
        return false;
    }

private:
    // The widget that shows the tooltip: the list for a list's own field.
    QWidget *owner() const
    {
        auto *combo = qobject_cast<QComboBox *>(m_edit->parentWidget());
        return combo && combo->lineEdit() == m_edit ? static_cast<QWidget *>(combo) : m_edit;
    }

    void update()
    {
        QWidget *shown = owner();
        if (!shown->property(OwnTip).isValid())
            shown->setProperty(OwnTip, shown->toolTip());
        QStyleOptionFrame option;
        option.initFrom(m_edit);
        const int room = m_edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, m_edit).width() - 4;
        const bool cut = m_edit->fontMetrics().horizontalAdvance(m_edit->text()) > room;
        shown->setToolTip(cut ? m_edit->text() : shown->property(OwnTip).toString());
    }

    QLineEdit *m_edit;
};

} // namespace

void showCutTextsWhole(QWidget *root)
{
    for (QLineEdit *edit : root->findChildren<QLineEdit *>()) {
        // Read-only boxes say their own piece (counters, the status line).
        if (!edit->isReadOnly())
            new CutTextWatch(edit);
    }
}

} // namespace zanto
