#include "temp_file_posix.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quadrivo {

namespace {

// The temporary file that a signal handler must remove. A handler can reach
// nothing else, so this one record is global; it is set and cleared with the
// signals blocked, and read only by the handler.
char g_temp_file[TEMP_NAME];
volatile sig_atomic_t g_temp_held = 0;

// The signals whose default action ends the program, real-time ones aside.
constexpr int ENDING_SIGNALS[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV,
    SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGIO
    SIGIO,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

// Removes the temporary file, then ends the program as the signal would have.
extern "C" void remove_temp_and_end(int signal_number) {
    if (g_temp_held) {
        unlink(g_temp_file);
    }
    raise(signal_number);  // delivered once the handler returns: SA_RESETHAND put back the default
}

// Calls set(signal) for each ending signal, the real-time ones included.
template <typename Set>
void each_ending_signal(Set set) {
    for (const int signal_number : ENDING_SIGNALS) {
        set(signal_number);
    }
#ifdef SIGRTMIN
    for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number) {
        set(signal_number);
    }
#endif
}

// Installs the handler for every ending signal not ignored at start.
void mind_temp_file(const char* name) {
    std::memcpy(g_temp_file, name, sizeof g_temp_file);
    g_temp_held = 1;
    struct sigaction action {};
    action.sa_handler = remove_temp_and_end;
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    sigfillset(&action.sa_mask);
    each_ending_signal([&action](int signal_number) {
        struct sigaction before {};
        if (sigaction(signal_number, &action, &before) == 0 && before.sa_handler == SIG_IGN) {
            sigaction(signal_number, &before, nullptr);
        }
    });
}

// Puts back the default action where the handler was installed.
void stop_minding() {
    g_temp_held = 0;
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    each_ending_signal([&default_action](int signal_number) {
        struct sigaction before {};
        if (sigaction(signal_number, &default_action, &before) == 0 && before.sa_handler != remove_temp_and_end) {
            sigaction(signal_number, &before, nullptr);
        }
    });
}

}  // namespace

SignalsBlocked::SignalsBlocked() {
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &before_);
}

SignalsBlocked::~SignalsBlocked() {
    sigprocmask(SIG_SETMASK, &before_, nullptr);
}

TempFile::TempFile(char* name) {
    const SignalsBlocked blocked;  // the file and its handlers appear in one step
    fd_ = mkstemp(name);  // O_EXCL, mode 0600, a random suffix
    error_ = fd_ < 0 ? errno : 0;
    if (fd_ >= 0) {
        mind_temp_file(name);
        held_ = true;
    }
}

int TempFile::close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0 ? 0 : errno;
}

void TempFile::forget() {
    if (held_) {
        stop_minding();
        held_ = false;
    }
}

TempFile::~TempFile() {
    close();
    const SignalsBlocked blocked;
    if (held_) {
        unlink(g_temp_file);
    }
    forget();
}

}  // namespace quadrivo
