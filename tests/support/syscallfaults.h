#pragma once

// The test's side of syscallfaults.c, the library CTest preloads into some
// test programs (zanto_add_test(... PRELOAD_FAULTS)). Its functions are looked
// up in the running program: a program started without it finds none, and
// says so instead of testing nothing.
#include <dlfcn.h>
#include <sys/types.h>
#include <termios.h>

struct SyscallFaults {
    // Forgets what was armed and noted.
    void (*reset)() = nullptr;
    // The next `call` ("write", "fsync", "close", "renameat") on the writer's
    // temporary file fails with `error`.
    void (*arm)(const char *call, int error) = nullptr;
    // Just before `call` ("openat", "renameat") reaches `name`, a symbolic link
    // to `target` is put there, once.
    void (*swapLink)(const char *call, const char *name, const char *target) = nullptr;
    // The calls on temporary files since the reset, one letter each (repeats
    // once): o open, w write, f fsync, c close, r rename; and s where a link
    // was swapped in.
    const char *(*trace)() = nullptr;
    // The settings tcsetattr asked of the device, oldest first; their count.
    int (*lineRequests)(dev_t device, struct termios *out, int max) = nullptr;
    // The next write, or fsync, on a temporary file waits (on the writer's
    // thread) until release(); holding() tells whether one is waiting now.
    void (*holdWrite)() = nullptr;
    void (*holdFsync)() = nullptr;
    int (*holding)() = nullptr;
    void (*release)() = nullptr;

    bool loaded() const { return reset && arm && swapLink && trace && lineRequests && holdWrite && holdFsync && holding
            && release; }

    static SyscallFaults find()
    {
        SyscallFaults f;
        f.reset = reinterpret_cast<decltype(f.reset)>(dlsym(RTLD_DEFAULT, "zanto_fault_reset"));
        f.arm = reinterpret_cast<decltype(f.arm)>(dlsym(RTLD_DEFAULT, "zanto_fault_arm"));
        f.swapLink = reinterpret_cast<decltype(f.swapLink)>(dlsym(RTLD_DEFAULT, "zanto_fault_swap_link"));
        f.trace = reinterpret_cast<decltype(f.trace)>(dlsym(RTLD_DEFAULT, "zanto_fault_trace"));
        f.lineRequests = reinterpret_cast<decltype(f.lineRequests)>(dlsym(RTLD_DEFAULT, "zanto_fault_line_requests"));
        f.holdWrite = reinterpret_cast<decltype(f.holdWrite)>(dlsym(RTLD_DEFAULT, "zanto_fault_hold_write"));
        f.holdFsync = reinterpret_cast<decltype(f.holdFsync)>(dlsym(RTLD_DEFAULT, "zanto_fault_hold_fsync"));
        f.holding = reinterpret_cast<decltype(f.holding)>(dlsym(RTLD_DEFAULT, "zanto_fault_holding"));
        f.release = reinterpret_cast<decltype(f.release)>(dlsym(RTLD_DEFAULT, "zanto_fault_release"));
        return f;
    }
};

inline constexpr const char *SyscallFaultsMissing =
    "the system-call fault library is not preloaded: run this test through ctest";
