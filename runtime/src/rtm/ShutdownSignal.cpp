#include "ShutdownSignal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace RTC {

namespace {

// Written by the signal handler and by request(); wait() polls it.
int g_wakePipe[2] = {-1, -1};

void writeWakeByte(char byte) {
    if (g_wakePipe[1] >= 0) {
        ssize_t n = write(g_wakePipe[1], &byte, 1);
        (void)n;  // a full pipe already holds a request
    }
}

void onSignal(int) {
    const int saved = errno;
    writeWakeByte('s');
    errno = saved;
}

}  // namespace

void ShutdownSignal::install() {
    if (g_wakePipe[0] < 0) {
        if (pipe2(g_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            g_wakePipe[0] = g_wakePipe[1] = -1;
            return;
        }
    }
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

void ShutdownSignal::request() { writeWakeByte('t'); }

void ShutdownSignal::wait() {
    if (g_wakePipe[0] < 0) {
        // Without the pipe there is no way to be woken: sleep until killed.
        while (true) pause();
    }
    struct pollfd pfd;
    pfd.fd = g_wakePipe[0];
    pfd.events = POLLIN;
    while (true) {
        int r = poll(&pfd, 1, -1);
        if (r > 0) break;
        if (r < 0 && errno != EINTR) break;
    }
    char buf[16];
    while (read(g_wakePipe[0], buf, sizeof buf) > 0) {
    }
}

}  // namespace RTC
