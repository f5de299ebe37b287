#pragma once

#include <QtGlobal>

namespace zanto {

// Where the links put what they receive: straight into the space the receiver
// offers, so the bytes are copied once on their way from the socket or port.
class ReceiveSink
{
public:
    virtual ~ReceiveSink() = default;
    // Space for the next bytes; *room > 0 bytes may be written there.
    virtual char *reserve(qsizetype *room) = 0;
    // n bytes were written at the space reserve() gave (n may be 0: an event
    // that brought no data still counts as an arrival).
    virtual void commit(qsizetype n) = 0;
};

} // namespace zanto
