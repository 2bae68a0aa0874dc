// SPDX-License-Identifier: MIT
/* The yardstick on the wire: the least a program can do to pulse DTR.
 *   c_pulser DEVICE N     N pulses of 500 ms, 1 s apart */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

static void sleep_ms(long ms)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    t.tv_sec += ms / 1000;
    t.tv_nsec += (ms % 1000) * 1000000L;
    if (t.tv_nsec >= 1000000000L) { t.tv_sec++; t.tv_nsec -= 1000000000L; }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, NULL) != 0) {}
}

int main(int argc, char **argv)
{
    if (argc != 3) { fprintf(stderr, "usage: c_pulser DEVICE N\n"); return 2; }
    int fd = open(argv[1], O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) { perror(argv[1]); return 1; }
    int both = TIOCM_DTR | TIOCM_RTS, dtr = TIOCM_DTR;
    ioctl(fd, TIOCMBIC, &both);
    for (int i = 0, n = atoi(argv[2]); i < n; i++) {
        ioctl(fd, TIOCMBIS, &dtr);
        sleep_ms(500);
        ioctl(fd, TIOCMBIC, &dtr);
        sleep_ms(1000);
    }
    close(fd);
    return 0;
}
