#include "app/answerline.h"

#include "link/answerwatch.h"
#include "link/readerchannel.h"
#include "protocol/textescapes.h"
#include "widgets/messageline.h"

#include <QCoreApplication>
#include <QDateTime>

namespace zanto {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("AnswerLine", text);
}

void say(MessageLine *line, const QString &text, bool trouble)
{
    line->setStyleSheet(trouble ? QStringLiteral("color: #a00000;") : QString());
    line->showMessage(text);
}

} // namespace

QString answerText(const QByteArray &answer)
{
    constexpr qsizetype Shown = 120;
    return QString::fromLatin1(escapedText(answer.left(Shown))) + (answer.size() > Shown ? QStringLiteral("\u2026") : QString());
}

QString clockText(qint64 msSinceEpoch)
{
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch).toString(QStringLiteral("hh:mm:ss"));
}

void showAnswers(AnswerWatch *watch, MessageLine *line, const QString &refused)
{
    QObject::connect(watch, &AnswerWatch::answered, line, [line, refused](const QByteArray &answer, qint64 firstArrivalMs) {
        const bool refusal = AnswerWatch::isRefusal(answer);
        say(line,
            tr("The reader answered \"%1\" at %2%3")
                .arg(answerText(answer), clockText(firstArrivalMs), refusal ? refused : QString()),
            refusal);
    });
    QObject::connect(watch, &AnswerWatch::unanswered, line, [line](qint64 bytes) {
        const int seconds = ReaderChannel::AnswerWaitMs / 1000;
        if (bytes == 0) {
            say(line, tr("No answer within %1 s").arg(seconds), true);
            return;
        }
        say(line,
            tr("The reader sent %1 bytes within %2 s without a pause, so its answer cannot be told apart: it may be "
               "sending tag reads (stop them, LOFF in Track and Universal)")
                .arg(bytes)
                .arg(seconds),
            true);
    });
}

void commandSent(AnswerWatch *watch, MessageLine *line, bool wentOut)
{
    if (!wentOut) {
        say(line, tr("Not sent: no link is open"), true);
        return;
    }
    watch->commandSent();
    say(line, tr("Sent at %1; waiting for the reader's answer").arg(clockText(QDateTime::currentMSecsSinceEpoch())), false);
}

} // namespace zanto
