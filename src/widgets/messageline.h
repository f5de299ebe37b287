#pragma once

#include <QLabel>

namespace zanto {

// A message in a box of fixed size: as many whole lines as fit, and when the
// text needs more, its last line ends in "…" and the whole text is the
// tooltip. A message is never cut without a word.
class MessageLine : public QLabel
{
    Q_OBJECT
    // The whole message, whatever the box shows of it.
    Q_PROPERTY(QString message READ message)
public:
    explicit MessageLine(QWidget *parent = nullptr);

    void showMessage(const QString &text);
    QString message() const { return m_text; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void fit();

    QString m_text;
};

} // namespace zanto
