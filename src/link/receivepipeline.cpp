#include "link/receivepipeline.h"

#include <QDateTime>

#include <cstring>

namespace zanto {

ReceivePipeline::ReceivePipeline(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("ReceivePipeline"));
    m_quiet.setObjectName(QStringLiteral("Timer1"));
    m_quiet.setSingleShot(true);
    // A coarse timer may tick a little early; the burst must not end early.
    m_quiet.setTimerType(Qt::PreciseTimer);
    connect(&m_quiet, &QTimer::timeout, this, &ReceivePipeline::quietTimerTick);
}

void ReceivePipeline::setQuietInterval(int ms)
{
    m_intervalMs = qMax(1, ms);
}

void ReceivePipeline::arrival(const QByteArray &bytes)
{
    qsizetype at = 0;
    do {
        qsizetype room = 0;
        char *space = reserve(&room);
        const qsizetype take = qMin(room, bytes.size() - at);
        if (take > 0)
            std::memcpy(space, bytes.constData() + at, size_t(take));
        commit(take);
        at += take;
    } while (at < bytes.size());
}

char *ReceivePipeline::reserve(qsizetype *room)
{
    // The burst always has room: a full burst is ended at once.
    return m_store.openRowSpace(MaxBurstBytes, room);
}

void ReceivePipeline::commit(qsizetype n)
{
    if (n > 0) {
        const bool first = m_store.openRow().isEmpty();
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (first)
            m_firstArrivalMs = now;
        // The bytes are already in place behind the burst's end.
        m_store.grow(n);
        if (first)
            Q_EMIT burstStarted(m_firstArrivalMs);
        // A stream without pauses is cut into full bursts, one arrival into
        // as many as it fills; the next burst starts with this arrival.
        while (m_store.openRow().size() >= MaxBurstBytes) {
            endBurst(MaxBurstBytes);
            if (!m_store.openRow().isEmpty()) {
                m_firstArrivalMs = now;
                Q_EMIT burstStarted(m_firstArrivalMs);
            }
        }
    }
    // Every arrival restarts the count-down: a burst ends only after a full
    // quiet interval. A burst just cut full leaves nothing to wait for, unless
    // the arrival brought no bytes at all. The timer itself is not restarted
    // here (that costs more than the bytes of a small arrival); it looks at its
    // tick how long the links have really been quiet.
    if (!m_store.openRow().isEmpty() || n == 0) {
        m_gathering = true;
        m_quietMs = m_intervalMs;
        m_sinceArrival.start();
        if (!m_quiet.isActive())
            m_quiet.start(m_quietMs);
    }
}

void ReceivePipeline::endBurstNow()
{
    endBurst();
}

void ReceivePipeline::quietTimerTick()
{
    if (!m_gathering)
        return; // the last burst was cut full, nothing came after it
    const qint64 quietFor = m_sinceArrival.elapsed();
    if (quietFor < m_quietMs) {
        m_quiet.start(int(m_quietMs - quietFor));
        return;
    }
    endBurst();
}

void ReceivePipeline::endBurst(qsizetype size)
{
    // The timer is left to run out: stopping and starting it at every burst
    // of a stream costs more than the burst's bytes. Its tick finds nothing
    // gathering, or looks again.
    m_gathering = false;
    const bool empty = m_store.openRow().isEmpty();
    m_store.closeRow(m_firstArrivalMs, size);
    if (empty) {
        Q_EMIT burstEnded(QByteArrayView(), m_firstArrivalMs);
        return;
    }
    const ReceivedStore::Row row = m_store.row(m_store.rowCount() - 1);
    Q_EMIT burstEnded(QByteArrayView(row.data, row.size), m_firstArrivalMs);
}

} // namespace zanto
