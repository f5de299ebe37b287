#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QTimer>

namespace zanto {

class ReaderChannel;

// What the reader said to one command of a window: the first burst that ends
// after the command was sent, or nothing within the wait.
class AnswerWatch : public QObject
{
    Q_OBJECT
public:
    AnswerWatch(ReaderChannel *channel, int waitMs, QObject *parent = nullptr);

    // The command went out now: the next burst to end is its answer.
    void commandSent();

    // The answer refuses the command: readers begin such an answer with "ERR".
    static bool isRefusal(const QByteArray &answer);

Q_SIGNALS:
    void answered(const QByteArray &answer, qint64 firstArrivalMs);
    // No burst ended within the wait; `bytes` came all the same (a reader
    // that never pauses), or none did.
    void unanswered(qint64 bytes);

private:
    bool m_watching = false;
    qint64 m_bytes = 0;
    QTimer m_wait;
};

} // namespace zanto
