/* Preloaded into a test program (LD_PRELOAD), this stands between the tool
 * and a few system calls, so a test can make them fail or see them made:
 *
 * - write, fsync, close and renameat on the file writer's temporary file (a
 *   name ".zanto-*.tmp") fail once when armed, and each is noted, in order;
 * - the next write on such a file can be held until the test lets it go, so
 *   a test can act while a save is in the middle of writing;
 * - just before openat reaches a chosen name, or renameat is to put a file
 *   there, a symbolic link is put at that name: the swap a hostile folder can
 *   make between the tool's look at a name and its use of it;
 * - every tcsetattr is noted with the device it went to, so a test sees what
 *   a serial port asked of the line even where a pseudo-terminal ignores it.
 *
 * Every other call passes straight through. Only what concerns a temporary
 * file, an armed name or a terminal takes the lock; the test drives the tool
 * from one thread (a held write waits on a thread of the tool's own). Nothing
 * here allocates. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <termios.h>
#include <unistd.h>

#define EXPORT __attribute__((visibility("default")))

/* ---- the real calls ---------------------------------------------------- */

typedef int (*openat_fn)(int, const char *, int, ...);
typedef ssize_t (*write_fn)(int, const void *, size_t);
typedef int (*fd_fn)(int);
typedef int (*renameat_fn)(int, const char *, int, const char *);
typedef int (*tcsetattr_fn)(int, int, const struct termios *);

static void *real(void **slot, const char *name)
{
    void *fn = __atomic_load_n(slot, __ATOMIC_ACQUIRE);
    if (!fn) {
        fn = dlsym(RTLD_NEXT, name);
        __atomic_store_n(slot, fn, __ATOMIC_RELEASE);
    }
    return fn;
}

#define REAL(type, name) ((type)real(&real_##name, #name))
static void *real_openat, *real_openat64, *real_write, *real_fsync, *real_close, *real_renameat, *real_tcsetattr;

/* ---- state --------------------------------------------------------------- */

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;

/* Descriptors open on temporary files; -1 where free. Read without the lock. */
enum { MaxTracked = 8 };
static int tracked[MaxTracked] = {-1, -1, -1, -1, -1, -1, -1, -1};
static int trackedCount;

/* The calls on temporary files, one letter each, repeats once; 's' where a
 * link was swapped in. */
static char trace[64];

/* The failure armed for the next call of one kind on a temporary file. */
static char armedCall[16];
static int armedError;

/* The link to put at a name just before a call reaches it. */
static char swapCall[16];
static char swapName[256];
static char swapTarget[4096];

/* A write or fsync held until released: 1 armed, 2 waiting in the call. */
static int holdState;
static char holdLetter;
static pthread_cond_t holdChanged = PTHREAD_COND_INITIALIZER;

enum { MaxRequests = 256 };
static struct {
    dev_t device;
    struct termios settings;
} requests[MaxRequests];
static int requestCount;

static int isTemporary(const char *path)
{
    if (!path)
        return 0;
    const char *slash = strrchr(path, '/');
    const char *name = slash ? slash + 1 : path;
    const size_t n = strlen(name);
    return strncmp(name, ".zanto-", 7) == 0 && n > 11 && strcmp(name + n - 4, ".tmp") == 0;
}

static int isTracked(int fd)
{
    if (fd < 0 || __atomic_load_n(&trackedCount, __ATOMIC_ACQUIRE) == 0)
        return 0;
    for (int i = 0; i < MaxTracked; ++i) {
        if (__atomic_load_n(&tracked[i], __ATOMIC_ACQUIRE) == fd)
            return 1;
    }
    return 0;
}

static void note(char letter)
{
    const size_t n = strlen(trace);
    if (n + 1 < sizeof trace && (n == 0 || trace[n - 1] != letter)) {
        trace[n] = letter;
        trace[n + 1] = '\0';
    }
}

/* Whether the armed failure is for `call`; it then fires once. Under the lock. */
static int takeArmed(const char *call, int *error)
{
    if (strcmp(armedCall, call) != 0)
        return 0;
    armedCall[0] = '\0';
    *error = armedError;
    return 1;
}

/* Puts the link at `path` (relative to dirfd) when it is armed for `call`. */
static void swapIn(const char *call, int dirfd, const char *path)
{
    if (!path || __atomic_load_n(&swapName[0], __ATOMIC_ACQUIRE) == '\0')
        return;
    pthread_mutex_lock(&lock);
    const char *slash = strrchr(path, '/');
    if (strcmp(swapCall, call) == 0 && strcmp(slash ? slash + 1 : path, swapName) == 0) {
        swapName[0] = '\0';
        unlinkat(dirfd, path, 0);
        if (symlinkat(swapTarget, dirfd, path) == 0)
            note('s');
    }
    pthread_mutex_unlock(&lock);
}

static int opened(int fd, const char *path)
{
    if (fd >= 0 && isTemporary(path)) {
        pthread_mutex_lock(&lock);
        for (int i = 0; i < MaxTracked; ++i) {
            if (tracked[i] < 0) {
                __atomic_store_n(&tracked[i], fd, __ATOMIC_RELEASE);
                __atomic_add_fetch(&trackedCount, 1, __ATOMIC_RELEASE);
                break;
            }
        }
        note('o');
        pthread_mutex_unlock(&lock);
    }
    return fd;
}

/* ---- the test's side --------------------------------------------------- */

EXPORT void zanto_fault_reset(void)
{
    pthread_mutex_lock(&lock);
    trace[0] = '\0';
    armedCall[0] = '\0';
    swapName[0] = '\0';
    requestCount = 0;
    holdState = 0;
    pthread_cond_broadcast(&holdChanged);
    pthread_mutex_unlock(&lock);
}

EXPORT void zanto_fault_arm(const char *call, int error)
{
    pthread_mutex_lock(&lock);
    snprintf(armedCall, sizeof armedCall, "%s", call);
    armedError = error;
    pthread_mutex_unlock(&lock);
}

static void hold(char letter)
{
    pthread_mutex_lock(&lock);
    holdLetter = letter;
    holdState = 1;
    pthread_mutex_unlock(&lock);
}

/* The next write, or fsync, on a temporary file waits until
 * zanto_fault_release(). */
EXPORT void zanto_fault_hold_write(void)
{
    hold('w');
}

EXPORT void zanto_fault_hold_fsync(void)
{
    hold('f');
}

/* Whether a held call is waiting now. */
EXPORT int zanto_fault_holding(void)
{
    pthread_mutex_lock(&lock);
    const int holding = holdState == 2;
    pthread_mutex_unlock(&lock);
    return holding;
}

EXPORT void zanto_fault_release(void)
{
    pthread_mutex_lock(&lock);
    holdState = 0;
    pthread_cond_broadcast(&holdChanged);
    pthread_mutex_unlock(&lock);
}

EXPORT void zanto_fault_swap_link(const char *call, const char *name, const char *target)
{
    pthread_mutex_lock(&lock);
    snprintf(swapCall, sizeof swapCall, "%s", call);
    snprintf(swapName, sizeof swapName, "%s", name);
    snprintf(swapTarget, sizeof swapTarget, "%s", target);
    pthread_mutex_unlock(&lock);
}

/* o, w, f, c, r: open, write, fsync, close, rename of a temporary file; s: a
 * link swapped in. */
EXPORT const char *zanto_fault_trace(void)
{
    return trace;
}

/* The settings asked of `device` by tcsetattr, oldest first, up to max. */
EXPORT int zanto_fault_line_requests(dev_t device, struct termios *out, int max)
{
    int n = 0;
    pthread_mutex_lock(&lock);
    for (int i = 0; i < requestCount && n < max; ++i) {
        if (requests[i].device == device)
            out[n++] = requests[i].settings;
    }
    pthread_mutex_unlock(&lock);
    return n;
}

/* ---- the calls ------------------------------------------------------------ */

static int openAt(void **slot, const char *name, int dirfd, const char *path, int flags, mode_t mode)
{
    swapIn("openat", dirfd, path);
    return opened(((openat_fn)real(slot, name))(dirfd, path, flags, mode), path);
}

EXPORT int openat(int dirfd, const char *path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | __O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    return openAt(&real_openat, "openat", dirfd, path, flags, mode);
}

EXPORT int openat64(int dirfd, const char *path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | __O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    return openAt(&real_openat64, "openat64", dirfd, path, flags, mode);
}

/* A call on a temporary file: noted, and failed when armed. */
static int failsOnTemporary(int fd, const char *call, char letter, int *error)
{
    if (!isTracked(fd))
        return 0;
    pthread_mutex_lock(&lock);
    note(letter);
    if (letter == holdLetter && holdState == 1) {
        holdState = 2;
        while (holdState == 2)
            pthread_cond_wait(&holdChanged, &lock);
    }
    const int fail = takeArmed(call, error);
    pthread_mutex_unlock(&lock);
    return fail;
}

EXPORT ssize_t write(int fd, const void *buffer, size_t size)
{
    int error = 0;
    if (failsOnTemporary(fd, "write", 'w', &error)) {
        errno = error;
        return -1;
    }
    return REAL(write_fn, write)(fd, buffer, size);
}

EXPORT int fsync(int fd)
{
    int error = 0;
    if (failsOnTemporary(fd, "fsync", 'f', &error)) {
        errno = error;
        return -1;
    }
    return REAL(fd_fn, fsync)(fd);
}

EXPORT int close(int fd)
{
    int error = 0;
    const int fail = failsOnTemporary(fd, "close", 'c', &error);
    if (isTracked(fd)) {
        pthread_mutex_lock(&lock);
        for (int i = 0; i < MaxTracked; ++i) {
            if (tracked[i] == fd) {
                __atomic_store_n(&tracked[i], -1, __ATOMIC_RELEASE);
                __atomic_sub_fetch(&trackedCount, 1, __ATOMIC_RELEASE);
            }
        }
        pthread_mutex_unlock(&lock);
    }
    /* As on Linux, a close that fails has still let the descriptor go. */
    const int result = REAL(fd_fn, close)(fd);
    if (fail) {
        errno = error;
        return -1;
    }
    return result;
}

EXPORT int renameat(int olddirfd, const char *oldpath, int newdirfd, const char *newpath)
{
    if (isTemporary(oldpath)) {
        int error = 0;
        pthread_mutex_lock(&lock);
        note('r');
        const int fail = takeArmed("renameat", &error);
        pthread_mutex_unlock(&lock);
        if (fail) {
            errno = error;
            return -1;
        }
    }
    swapIn("renameat", newdirfd, newpath);
    return REAL(renameat_fn, renameat)(olddirfd, oldpath, newdirfd, newpath);
}

EXPORT int tcsetattr(int fd, int action, const struct termios *settings)
{
    struct stat st;
    if (settings && fstat(fd, &st) == 0) {
        pthread_mutex_lock(&lock);
        if (requestCount < MaxRequests) {
            requests[requestCount].device = st.st_rdev;
            requests[requestCount].settings = *settings;
            ++requestCount;
        }
        pthread_mutex_unlock(&lock);
    }
    return REAL(tcsetattr_fn, tcsetattr)(fd, action, settings);
}
