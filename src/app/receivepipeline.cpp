#include "app/receivepipeline.h"

#include <QDateTime>

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
    while (at < bytes.size()) {
        if (m_text.isEmpty())
            m_firstArrivalMs = QDateTime::currentMSecsSinceEpoch();
        const qsizetype take = qMin(bytes.size() - at, MaxBurstBytes - m_text.size());
        m_text.append(bytes.constData() + at, take);
        at += take;
        if (m_text.size() >= MaxBurstBytes)
            endBurst();
    }
    // Restarting the count-down is what makes a burst end only after a full
    // quiet interval. A burst just cut full leaves nothing to wait for, unless
    // the arrival brought no bytes at all.
    if (!m_text.isEmpty() || bytes.isEmpty()) {
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
