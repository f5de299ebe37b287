#pragma once

#include <QByteArray>

namespace zanto {

// The temporary files the writer has open right now, where a signal handler
// can find them: a few fixed slots holding the folder's descriptor and the
// file's name, filled and emptied with atomic steps, no allocation and no
// lock, so the handler may read them at any moment.
//
// Ctrl+C in the terminal, a logout (SIGHUP) or a kill (SIGTERM) during a long
// save would otherwise leave a file of up to a gigabyte behind in the folder
// until the next start; with the handler installed it goes at once.
class WritingFiles
{
public:
    static constexpr int Slots = 8;
    static constexpr int MaxName = 64;

    // Notes `name` (in the folder open as `folder`) for as long as it lives.
    // Without a free slot the file is not noted; the start-up cleanup still
    // finds it if the program is stopped. The folder must stay open longer
    // than the entry, so the handler never unlinks in a reused descriptor.
    class Entry
    {
    public:
        Entry(int folder, const QByteArray &name);
        ~Entry();
        Entry(const Entry &) = delete;
        Entry &operator=(const Entry &) = delete;

    private:
        int m_slot = -1;
    };

    // Installs the handler for SIGINT, SIGTERM and SIGHUP (one the program
    // was started to ignore stays ignored). It removes the files noted, then
    // the signal ends the program as it would have without the handler.
    static void removeOnSignals();
};

} // namespace zanto
