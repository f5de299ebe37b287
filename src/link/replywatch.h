#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QTimer>

namespace zanto {

class ReaderChannel;

// What became of a read request: the reader's configuration reply decoded
// (a burst of its own), or found only inside other data (tag reads sharing
// its burst), or in pieces (a pause over the quiet interval inside it), only
// begun, or not at all, within the wait. A reply found inside other data is
// recognised by its whole shape for the telling only; it is never decoded
// from there.
class ReplyWatch : public QObject
{
    Q_OBJECT
public:
    enum class Outcome {
        Decoded,    // at: when its burst ended
        Mixed,      // at: when the row holding it began (still arriving: `arriving`)
        InPieces,   // at, second: when the first and the last of its rows began
        Incomplete, // only its start came
        Nothing,    // no reply; `bytes` of other data came
    };
    struct Report {
        Outcome outcome = Outcome::Nothing;
        qint64 at = 0;
        qint64 second = 0;
        bool arriving = false;
        qint64 bytes = 0;
    };

    ReplyWatch(ReaderChannel *channel, int waitMs, QObject *parent = nullptr);

    // The request went out now.
    void requestSent();
    void stop();

Q_SIGNALS:
    void settled(const zanto::ReplyWatch::Report &report);

private:
    struct Burst {
        qsizetype start = 0; // where in m_bytes it begins (-1: before the request)
        qint64 firstArrivalMs = 0;
        qsizetype end = -1;  // where it ends; -1 while it is gathered
    };

    void arrived(QByteArrayView bytes);
    void burstEnded(QByteArrayView bytes, qint64 firstArrivalMs);
    void look();
    void settle(const Report &report);

    ReaderChannel *m_channel;
    QTimer m_wait;
    bool m_watching = false;
    bool m_gathering = false; // a burst is open (seen whether watching or not)
    QByteArray m_bytes;       // what came since the request, bounded
    qint64 m_total = 0;
    QList<Burst> m_bursts;
};

} // namespace zanto
