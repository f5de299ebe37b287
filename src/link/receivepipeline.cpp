#include "link/receivepipeline.h"

#include <QDateTime>

#include <cstring>

namespace zanto {

ReceivePipeline::ReceivePipeline(std::function<int()> quietIntervalMs, QObject *parent)
    : QObject(parent)
    , m_interval(std::move(quietIntervalMs))
{
    m_quiet.setObjectName(QStringLiteral("Timer1"));
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &ReceivePipeline::quietIntervalPassed);
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
        if (first)
            m_firstArrivalMs = QDateTime::currentMSecsSinceEpoch();
        // The bytes are already in place behind the burst's end.
        m_store.grow(n);
        if (first)
            Q_EMIT burstStarted(m_firstArrivalMs);
        if (m_store.openRow().size() >= MaxBurstBytes)
            endBurst();
    }
    // Restarting the count-down is what makes a burst end only after a full
    // quiet interval. A burst just cut full leaves nothing to wait for, unless
    // the arrival brought no bytes at all.
    if (!m_store.openRow().isEmpty() || n == 0) {
        const int interval = m_interval();
        m_quiet.start(interval > 0 ? interval : 0);
    }
}

void ReceivePipeline::quietIntervalPassed()
{
    endBurst();
}

void ReceivePipeline::endBurst()
{
    m_quiet.stop();
    const bool empty = m_store.openRow().isEmpty();
    m_store.closeRow(m_firstArrivalMs);
    if (empty) {
        Q_EMIT burstEnded(QByteArrayView(), m_firstArrivalMs);
        return;
    }
    const ReceivedStore::Row row = m_store.row(m_store.rowCount() - 1);
    Q_EMIT burstEnded(QByteArrayView(row.data, row.size), m_firstArrivalMs);
}

} // namespace zanto
