#include "commands/sendtextdialog.h"

#include "app/answerline.h"
#include "commands/tagdatafield.h"
#include "link/answerwatch.h"
#include "link/readerchannel.h"
#include "protocol/latin1.h"
#include "protocol/tagdata.h"
#include "protocol/textescapes.h"
#include "widgets/editablelist.h"
#include "widgets/enterpresses.h"
#include "widgets/fieldvalidator.h"
#include "widgets/fulltexttips.h"
#include "widgets/messageline.h"
#include "widgets/twips.h"

#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace zanto {

SendTextDialog::SendTextDialog(ReaderChannel *channel, QWidget *parent)
    : QDialog(parent)
    , m_channel(channel)
    , m_answer(new AnswerWatch(channel, ReaderChannel::AnswerWaitMs, this))
{
    setObjectName(QStringLiteral("SendText"));
    setWindowTitle(tr("Send Text"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twips(5400), twips(3420));

    Label1 = new QLabel(tr("Text to send, /xx for a byte (a CR follows it)"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    placeTwips(Label1, 120, 120, 5160, 255);

    Text = new EditableList(this);
    Text->setObjectName(QStringLiteral("Text"));
    Text->setAccessibleName(tr("Text to send"));
    Text->lineEdit()->setValidator(new FieldValidator(Text->lineEdit()));
    Label1->setBuddy(Text);
    placeTwips(Text, 120, 390, 4200, 330);

    Count = new QLineEdit(this);
    Count->setObjectName(QStringLiteral("Count"));
    Count->setReadOnly(true);
    Count->setFocusPolicy(Qt::NoFocus);
    Count->setToolTip(tr("bytes the text stands for"));
    Count->setAccessibleName(Count->toolTip());
    placeTwips(Count, 4440, 390, 840, 330);

    Send = new QPushButton(tr("Send"), this);
    Send->setObjectName(QStringLiteral("Send"));
    placeTwips(Send, 120, 840, 1200, 420);

    Sent = new QListWidget(this);
    Sent->setObjectName(QStringLiteral("Sent"));
    Sent->setAccessibleName(tr("Texts sent"));
    placeTwips(Sent, 120, 1380, 5160, 1320);

    Answer = new MessageLine(this);
    Answer->setObjectName(QStringLiteral("Answer"));
    placeTwips(Answer, 120, 2760, 5160, 600);
    showAnswers(m_answer, Answer);

    connect(Send, &QPushButton::clicked, this, &SendTextDialog::Send_Click);
    connect(Text, &QComboBox::editTextChanged, this, &SendTextDialog::Text_Change);
    // Enter in the text sends it, as a terminal's send line does.
    connect(Text->lineEdit(), &QLineEdit::returnPressed, this, &SendTextDialog::Send_Click);
    pressButtonsOnEnter(this);
    showCutTextsWhole(this);
    Text_Change();
}

void SendTextDialog::Text_Change()
{
    Count->setText(QString::number(tagTextByteCount(Text->currentText())));
}

void SendTextDialog::Send_Click()
{
    const QString typed = Text->currentText();
    const Result<QByteArray> text = toBytes(typed);
    if (!text) {
        Answer->showMessage(tr("Not sent: %1 is not an 8-bit character").arg(text.error()));
        return;
    }
    const QByteArray bytes = parseTagData(*text);
    const bool wentOut = m_channel->send(bytes, LinkRule::TcpFirst);
    commandSent(m_answer, Answer, wentOut);
    if (!wentOut)
        return;
    const QString when = QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss.zzz"));
    Sent->addItem(QStringLiteral("%1  %2").arg(when, QString::fromLatin1(escapedText(bytes + '\r'))));
    Sent->scrollToBottom();
    // The newest text first in the list, each text once; the line is clear
    // for the next text, and Down brings this one back.
    if (const int at = Text->findText(typed, Qt::MatchExactly | Qt::MatchCaseSensitive); at >= 0)
        Text->removeItem(at);
    Text->insertItem(0, typed);
    while (Text->count() > HistoryLength)
        Text->removeItem(Text->count() - 1);
    Text->setEditText(QString());
}

} // namespace zanto
