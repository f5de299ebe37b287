#pragma once

#include <QDialog>

class QGroupBox;
class QPushButton;

namespace zanto {

class AnswerWatch;
class MessageLine;
class ReaderChannel;

// "Read/Write Setup Tag": makes the reader read a setup tag ("M") or write its
// active configuration to one ("K"). Sends and forgets; the answer shows in the
// main window's grid like any other.
class SetupTagDialog : public QDialog
{
    Q_OBJECT
public:
    SetupTagDialog(ReaderChannel *channel, QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override { close(); }

private:
    void Command11_Click();
    void Command5_Click();
    void sent(bool wentOut);

    ReaderChannel *m_channel;
    AnswerWatch *m_answer;
    MessageLine *Answer;
    QGroupBox *frame4;
    QPushButton *Command5;
    QPushButton *Command11;
};

} // namespace zanto
