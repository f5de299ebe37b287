#pragma once

#include "protocol/configstring.h"

#include <QByteArray>

// What the reader says to one command, and whether it then drops the
// connection (it reboots on "RESET").
struct ReaderReply {
    QByteArray text;
    bool hangUp = false;
};

// The reader's side of the command set: a configuration it keeps between
// commands, and a short answer to everything. Commands are told apart and
// taken apart by the tool's own protocol code, so both read one layout. No I/O
// here, so the same reader serves the TCP client and the pseudo-terminal alike.
class SimulatedReader
{
public:
    // What becomes of a configuration write: kept; checked and answered as
    // usual but not kept (the next "L" reports the configuration from
    // before); or refused with "ERR config" (and not kept).
    enum class Writes { Kept, Ignored, Refused };

    explicit SimulatedReader(Writes writes = Writes::Kept)
        : m_writes(writes)
    {
    }

    ReaderReply answer(const QByteArray &command);
    // The answer to a line that was too long to keep.
    static ReaderReply overlongLine();

    const zanto::ConfigFields &fields() const { return m_fields; }

private:
    ReaderReply configRead() const;
    ReaderReply configWrite(const QByteArray &command);
    static ReaderReply tagWrite(const QByteArray &command);
    static ReaderReply shortTagWrite(const QByteArray &command);

    zanto::ConfigFields m_fields;
    Writes m_writes;
};
