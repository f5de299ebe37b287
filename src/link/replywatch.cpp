#include "link/replywatch.h"

#include "link/readerchannel.h"
#include "protocol/commands.h"

#include <QDateTime>

namespace zanto {

namespace {

// Far more than a reply with the tag reads of the wait around it.
constexpr qsizetype KeptBytes = 64 * 1024;

} // namespace

ReplyWatch::ReplyWatch(ReaderChannel *channel, int waitMs, QObject *parent)
    : QObject(parent)
    , m_channel(channel)
{
    m_wait.setSingleShot(true);
    m_wait.setInterval(waitMs);
    connect(&m_wait, &QTimer::timeout, this, [this] {
        const std::optional<ReplyInStream> found = findConfigReply(m_bytes);
        Report report;
        report.bytes = m_total;
        if (found && !found->complete) {
            report.outcome = Outcome::Incomplete;
        } else if (found) {
            // Whole and alone so far, but its burst never ended.
            report.outcome = Outcome::Mixed;
            report.at = m_channel->gatheringSinceMs();
            report.arriving = true;
        }
        settle(report);
    });
    connect(channel, &ReaderChannel::bytesArrived, this, &ReplyWatch::arrived);
    connect(channel, &ReaderChannel::burstEnded, this, &ReplyWatch::burstEnded);
}

void ReplyWatch::requestSent()
{
    m_watching = true;
    m_bytes.clear();
    m_total = 0;
    m_bursts.clear();
    // A burst that began before the request holds other data before any reply.
    if (m_gathering)
        m_bursts.append({-1, m_channel->gatheringSinceMs(), -1});
    m_wait.start();
}

void ReplyWatch::stop()
{
    m_watching = false;
    m_wait.stop();
}

void ReplyWatch::arrived(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    const bool starts = !m_gathering;
    m_gathering = true;
    if (!m_watching)
        return;
    if (starts)
        m_bursts.append({m_bytes.size(), QDateTime::currentMSecsSinceEpoch(), -1});
    m_total += bytes.size();
    if (m_bytes.size() + bytes.size() > KeptBytes) {
        // A reply does not hide in a flood this large: keep the newest bytes.
        const qsizetype drop = m_bytes.size() + bytes.size() - KeptBytes / 2;
        m_bytes.remove(0, qMin(drop, m_bytes.size()));
        for (Burst &burst : m_bursts) {
            burst.start = burst.start < 0 ? -1 : qMax<qsizetype>(-1, burst.start - drop);
            if (burst.end >= 0)
                burst.end = qMax<qsizetype>(0, burst.end - drop);
        }
    }
    m_bytes.append(bytes.data(), bytes.size());
    look();
}

void ReplyWatch::burstEnded(QByteArrayView bytes, qint64 firstArrivalMs)
{
    m_gathering = false;
    if (!m_watching || bytes.isEmpty())
        return;
    if (!m_bursts.isEmpty() && m_bursts.last().end < 0) {
        m_bursts.last().end = m_bytes.size();
        m_bursts.last().firstArrivalMs = firstArrivalMs;
    }
    // The window decodes a burst that is a reply, whole and alone.
    if (parseConfigReply(bytes)) {
        Report report;
        report.outcome = Outcome::Decoded;
        report.at = QDateTime::currentMSecsSinceEpoch();
        report.bytes = m_total;
        settle(report);
        return;
    }
    look();
}

void ReplyWatch::look()
{
    const std::optional<ReplyInStream> found = findConfigReply(m_bytes);
    if (!found || !found->complete)
        return;
    const qsizetype from = found->at, to = found->at + found->length;
    // The bursts it touches.
    QList<Burst> touched;
    for (const Burst &burst : m_bursts) {
        const qsizetype end = burst.end < 0 ? m_bytes.size() : burst.end;
        if (burst.start < to && end > from)
            touched.append(burst);
    }
    if (touched.isEmpty())
        return;
    Report report;
    report.bytes = m_total;
    if (touched.size() > 1) {
        report.outcome = Outcome::InPieces;
        report.at = touched.first().firstArrivalMs;
        report.second = touched.last().firstArrivalMs;
        settle(report);
        return;
    }
    const Burst &burst = touched.first();
    const qsizetype end = burst.end < 0 ? m_bytes.size() : burst.end;
    if (burst.start != from || end > to) {
        report.outcome = Outcome::Mixed;
        report.at = burst.firstArrivalMs;
        report.arriving = burst.end < 0;
        settle(report);
    }
    // Alone in its burst so far: its burst's end decides.
}

void ReplyWatch::settle(const Report &report)
{
    stop();
    Q_EMIT settled(report);
}

} // namespace zanto
