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

// The signals whose default action ends the process, SIGPIPE and SIGXFSZ
// aside (they are ignored) and SIGKILL and SIGSTOP aside (they cannot be
// caught); the real-time signals from SIGRTMIN to SIGRTMAX as well.
constexpr int kEndingSignals[] = {SIGHUP,  SIGINT,    SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
                                  SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2, SIGALRM, SIGTERM, SIGSTKFLT,
                                  SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSYS};

template <typename Visit>
void each_ending_signal(Visit visit) {
    for (int s : kEndingSignals) visit(s);
    for (int s = SIGRTMIN; s <= SIGRTMAX; ++s) visit(s);
}

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

void ignore(int signal_number) {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
}

}  // namespace

void prepare_signals() {
    // Past the file size limit a write then fails with EFBIG, and to a pipe
    // without a reader with EPIPE: the run ends with the write error, its
    // earlier outputs back, and the error report still reaches standard
    // error when standard output is such a pipe.
    ignore(SIGXFSZ);
    ignore(SIGPIPE);
}

void catch_ending_signals() {
    struct sigaction action {};
    action.sa_handler = on_ending_signal;
    sigemptyset(&action.sa_mask);
    // One cleanup at a time: the others wait while it runs.
    each_ending_signal([&](int s) { sigaddset(&action.sa_mask, s); });
    each_ending_signal([&](int s) {
        // A signal ignored at start (nohup, a background job) stays ignored,
        // and a handler someone else set (a sanitizer's) stays in place.
        struct sigaction current {};
        if (sigaction(s, nullptr, &current) != 0) return;
        if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) return;
        sigaction(s, &action, nullptr);
    });
}

void take_arguments(int&, char**&) {}

}  // namespace vextal
