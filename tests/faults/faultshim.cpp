// A fault injector loaded with LD_PRELOAD: makes the N-th write, fsync, rename
// or file creation under one folder fail, as a full or broken disk would.
//
//   TORV_FAULT_DIR    only calls on paths under this folder count
//   TORV_FAULT_OP     write | fsync | rename | create
//   TORV_FAULT_NTH    which call fails (1 = the first); only that one
//   TORV_FAULT_ERRNO  ENOSPC (default) or EIO
//
// The variables are read at every call, so a test may change them between
// cases; the count starts afresh whenever they change. torv_fault_fired()
// tells how often a fault was injected since then. Copies made by the kernel
// (sendfile, copy_file_range) count as writes.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/sendfile.h>
#include <sys/types.h>
#include <unistd.h>

extern "C" {

static char armed_key[PATH_MAX + 64];
static long calls;
static int fired;

/* The current settings as one text; empty when no fault is asked for. */
static void current_key(char* key, size_t size)
{
    const char* dir = getenv("TORV_FAULT_DIR");
    const char* op = getenv("TORV_FAULT_OP");
    const char* nth = getenv("TORV_FAULT_NTH");
    const char* err = getenv("TORV_FAULT_ERRNO");
    if (!dir || !*dir || !op || !nth) {
        key[0] = 0;
        return;
    }
    snprintf(key, size, "%s|%s|%s|%s", dir, op, nth, err ? err : "");
}

static int under_dir(const char* path)
{
    const char* dir = getenv("TORV_FAULT_DIR");
    size_t n;
    if (!path || !dir || !*dir)
        return 0;
    n = strlen(dir);
    return strncmp(path, dir, n) == 0 && (path[n] == '/' || path[n] == 0);
}

static int fd_under_dir(int fd)
{
    char link[64], target[PATH_MAX];
    ssize_t n;
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    n = readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return 0;
    target[n] = 0;
    return under_dir(target);
}

/* True when this call of `op` is the one to fail; sets errno then. */
static int should_fail(const char* op)
{
    char key[sizeof armed_key];
    const char* want;
    const char* err;
    current_key(key, sizeof key);
    if (!key[0])
        return 0;
    if (strcmp(key, armed_key) != 0) {
        strcpy(armed_key, key);
        calls = 0;
        fired = 0;
    }
    want = getenv("TORV_FAULT_OP");
    if (strcmp(want, op) != 0)
        return 0;
    if (++calls != atol(getenv("TORV_FAULT_NTH")))
        return 0;
    err = getenv("TORV_FAULT_ERRNO");
    ++fired;
    errno = err && strcmp(err, "EIO") == 0 ? EIO : ENOSPC;
    return 1;
}

__attribute__((visibility("default"))) int torv_fault_fired(void)
{
    char key[sizeof armed_key];
    current_key(key, sizeof key);
    return strcmp(key, armed_key) == 0 ? fired : 0;
}

#define NEXT(name) (reinterpret_cast<decltype(&name)>(dlsym(RTLD_NEXT, #name)))

ssize_t write(int fd, const void* buf, size_t count)
{
    if (fd > 2 && fd_under_dir(fd) && should_fail("write"))
        return -1;
    return NEXT(write)(fd, buf, count);
}

int fsync(int fd)
{
    if (fd_under_dir(fd) && should_fail("fsync"))
        return -1;
    return NEXT(fsync)(fd);
}

int fdatasync(int fd)
{
    if (fd_under_dir(fd) && should_fail("fsync"))
        return -1;
    return NEXT(fdatasync)(fd);
}

int rename(const char* from, const char* to)
{
    if ((under_dir(from) || under_dir(to)) && should_fail("rename"))
        return -1;
    return NEXT(rename)(from, to);
}

int renameat(int fromdir, const char* from, int todir, const char* to)
{
    if ((under_dir(from) || under_dir(to)) && should_fail("rename"))
        return -1;
    return NEXT(renameat)(fromdir, from, todir, to);
}

static int creating(const char* path, int flags)
{
    return (flags & O_CREAT) && under_dir(path) && should_fail("create");
}

int open(const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    if (creating(path, flags))
        return -1;
    return NEXT(open)(path, flags, mode);
}

int open64(const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    if (creating(path, flags))
        return -1;
    return NEXT(open64)(path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    if (creating(path, flags))
        return -1;
    return NEXT(openat)(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    if (creating(path, flags))
        return -1;
    return NEXT(openat64)(dirfd, path, flags, mode);
}

int creat(const char* path, mode_t mode)
{
    if (under_dir(path) && should_fail("create"))
        return -1;
    return NEXT(creat)(path, mode);
}

int mkstemp(char* tmpl)
{
    if (under_dir(tmpl) && should_fail("create"))
        return -1;
    return NEXT(mkstemp)(tmpl);
}

int mkostemp(char* tmpl, int flags)
{
    if (under_dir(tmpl) && should_fail("create"))
        return -1;
    return NEXT(mkostemp)(tmpl, flags);
}

int mkstemps(char* tmpl, int suffixlen)
{
    if (under_dir(tmpl) && should_fail("create"))
        return -1;
    return NEXT(mkstemps)(tmpl, suffixlen);
}

FILE* fopen(const char* path, const char* mode)
{
    if (mode && (strchr(mode, 'w') || strchr(mode, 'a')) && under_dir(path) && should_fail("create"))
        return NULL;
    return NEXT(fopen)(path, mode);
}

FILE* fopen64(const char* path, const char* mode)
{
    if (mode && (strchr(mode, 'w') || strchr(mode, 'a')) && under_dir(path) && should_fail("create"))
        return NULL;
    return NEXT(fopen64)(path, mode);
}

ssize_t sendfile(int out, int in, off_t* offset, size_t count)
{
    if (fd_under_dir(out) && should_fail("write"))
        return -1;
    return NEXT(sendfile)(out, in, offset, count);
}

ssize_t copy_file_range(int in, off64_t* inOff, int out, off64_t* outOff, size_t len, unsigned flags)
{
    if (fd_under_dir(out) && should_fail("write"))
        return -1;
    return NEXT(copy_file_range)(in, inOff, out, outOff, len, flags);
}

} // extern "C"
