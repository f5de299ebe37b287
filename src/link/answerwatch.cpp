#include "link/answerwatch.h"

#include "link/readerchannel.h"

namespace zanto {

AnswerWatch::AnswerWatch(ReaderChannel *channel, int waitMs, QObject *parent)
    : QObject(parent)
{
    m_wait.setSingleShot(true);
    m_wait.setInterval(waitMs);
    connect(&m_wait, &QTimer::timeout, this, [this] {
        m_watching = false;
        Q_EMIT unanswered(m_bytes);
    });
    connect(channel, &ReaderChannel::bytesArrived, this, [this](QByteArrayView bytes) {
        if (m_watching)
            m_bytes += bytes.size();
    });
    connect(channel, &ReaderChannel::burstEnded, this, [this](QByteArrayView bytes, qint64 firstArrivalMs) {
        if (!m_watching || bytes.isEmpty())
            return;
        m_watching = false;
        m_wait.stop();
        Q_EMIT answered(bytes.toByteArray(), firstArrivalMs);
    });
}

void AnswerWatch::commandSent()
{
    m_watching = true;
    m_bytes = 0;
    m_wait.start();
}

bool AnswerWatch::isRefusal(const QByteArray &answer)
{
    return answer.trimmed().startsWith("ERR");
}

} // namespace zanto
