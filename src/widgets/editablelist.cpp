#include "widgets/editablelist.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

namespace zanto {

EditableList::EditableList(QWidget *parent)
    : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // The completer completes inline (Tab then keeps "50" for a typed "5") and
    // matches without regard to case; the list's own matching at the end of an
    // edit picks the entry equal to the text. Neither may touch a typed text.
    setCompleter(nullptr);
    disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
    disconnect(lineEdit(), &QLineEdit::returnPressed, this, nullptr);
    // A wheel passing over the field must not change it, nor take the focus.
    setFocusPolicy(Qt::StrongFocus);
}

int EditableList::shownEntry() const
{
    return findText(currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void EditableList::step(int delta)
{
    const int entries = count();
    if (entries == 0)
        return;
    const int from = shownEntry();
    // A text that is no entry steps onto the list from the end the key points at.
    const int to = from < 0 ? (delta > 0 ? 0 : entries - 1) : qBound(0, from + delta, entries - 1);
    if (to == from)
        return;
    setCurrentIndex(to);
    // The list's own position may already be there while the text is not.
    if (currentText() != itemText(to))
        setEditText(itemText(to));
    Q_EMIT activated(to);
    Q_EMIT textActivated(itemText(to));
}

void EditableList::keyPressEvent(QKeyEvent *event)
{
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (plain) {
        switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_PageUp:
            step(-1);
            event->accept();
            return;
        case Qt::Key_Down:
        case Qt::Key_PageDown:
            step(+1);
            event->accept();
            return;
        default:
            break;
        }
    }
    QComboBox::keyPressEvent(event);
}

void EditableList::wheelEvent(QWheelEvent *event)
{
    if (!hasFocus()) {
        event->ignore(); // the window behind scrolls instead
        return;
    }
    const int dy = event->angleDelta().y();
    if (dy != 0)
        step(dy > 0 ? -1 : +1);
    event->accept();
}

void EditableList::showPopup()
{
    const int shown = shownEntry();
    // Same text, so moving the list's position there changes nothing shown.
    if (shown >= 0 && shown != currentIndex())
        setCurrentIndex(shown);
    QComboBox::showPopup();
    if (shown < 0 && view()) {
        view()->selectionModel()->clearSelection();
        view()->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
}

} // namespace zanto
