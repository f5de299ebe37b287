#pragma once

#include <QPushButton>

namespace zanto {

// A push button whose caption wraps onto several lines when the button is too
// narrow for it, as the bottom row's tall buttons need ("Boot String" in 12 pt).
// text() stays the exact caption.
class WrapButton : public QPushButton
{
    Q_OBJECT
public:
    explicit WrapButton(const QString &text, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace zanto
