/* A fault injector loaded with LD_PRELOAD into the programs under test. It imitates, for the
 * files whose path contains a given text, a disk that fills up, a file that cannot be read,
 * and a file that another program shrinks or grows while it is being read. It is driven by
 * environment variables, read once when the library is loaded:
 *
 *   KF_FAULT_FULL_PATH=TEXT      files opened under a path holding TEXT live on a "full disk":
 *   KF_FAULT_FULL_AFTER=N        after N bytes in all written to such files (default 0), every
 *                                write fails with ENOSPC; the write that crosses N is cut short,
 *                                as a real disk does. fallocate beyond N fails too.
 *   KF_FAULT_SYNC_FAILS=1        besides, fsync/fdatasync of such files fail with ENOSPC (a
 *                                delayed allocation that finds no room when flushed).
 *   KF_FAULT_UNREADABLE_PATH=TEXT  files whose path holds TEXT cannot be read:
 *   KF_FAULT_UNREADABLE_MODE=open|read  "open" (default): opening them for reading fails with
 *                                EACCES; "read": they open, but reading fails with EIO once
 *                                KF_FAULT_READ_AFTER bytes (default 0) have been read from them.
 *   KF_FAULT_RESIZE_PATH=TEXT    once KF_FAULT_RESIZE_AFTER bytes (default 0) have been read
 *   KF_FAULT_RESIZE_TO=M         from a file whose path holds TEXT, the file is truncated or
 *                                extended to M bytes (extended with 'G' bytes), once, before the
 *                                read goes on: another program changing the file under us.
 *   KF_FAULT_LOG=PATH            one line per injected fault is appended to PATH, so a test can
 *                                tell that its fault really happened.
 *
 * Descriptors are tracked from the calls that make them (open, openat, creat, their 64-bit
 * and fortified names, mkstemp and its relatives, dup) to close. Reads are covered through
 * read, pread, readv, preadv, copy_file_range and sendfile (as the source); writes through
 * write, pwrite, writev, pwritev, copy_file_range and sendfile (as the target). ftruncate is
 * let through: growing a file that way makes a sparse file, which needs no room. */

#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

/* The fortified entry points of open; glibc declares them only in fortified builds. */
int __open_2(const char* path, int flags);
int __open64_2(const char* path, int flags);
int __openat_2(int folder, const char* path, int flags);

#define MAX_TRACKED_FDS 4096
#define MAX_TEXT 512

enum { kFull = 1, kUnreadable = 2, kResize = 4 };

static char full_text[MAX_TEXT];
static char unreadable_text[MAX_TEXT];
static char resize_text[MAX_TEXT];
static char log_path[MAX_TEXT];
static long long full_after;
static int sync_fails;
static int unreadable_on_read; /* 0: fail the open, 1: fail the reads */
static long long read_after;
static long long resize_after;
static long long resize_to = -1;

static unsigned char fd_kind[MAX_TRACKED_FDS];
static char resize_path[4096];
static long long written_total;   /* bytes written to "full" files, process-wide */
static long long unreadable_read; /* bytes read from unreadable files */
static long long resize_read;     /* bytes read from the file to be resized */
static int resized;

static void CopyEnv(const char* name, char* to) {
    const char* value = getenv(name);
    if (value != NULL && strlen(value) < MAX_TEXT) strcpy(to, value);
}

static long long EnvNumber(const char* name, long long fallback) {
    const char* value = getenv(name);
    return value != NULL && *value != '\0' ? strtoll(value, NULL, 10) : fallback;
}

__attribute__((constructor)) static void ReadSettings(void) {
    CopyEnv("KF_FAULT_FULL_PATH", full_text);
    CopyEnv("KF_FAULT_UNREADABLE_PATH", unreadable_text);
    CopyEnv("KF_FAULT_RESIZE_PATH", resize_text);
    CopyEnv("KF_FAULT_LOG", log_path);
    full_after = EnvNumber("KF_FAULT_FULL_AFTER", 0);
    sync_fails = (int)EnvNumber("KF_FAULT_SYNC_FAILS", 0);
    const char* mode = getenv("KF_FAULT_UNREADABLE_MODE");
    unreadable_on_read = mode != NULL && strcmp(mode, "read") == 0;
    read_after = EnvNumber("KF_FAULT_READ_AFTER", 0);
    resize_after = EnvNumber("KF_FAULT_RESIZE_AFTER", 0);
    resize_to = EnvNumber("KF_FAULT_RESIZE_TO", -1);
}

#define REAL(name) static __typeof__(name)* real_##name; if (!real_##name) real_##name = (__typeof__(name)*)dlsym(RTLD_NEXT, #name)

static void Log(const char* what, int fd) {
    if (log_path[0] == '\0') return;
    static int (*real_open_for_log)(const char*, int, ...);
    static ssize_t (*real_write_for_log)(int, const void*, size_t);
    static int (*real_close_for_log)(int);
    if (!real_open_for_log) real_open_for_log = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open");
    if (!real_write_for_log) real_write_for_log = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    if (!real_close_for_log) real_close_for_log = (int (*)(int))dlsym(RTLD_NEXT, "close");
    char line[256];
    const int n = snprintf(line, sizeof line, "%s fd=%d pid=%d\n", what, fd, (int)getpid());
    const int log = real_open_for_log(log_path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (log < 0) return;
    if (n > 0) (void)real_write_for_log(log, line, (size_t)n);
    real_close_for_log(log);
}

static int Kind(int fd) { return fd >= 0 && fd < MAX_TRACKED_FDS ? fd_kind[fd] : 0; }

static int Matches(const char* path, const char* text) {
    return text[0] != '\0' && path != NULL && strstr(path, text) != NULL;
}

static int Reads(int flags) { return (flags & O_ACCMODE) != O_WRONLY; }

/* Refuses the open itself (returns 1) when an unreadable file is opened for reading. */
static int RefuseOpen(const char* path, int flags) {
    if (unreadable_on_read || !Reads(flags) || !Matches(path, unreadable_text)) return 0;
    Log("refused open", -1);
    errno = EACCES;
    return 1;
}

static int Track(int fd, const char* path) {
    if (fd < 0 || fd >= MAX_TRACKED_FDS) return fd;
    unsigned char kind = 0;
    if (Matches(path, full_text)) kind |= kFull;
    if (unreadable_on_read && Matches(path, unreadable_text)) kind |= kUnreadable;
    if (Matches(path, resize_text) && resize_to >= 0) {
        kind |= kResize;
        if (strlen(path) < sizeof resize_path) strcpy(resize_path, path);
    }
    __atomic_store_n(&fd_kind[fd], kind, __ATOMIC_SEQ_CST);
    return fd;
}

/* How many of `count` bytes may be written to `fd`; -1 with errno set when none may. */
static long long WriteAllowance(int fd, size_t count) {
    if (!(Kind(fd) & kFull) || count == 0) return (long long)count;
    const long long before = __atomic_load_n(&written_total, __ATOMIC_SEQ_CST);
    const long long room = full_after - before;
    if (room <= 0) {
        Log("full disk", fd);
        errno = ENOSPC;
        return -1;
    }
    return room < (long long)count ? room : (long long)count;
}

static void NoteWritten(int fd, long long n) {
    if ((Kind(fd) & kFull) && n > 0) __atomic_add_fetch(&written_total, n, __ATOMIC_SEQ_CST);
}

/* Before a read from `fd`: 0 to go on, -1 with errno set to fail it. Changes the file's size
 * when its turn has come. */
static int BeforeRead(int fd) {
    const int kind = Kind(fd);
    if ((kind & kUnreadable) && __atomic_load_n(&unreadable_read, __ATOMIC_SEQ_CST) >= read_after) {
        Log("read error", fd);
        errno = EIO;
        return -1;
    }
    if ((kind & kResize) && !resized && __atomic_load_n(&resize_read, __ATOMIC_SEQ_CST) >= resize_after) {
        resized = 1;
        REAL(truncate);
        struct stat st;
        if (stat(resize_path, &st) == 0 && resize_to > st.st_size) {
            /* Growing: append bytes, as a program writing to the file would. */
            REAL(open);
            REAL(write);
            REAL(close);
            const int out = real_open(resize_path, O_WRONLY | O_APPEND | O_CLOEXEC);
            if (out >= 0) {
                char block[4096];
                memset(block, 'G', sizeof block);
                long long left = resize_to - st.st_size;
                while (left > 0) {
                    const ssize_t n = real_write(out, block, left < (long long)sizeof block ? (size_t)left : sizeof block);
                    if (n <= 0) break;
                    left -= n;
                }
                real_close(out);
            }
        } else {
            real_truncate(resize_path, resize_to);
        }
        Log("resized", fd);
    }
    return 0;
}

/* The part of a read of `count` bytes that an unreadable file still yields before its error. */
static size_t ReadAllowance(int fd, size_t count) {
    if (!(Kind(fd) & kUnreadable)) return count;
    const long long room = read_after - __atomic_load_n(&unreadable_read, __ATOMIC_SEQ_CST);
    return room < (long long)count ? (size_t)room : count;
}

static void NoteRead(int fd, long long n) {
    if (n <= 0) return;
    if (Kind(fd) & kUnreadable) __atomic_add_fetch(&unreadable_read, n, __ATOMIC_SEQ_CST);
    if (Kind(fd) & kResize) __atomic_add_fetch(&resize_read, n, __ATOMIC_SEQ_CST);
}

/* ---- descriptors ---- */

static mode_t ModeArgument(int flags, va_list arguments) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? (mode_t)va_arg(arguments, int) : 0;
}

int open(const char* path, int flags, ...) {
    REAL(open);
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeArgument(flags, arguments);
    va_end(arguments);
    if (RefuseOpen(path, flags)) return -1;
    return Track(real_open(path, flags, mode), path);
}

int open64(const char* path, int flags, ...) {
    REAL(open64);
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeArgument(flags, arguments);
    va_end(arguments);
    if (RefuseOpen(path, flags)) return -1;
    return Track(real_open64(path, flags, mode), path);
}

int openat(int folder, const char* path, int flags, ...) {
    REAL(openat);
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeArgument(flags, arguments);
    va_end(arguments);
    if (RefuseOpen(path, flags)) return -1;
    return Track(real_openat(folder, path, flags, mode), path);
}

int openat64(int folder, const char* path, int flags, ...) {
    REAL(openat64);
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeArgument(flags, arguments);
    va_end(arguments);
    if (RefuseOpen(path, flags)) return -1;
    return Track(real_openat64(folder, path, flags, mode), path);
}

int __open_2(const char* path, int flags) {
    REAL(__open_2);
    if (RefuseOpen(path, flags)) return -1;
    return Track(real___open_2(path, flags), path);
}

int __open64_2(const char* path, int flags) {
    REAL(__open64_2);
    if (RefuseOpen(path, flags)) return -1;
    return Track(real___open64_2(path, flags), path);
}

int __openat_2(int folder, const char* path, int flags) {
    REAL(__openat_2);
    if (RefuseOpen(path, flags)) return -1;
    return Track(real___openat_2(folder, path, flags), path);
}

int creat(const char* path, mode_t mode) {
    REAL(creat);
    return Track(real_creat(path, mode), path);
}

int creat64(const char* path, mode_t mode) {
    REAL(creat64);
    return Track(real_creat64(path, mode), path);
}

int mkstemp(char* name) {
    REAL(mkstemp);
    return Track(real_mkstemp(name), name);
}

int mkostemp(char* name, int flags) {
    REAL(mkostemp);
    return Track(real_mkostemp(name, flags), name);
}

int mkstemps(char* name, int suffix) {
    REAL(mkstemps);
    return Track(real_mkstemps(name, suffix), name);
}

int mkostemps(char* name, int suffix, int flags) {
    REAL(mkostemps);
    return Track(real_mkostemps(name, suffix, flags), name);
}

static int CopyKind(int from, int to) {
    if (to >= 0 && to < MAX_TRACKED_FDS) __atomic_store_n(&fd_kind[to], (unsigned char)Kind(from), __ATOMIC_SEQ_CST);
    return to;
}

int dup(int fd) {
    REAL(dup);
    return CopyKind(fd, real_dup(fd));
}

int dup2(int fd, int to) {
    REAL(dup2);
    return CopyKind(fd, real_dup2(fd, to));
}

int dup3(int fd, int to, int flags) {
    REAL(dup3);
    return CopyKind(fd, real_dup3(fd, to, flags));
}

int close(int fd) {
    REAL(close);
    if (fd >= 0 && fd < MAX_TRACKED_FDS) __atomic_store_n(&fd_kind[fd], 0, __ATOMIC_SEQ_CST);
    return real_close(fd);
}

/* ---- writes ---- */

ssize_t write(int fd, const void* data, size_t count) {
    REAL(write);
    const long long allowed = WriteAllowance(fd, count);
    if (allowed < 0) return -1;
    const ssize_t n = real_write(fd, data, (size_t)allowed);
    NoteWritten(fd, n);
    return n;
}

ssize_t pwrite(int fd, const void* data, size_t count, off_t offset) {
    REAL(pwrite);
    const long long allowed = WriteAllowance(fd, count);
    if (allowed < 0) return -1;
    const ssize_t n = real_pwrite(fd, data, (size_t)allowed, offset);
    NoteWritten(fd, n);
    return n;
}

ssize_t pwrite64(int fd, const void* data, size_t count, off64_t offset) {
    REAL(pwrite64);
    const long long allowed = WriteAllowance(fd, count);
    if (allowed < 0) return -1;
    const ssize_t n = real_pwrite64(fd, data, (size_t)allowed, offset);
    NoteWritten(fd, n);
    return n;
}

static size_t VectorSize(const struct iovec* vector, int count) {
    size_t total = 0;
    for (int i = 0; i < count; ++i) total += vector[i].iov_len;
    return total;
}

/* A vector cut to `allowed` bytes, in `cut` (at most 64 parts are kept). */
static int CutVector(const struct iovec* vector, int count, long long allowed, struct iovec* cut) {
    int parts = 0;
    for (int i = 0; i < count && allowed > 0 && parts < 64; ++i) {
        cut[parts] = vector[i];
        if ((long long)cut[parts].iov_len > allowed) cut[parts].iov_len = (size_t)allowed;
        allowed -= (long long)cut[parts].iov_len;
        ++parts;
    }
    return parts;
}

ssize_t writev(int fd, const struct iovec* vector, int count) {
    REAL(writev);
    if (!(Kind(fd) & kFull)) return real_writev(fd, vector, count);
    const long long allowed = WriteAllowance(fd, VectorSize(vector, count));
    if (allowed < 0) return -1;
    struct iovec cut[64];
    const ssize_t n = real_writev(fd, cut, CutVector(vector, count, allowed, cut));
    NoteWritten(fd, n);
    return n;
}

ssize_t pwritev(int fd, const struct iovec* vector, int count, off_t offset) {
    REAL(pwritev);
    if (!(Kind(fd) & kFull)) return real_pwritev(fd, vector, count, offset);
    const long long allowed = WriteAllowance(fd, VectorSize(vector, count));
    if (allowed < 0) return -1;
    struct iovec cut[64];
    const ssize_t n = real_pwritev(fd, cut, CutVector(vector, count, allowed, cut), offset);
    NoteWritten(fd, n);
    return n;
}

int fallocate(int fd, int mode, off_t offset, off_t length) {
    REAL(fallocate);
    if ((Kind(fd) & kFull) && offset + length > full_after) {
        Log("full disk", fd);
        errno = ENOSPC;
        return -1;
    }
    return real_fallocate(fd, mode, offset, length);
}

int posix_fallocate(int fd, off_t offset, off_t length) {
    REAL(posix_fallocate);
    if ((Kind(fd) & kFull) && offset + length > full_after) {
        Log("full disk", fd);
        return ENOSPC;
    }
    return real_posix_fallocate(fd, offset, length);
}

int fsync(int fd) {
    REAL(fsync);
    if ((Kind(fd) & kFull) && sync_fails) {
        Log("sync failed", fd);
        errno = ENOSPC;
        return -1;
    }
    return real_fsync(fd);
}

int fdatasync(int fd) {
    REAL(fdatasync);
    if ((Kind(fd) & kFull) && sync_fails) {
        Log("sync failed", fd);
        errno = ENOSPC;
        return -1;
    }
    return real_fdatasync(fd);
}

/* ---- reads ---- */

ssize_t read(int fd, void* data, size_t count) {
    REAL(read);
    if (Kind(fd) == 0) return real_read(fd, data, count);
    if (BeforeRead(fd) != 0) return -1;
    const ssize_t n = real_read(fd, data, ReadAllowance(fd, count));
    NoteRead(fd, n);
    return n;
}

ssize_t pread(int fd, void* data, size_t count, off_t offset) {
    REAL(pread);
    if (Kind(fd) == 0) return real_pread(fd, data, count, offset);
    if (BeforeRead(fd) != 0) return -1;
    const ssize_t n = real_pread(fd, data, ReadAllowance(fd, count), offset);
    NoteRead(fd, n);
    return n;
}

ssize_t pread64(int fd, void* data, size_t count, off64_t offset) {
    REAL(pread64);
    if (Kind(fd) == 0) return real_pread64(fd, data, count, offset);
    if (BeforeRead(fd) != 0) return -1;
    const ssize_t n = real_pread64(fd, data, ReadAllowance(fd, count), offset);
    NoteRead(fd, n);
    return n;
}

ssize_t readv(int fd, const struct iovec* vector, int count) {
    REAL(readv);
    if (Kind(fd) == 0) return real_readv(fd, vector, count);
    if (BeforeRead(fd) != 0) return -1;
    struct iovec cut[64];
    const ssize_t n = real_readv(fd, cut, CutVector(vector, count, (long long)ReadAllowance(fd, VectorSize(vector, count)), cut));
    NoteRead(fd, n);
    return n;
}

ssize_t preadv(int fd, const struct iovec* vector, int count, off_t offset) {
    REAL(preadv);
    if (Kind(fd) == 0) return real_preadv(fd, vector, count, offset);
    if (BeforeRead(fd) != 0) return -1;
    struct iovec cut[64];
    const ssize_t n =
        real_preadv(fd, cut, CutVector(vector, count, (long long)ReadAllowance(fd, VectorSize(vector, count)), cut), offset);
    NoteRead(fd, n);
    return n;
}

/* ---- kernel copies: both ends ---- */

ssize_t copy_file_range(int from, off64_t* from_offset, int to, off64_t* to_offset, size_t count, unsigned int flags) {
    REAL(copy_file_range);
    if (Kind(from) == 0 && Kind(to) == 0) return real_copy_file_range(from, from_offset, to, to_offset, count, flags);
    if (Kind(from) != 0 && BeforeRead(from) != 0) return -1;
    const long long allowed = WriteAllowance(to, ReadAllowance(from, count));
    if (allowed < 0) return -1;
    const ssize_t n = real_copy_file_range(from, from_offset, to, to_offset, (size_t)allowed, flags);
    NoteRead(from, n);
    NoteWritten(to, n);
    return n;
}

ssize_t sendfile(int to, int from, off_t* offset, size_t count) {
    REAL(sendfile);
    if (Kind(from) == 0 && Kind(to) == 0) return real_sendfile(to, from, offset, count);
    if (Kind(from) != 0 && BeforeRead(from) != 0) return -1;
    const long long allowed = WriteAllowance(to, ReadAllowance(from, count));
    if (allowed < 0) return -1;
    const ssize_t n = real_sendfile(to, from, offset, (size_t)allowed);
    NoteRead(from, n);
    NoteWritten(to, n);
    return n;
}

ssize_t sendfile64(int to, int from, off64_t* offset, size_t count) {
    REAL(sendfile64);
    if (Kind(from) == 0 && Kind(to) == 0) return real_sendfile64(to, from, offset, count);
    if (Kind(from) != 0 && BeforeRead(from) != 0) return -1;
    const long long allowed = WriteAllowance(to, ReadAllowance(from, count));
    if (allowed < 0) return -1;
    const ssize_t n = real_sendfile64(to, from, offset, (size_t)allowed);
    NoteRead(from, n);
    NoteWritten(to, n);
    return n;
}
