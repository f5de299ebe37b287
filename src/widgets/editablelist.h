#pragma once

#include <QComboBox>

namespace zanto {

// An editable drop-down list whose text is exactly what the user typed or
// picked. The list entries are suggestions only: nothing completes a typed
// text, folds its case or swaps it for an entry that merely starts the same,
// whatever key or click follows. Stepping with the arrow keys (and Page Up and
// Page Down, or the wheel while the list has the focus) starts from the entry
// whose text is shown now, and is a pick like a click in the popup: both emit
// activated(). Enter after typing is no pick.
class EditableList : public QComboBox
{
    Q_OBJECT
public:
    explicit EditableList(QWidget *parent = nullptr);

    // The entry whose text equals the shown text exactly, or -1.
    int shownEntry() const;

    // The popup opens on the entry shown (none when the text matches none).
    void showPopup() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void step(int delta);
};

} // namespace zanto
