#pragma once

#include <QByteArray>
#include <QString>

namespace zanto {

class AnswerWatch;
class MessageLine;

// The line on which a dialog says what the reader answered to its own
// command, and its height in twips.
inline constexpr int AnswerLineTwips = 330;

// "The reader answered "..." at HH:MM:SS" for every answer the watch sees, and
// what it says when none comes; a refusal (an answer beginning "ERR") gets
// `refused` behind it and shows in red.
void showAnswers(AnswerWatch *watch, MessageLine *line, const QString &refused = QString());
// The command went out (the watch waits for its answer), or no link was open.
void commandSent(AnswerWatch *watch, MessageLine *line, bool wentOut);

// The reader's answer on one line: every byte shown, only the start of a long one.
QString answerText(const QByteArray &answer);
// A time as the dialogs show it: 14:03:07.
QString clockText(qint64 msSinceEpoch);

} // namespace zanto
