#pragma once

#include <QLineEdit>

namespace zanto {

// A large read-only number: every digit stays in view, the font shrinking from
// its full size only as far as a long number needs. It takes no input (no
// focus, no selection, no menu) yet keeps the text's full contrast, which a
// disabled box would grey out.
class CounterBox : public QLineEdit
{
    Q_OBJECT
public:
    CounterBox(int fullPoints, QWidget *parent = nullptr);

    void showNumber(qint64 n);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void fitText();

    int m_fullPoints;
};

} // namespace zanto
