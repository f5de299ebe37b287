#pragma once

#include "protocol/linkrules.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>

namespace zanto {

// How a window without a link of its own reaches the reader: the main
// window's one send operation, and every burst as it ends, so a window can
// tell what the reader answered to its own command.
class ReaderChannel : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The text and one CR under the rule; true when it went out on a link.
    virtual bool send(const QByteArray &text, LinkRule rule) = 0;
    // When the first byte of the burst being gathered arrived; 0 when no
    // burst is being gathered.
    virtual qint64 gatheringSinceMs() const = 0;

    // How long a window waits for the reader's answer before it says none came.
    static constexpr int AnswerWaitMs = 5000;

Q_SIGNALS:
    // Bytes arrived, as they arrive (only valid during the call).
    void bytesArrived(QByteArrayView bytes);
    // A burst ended, after the main window showed it and offered it to the
    // decoder. The bytes are only valid during the call.
    void burstEnded(QByteArrayView bytes, qint64 firstArrivalMs);
};

} // namespace zanto
