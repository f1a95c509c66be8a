// Signals on POSIX: blocked for a step, SIGXFSZ ignored, and the handler that removes a minded file.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "file_primitives.hpp"

namespace quadrivo {

namespace {

constexpr int SIGNALS = 65;  // numbers up to SIGRTMAX on Linux
constexpr int MINDED = static_cast<int>(Minded::count);

// What a signal handler must know, so this one record is global: which
// files to remove. Changed with the signals blocked.
struct Record {
    char name[MINDED][TEMP_NAME];
    FileInfo info[MINDED];
    volatile sig_atomic_t held[MINDED];
    bool installed[SIGNALS];
    struct sigaction before[SIGNALS];  // the action the handler replaced
} g_record;

// Removes the minded files, each only if it is still the file minded, then
// ends the program as the signal would have.
extern "C" void remove_and_end(int signal_number) {
    for (int which = 0; which < MINDED; ++which) {
        struct stat st {};
        if (g_record.held[which] && lstat(g_record.name[which], &st) == 0 && st.st_dev == g_record.info[which].volume &&
            st.st_ino == g_record.info[which].index) {
            unlink(g_record.name[which]);
        }
    }
    raise(signal_number);  // delivered once the handler returns: SA_RESETHAND put back the default
}

// Tells whether the default action of signal_number ends the program.
bool ends(int signal_number) {
    for (const int other : {SIGKILL, SIGSTOP, SIGCHLD, SIGCONT, SIGTSTP, SIGTTIN, SIGTTOU, SIGURG, SIGWINCH}) {
        if (signal_number == other) {
            return false;
        }
    }
    return true;
}

}  // namespace

static_assert(sizeof(sigset_t) <= 256 && sizeof(struct sigaction) <= 256, "the saved state fits");

InterruptsHeld::InterruptsHeld() {
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, reinterpret_cast<sigset_t*>(saved_));
}

InterruptsHeld::~InterruptsHeld() {
    sigprocmask(SIG_SETMASK, reinterpret_cast<sigset_t*>(saved_), nullptr);
}

SizeLimitNotFatal::SizeLimitNotFatal() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, reinterpret_cast<struct sigaction*>(saved_));
}

SizeLimitNotFatal::~SizeLimitNotFatal() {
    sigaction(SIGXFSZ, reinterpret_cast<struct sigaction*>(saved_), nullptr);
}

void mind(Minded minded, const char* name, const FileInfo& info) {
    const int which = static_cast<int>(minded);
    std::strncpy(g_record.name[which], name, TEMP_NAME - 1);
    g_record.info[which] = info;
    g_record.held[which] = 1;
    struct sigaction action {};
    action.sa_handler = remove_and_end;
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    sigfillset(&action.sa_mask);
    // Every signal whose default action ends the program, the real-time ones
    // included; those the C library keeps for itself refuse a handler. One
    // ignored at start stays ignored, and one that the code hosting ours
    // handles (a fuzzer's timer, a sanitizer's) stays its own: neither ends the run.
    for (int signal_number = 1; signal_number <= SIGRTMAX && signal_number < SIGNALS; ++signal_number) {
        struct sigaction& before = g_record.before[signal_number];
        if (ends(signal_number) && !g_record.installed[signal_number] &&
            sigaction(signal_number, nullptr, &before) == 0 && before.sa_handler == SIG_DFL) {
            g_record.installed[signal_number] = sigaction(signal_number, &action, nullptr) == 0;
        }
    }
}

void unmind(Minded minded) {
    g_record.held[static_cast<int>(minded)] = 0;
    for (int which = 0; which < MINDED; ++which) {
        if (g_record.held[which]) {
            return;
        }
    }
    for (int signal_number = 1; signal_number < SIGNALS; ++signal_number) {
        if (g_record.installed[signal_number]) {
            sigaction(signal_number, &g_record.before[signal_number], nullptr);  // the action saved, restored
            g_record.installed[signal_number] = false;
        }
    }
}

}  // namespace quadrivo
