#include "platform/writingfiles.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace zanto {

namespace {

// A slot is claimed (Filling) before its fields are written and shown to the
// handler (Noted) only once they are whole.
enum State : int { Free, Filling, Noted };

struct Slot {
    std::atomic<int> state{Free};
    int folder = -1;
    char name[WritingFiles::MaxName] = {};
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slots");

Slot notedFiles[WritingFiles::Slots];

void removeNotedAndEnd(int signal)
{
    const int savedErrno = errno;
    for (Slot &slot : notedFiles) {
        if (slot.state.load(std::memory_order_acquire) == Noted)
            ::unlinkat(slot.folder, slot.name, 0);
    }
    // The default action, once this handler returns: the signal is blocked
    // while it runs, so the one raised here waits until then.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    errno = savedErrno;
    ::raise(signal);
}

} // namespace

WritingFiles::Entry::Entry(int folder, const QByteArray &name)
{
    if (name.size() >= MaxName)
        return;
    for (int i = 0; i < Slots; ++i) {
        int expected = Free;
        if (notedFiles[i].state.compare_exchange_strong(expected, Filling, std::memory_order_acquire)) {
            notedFiles[i].folder = folder;
            std::memcpy(notedFiles[i].name, name.constData(), size_t(name.size()) + 1);
            notedFiles[i].state.store(Noted, std::memory_order_release);
            m_slot = i;
            return;
        }
    }
}

WritingFiles::Entry::~Entry()
{
    if (m_slot >= 0)
        notedFiles[m_slot].state.store(Free, std::memory_order_release);
}

void WritingFiles::removeOnSignals()
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = removeNotedAndEnd;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

} // namespace zanto
