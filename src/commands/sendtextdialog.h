#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace zanto {

class AnswerWatch;
class EditableList;
class MessageLine;
class ReaderChannel;

// "Send Text": a text of the technician's own, with /xx for any byte as in the
// tag data field, sent with one CR on the link the TCP-first rule picks. What
// was sent shows with its time, and so does what the reader answered; the
// texts sent stay in the list for sending again.
class SendTextDialog : public QDialog
{
    Q_OBJECT
public:
    SendTextDialog(ReaderChannel *channel, QWidget *parent = nullptr);

    static constexpr int HistoryLength = 20;

protected:
    void reject() override { close(); }

private:
    void Send_Click();
    void Text_Change();

    ReaderChannel *m_channel;
    AnswerWatch *m_answer;
    QLabel *Label1;
    EditableList *Text;
    QLineEdit *Count;
    QPushButton *Send;
    QListWidget *Sent;
    MessageLine *Answer;
};

} // namespace zanto
