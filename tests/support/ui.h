#pragma once

// The tool's windows driven as a user drives them: controls found by their
// object names, texts typed with keys over what a field holds, buttons clicked
// with the mouse on a shown window, menus opened with Alt and their letters.
// Nothing here calls into a window's code or sets a text behind its back.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QTest>

namespace ui {

// The control named `name` below `root` (a window, or the main window for its
// dialogs, which are its children); nullptr when there is none.
template <typename T = QWidget> T *find(const QObject *root, const QString &name)
{
    return root->findChild<T *>(name);
}

// A dialog of the main window by its object name ("PortSet", "ReaderConfig",
// "readwritesetuptag", "EthernetSettings"), if it exists now.
inline QDialog *dialog(const QWidget *main, const QString &name)
{
    return main->findChild<QDialog *>(name);
}

// The window is shown and active, as after the user clicked on it.
inline bool activate(QWidget *window)
{
    window = window->window();
    if (!window->isVisible()) {
        window->show();
        if (!QTest::qWaitForWindowExposed(window))
            return false;
    }
    if (QApplication::activeWindow() != window) {
        // What a click on the window does; the offscreen platform does not
        // always follow activateWindow() at once.
        window->activateWindow();
        QApplication::setActiveWindow(window);
        if (!QTest::qWaitForWindowActive(window))
            return false;
    }
    return true;
}

// The user clicks into a field: its window is active and it has the focus.
inline bool focus(QWidget *field)
{
    if (!field || !activate(field))
        return false;
    field->setFocus(Qt::MouseFocusReason);
    return field->hasFocus();
}

// Typed over the field's whole text (Ctrl+A, then the keys). A hidden field
// takes the keys too, as the one hidden field a test types into (the quiet
// interval) needs.
inline bool type(QWidget *field, const QString &text)
{
    if (!field)
        return false;
    if (field->isVisibleTo(field->window())) {
        if (!focus(field))
            return false;
    }
    QWidget *target = field;
    if (auto *combo = qobject_cast<QComboBox *>(field))
        target = combo->lineEdit();
    QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(target, Qt::Key_Delete);
    else
        QTest::keyClicks(target, text);
    return true;
}

// The same, then Tab on to the next control, as a user leaves a field.
inline bool typeAndLeave(QWidget *field, const QString &text)
{
    if (!type(field, text))
        return false;
    QTest::keyClick(field, Qt::Key_Tab);
    return true;
}

// A left click in the middle of a shown, enabled button.
inline bool click(QWidget *button)
{
    if (!button || !activate(button) || !button->isVisible() || !button->isEnabled())
        return false;
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
    return true;
}

// Alt and the menu's letter open it; the item's letter chooses the item.
inline bool chooseMenu(QMainWindow *main, Qt::Key menuLetter, Qt::Key itemLetter)
{
    if (!activate(main))
        return false;
    QTest::keyClick(main, menuLetter, Qt::AltModifier);
    QMenu *open = nullptr;
    for (int i = 0; i < 100 && !open; ++i) {
        open = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!open)
            QTest::qWait(10);
    }
    if (!open)
        return false;
    QTest::keyClick(open, itemLetter);
    return true;
}

// A right click at `pos` in `widget`, given to its window as the system gives
// one (a click sent to the widget itself opens no context menu); the menu it
// opened, or nullptr.
inline QMenu *contextMenu(QWidget *widget, QPoint pos)
{
    if (!widget || !activate(widget))
        return nullptr;
    QWidget *window = widget->window();
    QTest::mouseClick(window->windowHandle(), Qt::RightButton, Qt::NoModifier, widget->mapTo(window, pos));
    QMenu *open = nullptr;
    for (int i = 0; i < 100 && !open; ++i) {
        open = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!open)
            QTest::qWait(10);
    }
    return open;
}

// An entry of an editable list picked with the arrow keys (typing its text
// is no pick): typed, then one step away and back.
inline bool pick(QComboBox *list, const QString &entry)
{
    if (!type(list, entry))
        return false;
    QTest::keyClick(list, Qt::Key_Down);
    if (list->currentText() != entry) {
        QTest::keyClick(list, Qt::Key_Up);
    } else {
        QTest::keyClick(list, Qt::Key_Up);
        QTest::keyClick(list, Qt::Key_Down);
    }
    return list->currentText() == entry;
}

// What a control shows: a field's or list's text, a button's caption, a
// message line's whole message (its box may show it cut, with a tooltip).
inline QString text(const QWidget *control)
{
    if (control && control->property("message").isValid())
        return control->property("message").toString();
    if (auto *edit = qobject_cast<const QLineEdit *>(control))
        return edit->text();
    if (auto *combo = qobject_cast<const QComboBox *>(control))
        return combo->currentText();
    if (auto *button = qobject_cast<const QAbstractButton *>(control))
        return button->text();
    return control ? control->property("text").toString() : QString();
}

} // namespace ui
