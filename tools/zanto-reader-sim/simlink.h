#pragma once

#include "commandframer.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

// One way in to the simulated reader (the TCP client or the pseudo-terminal).
// It cuts what arrives into commands and keeps the order of what goes out:
// a reply split in two with a pause between the halves must not let a later
// reply or a streamed tag line slip in between them.
class SimLink : public QObject
{
    Q_OBJECT
public:
    explicit SimLink(const QString &name, QObject *parent = nullptr);

    QString name() const { return m_name; }

    // Queues a reply. With splitMs above 0 it goes out in two pieces, the
    // second splitMs after the first. hangUpAfter drops the link once the
    // reply has gone out (where the link can be dropped at all). Replies not
    // yet taken by the other side are bounded (MaxReplyBacklog bytes,
    // MaxQueuedPieces pieces): past that the link overflows (see overflow()).
    void sendReply(const QByteArray &reply, int splitMs, bool hangUpAfter);

    static constexpr qint64 MaxReplyBacklog = 4 * 1024 * 1024;
    static constexpr qsizetype MaxQueuedPieces = 4096;

    // Bytes the reader sends of its own accord (tag reads). Dropped, as a real
    // reader's buffer would drop them, when a reply is still on its way or
    // when more than maxBacklog bytes wait for the other side. True if sent.
    bool sendUnsolicited(const QByteArray &bytes, qint64 maxBacklog);

    virtual bool isOpen() const = 0;
    // Bytes accepted but not yet taken by the other side.
    virtual qint64 backlog() const = 0;

signals:
    void commandReceived(const CommandFrame &frame);
    // Some of the backlog went out: room for more.
    void writable();
    // The other side went away for good; the owner deletes the link.
    void closed();
    // A reply did not fit: the other side sends commands faster than it takes
    // the answers. What the link did about it is in dropped.
    void overflowed(bool dropped);

protected:
    // For the link's read side: everything that arrived, in order.
    void deliver(QByteArrayView bytes);
    // Forget whatever is still queued (the link is gone).
    void dropQueue();

    virtual void writeBytes(const QByteArray &bytes) = 0;
    // Drops the link; false where there is nothing to drop (a serial line).
    virtual bool hangUp() = 0;
    // A reply did not fit. A link that can drop the other side does so at once
    // (true); one that cannot (a serial line) loses the reply, as a reader's
    // full output buffer would (false).
    virtual bool overflow() = 0;

private:
    struct Piece {
        QByteArray bytes;
        int pauseBefore = 0;
        bool hangUpAfter = false;
    };

    void pump();

    QString m_name;
    CommandFramer m_framer;
    QList<Piece> m_queue;
    qint64 m_queuedBytes = 0; // bytes of m_queue, kept rather than summed
    QTimer m_pause;
};
