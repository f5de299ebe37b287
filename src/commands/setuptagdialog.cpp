#include "commands/setuptagdialog.h"

#include "app/answerline.h"
#include "link/answerwatch.h"
#include "link/readerchannel.h"
#include "protocol/commands.h"
#include "widgets/enterpresses.h"
#include "widgets/messageline.h"
#include "widgets/twips.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QPushButton>

namespace zanto {

SetupTagDialog::SetupTagDialog(ReaderChannel *channel, QWidget *parent)
    : QDialog(parent)
    , m_channel(channel)
    , m_answer(new AnswerWatch(channel, ReaderChannel::AnswerWaitMs, this))
{
    setObjectName(QStringLiteral("readwritesetuptag"));
    setWindowTitle(QStringLiteral("Read/Write Setup Tag"));
    setAttribute(Qt::WA_DeleteOnClose);
    // One line below the frame says what the reader answered.
    setFixedSize(twips(4680), twips(2205 + AnswerLineTwips));

    frame4 = new QGroupBox(QStringLiteral("Setup Tags"), this);
    frame4->setObjectName(QStringLiteral("frame4"));
    placeTwips(frame4, 0, 0, 4575, 2055);

    // The read button comes first in the keyboard order, though it stands
    // below: the order of creation is the keyboard order.
    Command11 = new QPushButton(QStringLiteral("Read setup tag,M"), frame4);
    Command11->setObjectName(QStringLiteral("Command11"));
    placeTwips(Command11, 120, 1080, 4335, 855);

    Command5 = new QPushButton(QStringLiteral("Write setup tag (With_Act_Config)"), frame4);
    Command5->setObjectName(QStringLiteral("Command5"));
    placeTwips(Command5, 120, 240, 4335, 735);

    Answer = new MessageLine(this);
    Answer->setObjectName(QStringLiteral("Answer"));
    placeTwips(Answer, 120, 2205, 4440, AnswerLineTwips - 30);
    showAnswers(m_answer, Answer);

    connect(Command11, &QPushButton::clicked, this, &SetupTagDialog::Command11_Click);
    connect(Command5, &QPushButton::clicked, this, &SetupTagDialog::Command5_Click);
    pressButtonsOnEnter(this);
}

void SetupTagDialog::Command11_Click()
{
    sent(m_channel->send(commandText(ReaderCommand::ReadSetupTag), commandRule(ReaderCommand::ReadSetupTag)));
}

void SetupTagDialog::Command5_Click()
{
    sent(m_channel->send(commandText(ReaderCommand::WriteSetupTag), commandRule(ReaderCommand::WriteSetupTag)));
}

void SetupTagDialog::sent(bool wentOut)
{
    commandSent(m_answer, Answer, wentOut);
}

void SetupTagDialog::closeEvent(QCloseEvent *event)
{
    event->accept();
}

} // namespace zanto
