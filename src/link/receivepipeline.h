#pragma once

#include "link/receivesink.h"
#include "platform/receivedstore.h"

#include <QByteArrayView>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace zanto {

// Gathers everything received on either link into one burst, which ends when
// the links have been quiet for the interval (the one in force at the arrival), or
// when it reaches MaxBurstBytes, so a stream without pauses becomes a series of
// full bursts instead of one unbounded one.
//
// The links read straight into the row store's space for the burst being
// gathered: each byte is copied once on its way from the socket or port to
// the row that shows it.
class ReceivePipeline : public QObject, public ReceiveSink
{
    Q_OBJECT
public:
    static constexpr qsizetype MaxBurstBytes = 32767;
    static constexpr int DefaultQuietMs = 250;

    explicit ReceivePipeline(QObject *parent = nullptr);

    // In force from the next arrival; a value below 1 ms is taken as 1 ms.
    void setQuietInterval(int ms);

    // One arrival of bytes from a link (copied in).
    void arrival(const QByteArray &bytes);
    // The same, written in place by the link.
    char *reserve(qsizetype *room) override;
    void commit(qsizetype n) override;
    // Ends the burst now, empty or not, as a full quiet interval would (the
    // link is gone, or a caller stands in for the clock).
    void endBurstNow();

    // The burst gathered so far.
    QByteArrayView receivedText() const { return m_store.openRow(); }
    bool gathering() const { return m_gathering; }
    qint64 firstArrivalMs() const { return m_firstArrivalMs; }
    // Every burst becomes the store's last row when it ends.
    ReceivedStore &store() { return m_store; }

Q_SIGNALS:
    // The first bytes of a burst arrived.
    void burstStarted(qint64 firstArrivalMs);
    // A burst ended: its bytes (possibly none; else the store's last row,
    // valid during the call) and when its first byte arrived.
    void burstEnded(QByteArrayView text, qint64 firstArrivalMs);

private:
    void quietTimerTick();
    // Ends the burst with the first `size` bytes gathered (all when size < 0).
    void endBurst(qsizetype size = -1);

    int m_intervalMs = DefaultQuietMs;
    ReceivedStore m_store;
    QTimer m_quiet;
    bool m_gathering = false; // arrivals since the last burst ended
    QElapsedTimer m_sinceArrival;
    int m_quietMs = DefaultQuietMs;
    qint64 m_firstArrivalMs = 0;
};

} // namespace zanto
