#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include "common/error_exit.h"
#include "common/process.h"

namespace vextal {

void guard_standard_streams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() takes the lowest free number, which is this one; if it fails
        // there is nothing better to do than go on.
        int null = open("/dev/null", O_RDWR);
        if (null >= 0 && null != fd) close(null);
    }
}

void buffer_standard_output() {
    static char buffer[4096];
    std::setvbuf(stdout, buffer, isatty(STDOUT_FILENO) ? _IOLBF : _IOFBF, sizeof buffer);
}

namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Async-signal-safe throughout: the file layer and the exit cleanups use
// system calls on fixed storage only.
void on_ending_signal(int signal_number) {
    run_exit_cleanups(ExitPath::kSignal);
    // The default action, raised again: the parent sees the signal (a shell
    // reports 128 + its number).
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal_number);
    sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    raise(signal_number);
    _exit(128 + signal_number);
}

}  // namespace

void install_signal_handlers() {
    // Past the file size limit a write then fails with EFBIG and the run ends
    // with the write error like on a full disk.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, nullptr);

    struct sigaction action {};
    action.sa_handler = on_ending_signal;
    sigemptyset(&action.sa_mask);
    // One cleanup at a time: the others wait while it runs.
    for (int s : kEndingSignals) sigaddset(&action.sa_mask, s);
    for (int s : kEndingSignals) {
        // A signal ignored at start (nohup, a background job) stays ignored.
        struct sigaction current {};
        if (sigaction(s, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        sigaction(s, &action, nullptr);
    }
}

void take_arguments(int&, char**&) {}

}  // namespace vextal
