#include "widgets/enterpresses.h"

#include <QKeyEvent>
#include <QPushButton>

namespace zanto {

namespace {

class EnterPresses : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const bool bare = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        auto *button = qobject_cast<QPushButton *>(watched);
        if (!enter || !bare || key->isAutoRepeat() || !button || !button->isEnabled())
            return false;
        button->click();
        return true;
    }
};

} // namespace

void pressButtonsOnEnter(QWidget *window)
{
    auto *filter = new EnterPresses(window);
    for (QPushButton *button : window->findChildren<QPushButton *>()) {
        button->setAutoDefault(false);
        button->installEventFilter(filter);
    }
}

} // namespace zanto
