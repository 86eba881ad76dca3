/* Preloaded into the arm64 tests when they run under qemu-user (Debian 12's
 * 7.2): it tells programs that the system has no process file descriptors.
 * QProcess sees pidfds supported (waitid(P_PIDFD) is passed through), then
 * starts the child with clone(CLONE_PIDFD), which the emulator refuses, and
 * reports every child as crashed. Without pidfds it starts children with a
 * plain fork, as on older kernels. A real arm64 machine needs none of this. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/syscall.h>

#define CLONE_PIDFD_FLAG 0x1000
#define P_PIDFD_TYPE 3

long syscall(long number, ...)
{
    va_list list;
    long a[6];
    int i;
    va_start(list, number);
    for (i = 0; i < 6; ++i)
        a[i] = va_arg(list, long);
    va_end(list);
    if ((number == SYS_clone && (a[0] & CLONE_PIDFD_FLAG)) || (number == SYS_waitid && a[0] == P_PIDFD_TYPE)) {
        errno = ENOSYS;
        return -1;
    }
    static long (*next)(long, ...);
    if (!next)
        next = (long (*)(long, ...))dlsym(RTLD_NEXT, "syscall");
    return next(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}
