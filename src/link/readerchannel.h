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

Q_SIGNALS:
    // A burst ended, after the main window showed it and offered it to the
    // decoder. The bytes are only valid during the call.
    void burstEnded(QByteArrayView bytes, qint64 firstArrivalMs);
};

} // namespace zanto
