/* Preloaded into Wine by scripts/test-windows.sh (Linux side only).
 *
 * Wine's serial layer reads the modem lines (TIOCMGET) on every pass of a
 * WaitCommEvent and cancels the wait when that fails, which it always does on
 * a pseudo-terminal: a pty has no modem lines. This shim gives pty slaves the
 * lines of a plugged-in device (CTS, DSR and carrier on; DTR and RTS as last
 * set), so the Windows program's event wait behaves as on a serial port. It
 * also makes a pty slave exclusive, as a Windows COM port is: a second open
 * while one is held fails with EACCES (Windows: "Access denied.").
 * And it refuses every open of a real serial port of this machine, so no
 * Windows test can reach one even through a stray COM link.
 * Everything else passes through unchanged.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

#define MAX_FDS 4096
static int modem_bits[MAX_FDS];

static int is_pty_slave(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return 0;
    unsigned int major_number = major(st.st_rdev);
    return major_number >= 136 && major_number <= 143;
}

int ioctl(int fd, unsigned long request, ...) {
    static int (*real_ioctl)(int, unsigned long, ...);
    if (!real_ioctl) real_ioctl = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if ((request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS ||
         request == TIOCMBIC) && fd >= 0 && fd < MAX_FDS && is_pty_slave(fd)) {
        int* bits = (int*)arg;
        const int control = TIOCM_DTR | TIOCM_RTS;
        switch (request) {
            case TIOCMGET: *bits = (modem_bits[fd] & control) | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR; break;
            case TIOCMSET: modem_bits[fd] = *bits & control; break;
            case TIOCMBIS: modem_bits[fd] |= *bits & control; break;
            case TIOCMBIC: modem_bits[fd] &= ~(*bits & control); break;
        }
        return 0;
    }
    return real_ioctl(fd, request, arg);
}

/* A real serial port of this machine: 8250 ttyS (major 4, minor 64 and up),
 * USB serial (188) and ACM (166) devices. */
static int is_real_serial(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return 0;
    unsigned int major_number = major(st.st_rdev);
    return (major_number == 4 && minor(st.st_rdev) >= 64) || major_number == 188 ||
           major_number == 166;
}

static int real_close(int fd) {
    static int (*close_function)(int);
    if (!close_function) close_function = (int (*)(int))dlsym(RTLD_NEXT, "close");
    return close_function(fd);
}

static int exclusive(int fd) {
    if (fd < 0) return fd;
    if (is_real_serial(fd)) {
        /* Tests never touch the machine's own ports. */
        real_close(fd);
        errno = ENOENT;
        return -1;
    }
    if (!is_pty_slave(fd)) return fd;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        real_close(fd);
        errno = EACCES;
        return -1;
    }
    if (fd < MAX_FDS) modem_bits[fd] = 0;
    return fd;
}

#define OPEN_WRAPPER(name)                                                   \
    int name(const char* path, int flags, ...) {                             \
        static int (*real)(const char*, int, ...);                          \
        if (!real) real = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, #name); \
        va_list ap;                                                          \
        va_start(ap, flags);                                                 \
        mode_t mode = (mode_t)va_arg(ap, int);                               \
        va_end(ap);                                                          \
        return exclusive(real(path, flags, mode));                          \
    }
OPEN_WRAPPER(open)
OPEN_WRAPPER(open64)

#define OPENAT_WRAPPER(name)                                                 \
    int name(int dirfd, const char* path, int flags, ...) {                  \
        static int (*real)(int, const char*, int, ...);                     \
        if (!real) real = (int (*)(int, const char*, int, ...))dlsym(RTLD_NEXT, #name); \
        va_list ap;                                                          \
        va_start(ap, flags);                                                 \
        mode_t mode = (mode_t)va_arg(ap, int);                               \
        va_end(ap);                                                          \
        return exclusive(real(dirfd, path, flags, mode));                   \
    }
OPENAT_WRAPPER(openat)
OPENAT_WRAPPER(openat64)
