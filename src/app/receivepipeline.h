#pragma once

#include "link/receivesink.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <functional>

namespace zanto {

// Gathers everything received on either link into one burst, which ends when
// the links have been quiet for the interval (read afresh at every arrival), or
// when it reaches MaxBurstBytes, so a stream without pauses becomes a series of
// full bursts instead of one unbounded one.
class ReceivePipeline : public QObject, public ReceiveSink
{
    Q_OBJECT
public:
    static constexpr qsizetype MaxBurstBytes = 32767;

    explicit ReceivePipeline(std::function<int()> quietIntervalMs, QObject *parent = nullptr);

    // One arrival of bytes from a link (copied in).
    void arrival(const QByteArray &bytes);
    // The same, written in place by the link.
    char *reserve(qsizetype *room) override;
    void commit(qsizetype n) override;
    // The quiet timer's tick: ends the burst, empty or not.
    void Timer1_Timer();

    const QByteArray &receivedText() const { return m_text; }
    bool gathering() const { return Timer1.isActive(); }
    qint64 firstArrivalMs() const { return m_firstArrivalMs; }

    QTimer Timer1;

Q_SIGNALS:
    // The first bytes of a burst arrived.
    void burstStarted(qint64 firstArrivalMs);
    // A burst ended: its bytes (possibly none) and when its first byte arrived.
    void burstEnded(const QByteArray &text, qint64 firstArrivalMs);

private:
    void endBurst();

    std::function<int()> m_interval;
    QByteArray m_text;
    qint64 m_firstArrivalMs = 0;
};

} // namespace zanto
