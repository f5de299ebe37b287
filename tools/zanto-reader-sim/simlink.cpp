#include "simlink.h"

SimLink::SimLink(const QString &name, QObject *parent)
    : QObject(parent)
    , m_name(name)
{
    m_pause.setSingleShot(true);
    m_pause.setTimerType(Qt::PreciseTimer);
    connect(&m_pause, &QTimer::timeout, this, &SimLink::pump);
}

void SimLink::sendReply(const QByteArray &reply, int splitMs, bool hangUpAfter)
{
    // A client that sends commands and never reads the answers must not grow
    // our memory without end. A reset still happens when its reply no longer
    // fits.
    const bool fits = backlog() + m_queuedBytes + reply.size() <= MaxReplyBacklog
                      && m_queue.size() + 2 <= MaxQueuedPieces;
    if (!fits && !hangUpAfter) {
        emit overflowed(overflow());
        return;
    }
    m_queuedBytes += reply.size();
    if (splitMs > 0 && reply.size() > 1) {
        const qsizetype half = reply.size() / 2;
        m_queue.append({reply.left(half), 0, false});
        m_queue.append({reply.mid(half), splitMs, hangUpAfter});
    } else {
        m_queue.append({reply, 0, hangUpAfter});
    }
    pump();
}

bool SimLink::sendUnsolicited(const QByteArray &bytes, qint64 maxBacklog)
{
    if (!isOpen() || !m_queue.isEmpty() || backlog() >= maxBacklog)
        return false;
    writeBytes(bytes);
    return true;
}

void SimLink::deliver(QByteArrayView bytes)
{
    m_framer.feed(bytes, [this](const CommandFrame &frame) {
        // A reset or an overflow drops the link mid-read; the reader hears
        // nothing more of it.
        if (!isOpen())
            return false;
        emit commandReceived(frame);
        return isOpen();
    });
}

void SimLink::dropQueue()
{
    m_queue.clear();
    m_queuedBytes = 0;
    m_pause.stop();
}

void SimLink::pump()
{
    while (!m_queue.isEmpty() && !m_pause.isActive()) {
        Piece &next = m_queue.first();
        if (next.pauseBefore > 0) {
            m_pause.start(next.pauseBefore);
            next.pauseBefore = 0;
            return;
        }
        const Piece piece = m_queue.takeFirst();
        m_queuedBytes -= piece.bytes.size();
        if (isOpen())
            writeBytes(piece.bytes);
        if (piece.hangUpAfter && hangUp()) {
            dropQueue();
            return;
        }
    }
}
