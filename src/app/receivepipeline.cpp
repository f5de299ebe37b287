#include "app/receivepipeline.h"

#include <QDateTime>

#include <cstring>

namespace zanto {

ReceivePipeline::ReceivePipeline(std::function<int()> quietIntervalMs, QObject *parent)
    : QObject(parent)
    , m_interval(std::move(quietIntervalMs))
{
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setSingleShot(true);
    connect(&Timer1, &QTimer::timeout, this, &ReceivePipeline::Timer1_Timer);
    m_text.reserve(MaxBurstBytes);
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
    // The burst's buffer always has room: a full burst is ended at once.
    const qsizetype size = m_text.size();
    m_text.resize(MaxBurstBytes);
    m_text.resize(size);
    *room = MaxBurstBytes - size;
    return m_text.data() + size;
}

void ReceivePipeline::commit(qsizetype n)
{
    if (n > 0) {
        const bool first = m_text.isEmpty();
        if (first)
            m_firstArrivalMs = QDateTime::currentMSecsSinceEpoch();
        // The bytes are already in place behind the current end.
        m_text.resize(m_text.size() + n);
        if (first)
            Q_EMIT burstStarted(m_firstArrivalMs);
        if (m_text.size() >= MaxBurstBytes)
            endBurst();
    }
    // Restarting the count-down is what makes a burst end only after a full
    // quiet interval. A burst just cut full leaves nothing to wait for, unless
    // the arrival brought no bytes at all.
    if (!m_text.isEmpty() || n == 0) {
        const int interval = m_interval();
        Timer1.start(interval > 0 ? interval : 0);
    }
}

void ReceivePipeline::Timer1_Timer()
{
    endBurst();
}

void ReceivePipeline::endBurst()
{
    Timer1.stop();
    Q_EMIT burstEnded(m_text, m_firstArrivalMs);
    m_text.resize(0); // keeps the buffer for the next burst
}

} // namespace zanto
