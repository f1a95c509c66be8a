// Replacing a file on POSIX: mkstemp beside the target, fsync, rename, then
// fsync of the folder. Signals that end the program remove the temporary file.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "replacement.hpp"

namespace quadrivo {

namespace {

// The temporary file that a signal handler must remove. A handler can reach
// nothing else, so this one record is global; it is set and cleared with the
// signals blocked, and read only by the handler.
char g_temp_file[TEMP_NAME];
volatile sig_atomic_t g_temp_held = 0;

constexpr int ENDING_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

// Removes the temporary file, then ends the program as the signal would have.
extern "C" void remove_temp_and_end(int signal_number) {
    if (g_temp_held) {
        unlink(g_temp_file);
    }
    raise(signal_number);  // delivered once the handler returns: SA_RESETHAND put back the default
}

// Blocks every signal, so that the record changes in one step. Returns the
// mask to put back.
sigset_t block_signals() {
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &before);
    return before;
}

void unblock_signals(const sigset_t& before) { sigprocmask(SIG_SETMASK, &before, nullptr); }

// Records the temporary file and installs the handler for every ending signal
// not ignored at start: an ignored one stays ignored. Signals are blocked.
void record_temp_file(const char* temp) {
    std::memcpy(g_temp_file, temp, sizeof g_temp_file);
    g_temp_held = 1;
    struct sigaction action {};
    action.sa_handler = remove_temp_and_end;
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    sigfillset(&action.sa_mask);
    for (const int signal_number : ENDING_SIGNALS) {
        struct sigaction before {};
        if (sigaction(signal_number, &action, &before) == 0 && before.sa_handler == SIG_IGN) {
            sigaction(signal_number, &before, nullptr);
        }
    }
}

// Forgets the temporary file and puts back the default action where the
// handler was installed. Signals are blocked.
void forget_temp_file() {
    g_temp_held = 0;
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    for (const int signal_number : ENDING_SIGNALS) {
        struct sigaction before {};
        if (sigaction(signal_number, &default_action, &before) == 0 && before.sa_handler != remove_temp_and_end) {
            sigaction(signal_number, &before, nullptr);
        }
    }
}

// Tells whether this user may write the file name, opening it without
// following a link, without blocking (should it have become a FIFO) and
// without changing it.
bool may_write(const char* name) {
    const int fd = open(name, O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    return fd >= 0 && close(fd) == 0;
}

// Returns the usual permission bits of a new file: 0666 less the umask.
mode_t usual_mode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Syncs the folder of the working directory, so that a rename in it lasts.
// A file system that cannot sync folders (EINVAL) is no failure.
bool sync_folder() {
    const int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = fsync(fd) == 0 || errno == EINVAL;
    return close(fd) == 0 && synced;
}

}  // namespace

bool prepare_target(const char* file_name) {
    // O_EXCL creates nothing through a link and opens nothing that stands there already.
    const int fd = open(file_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
        return close(fd) == 0;
    }
    struct stat st {};
    return lstat(file_name, &st) == 0 && (S_ISLNK(st.st_mode) || (S_ISREG(st.st_mode) && may_write(file_name)));
}

Replacement::Replacement(const char* file_name) : target_(file_name) {
    // ".calendario.txt.XXXXXX", the Xs for mkstemp to make random.
    char* end = temp_;
    *end++ = '.';
    for (const char* c = file_name; *c != '\0' && end < temp_ + TEMP_NAME - 8; ++c) {
        *end++ = *c;
    }
    std::memcpy(end, ".XXXXXX", 8);
    const sigset_t before = block_signals();
    int fd = mkstemp(temp_);  // O_EXCL, mode 0600, a random suffix
    const int error = errno;
    if (fd >= 0) {
        record_temp_file(temp_);
    }
    unblock_signals(before);
    if (fd < 0) {
        temp_[0] = '\0';
        // A folder that refuses new files: the file itself, if writable, as before. Never on
        // a full disk, where emptying the file would lose the earlier calendar.
        if ((error != EACCES && error != EPERM) || !may_write(file_name)) {
            return;
        }
        fd = open(file_name, O_WRONLY | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return;
        }
    }
    stream_ = fdopen(fd, "w");
    if (stream_ == nullptr) {
        close(fd);
        rollback();
    }
}

bool Replacement::commit() {
    if (stream_ == nullptr) {
        return false;
    }
    std::FILE* stream = stream_;
    stream_ = nullptr;
    const int fd = fileno(stream);
    const bool in_place = temp_[0] == '\0';
    // The earlier file's permission bits are kept; one made read-only since it
    // was chosen is the user's wish, and is not replaced.
    struct stat st {};
    const bool earlier = !in_place && lstat(target_, &st) == 0 && S_ISREG(st.st_mode);
    const bool refused = earlier && !may_write(target_);
    bool written = std::fflush(stream) == 0 && fsync(fd) == 0;
    written = !refused && written && (in_place || fchmod(fd, earlier ? st.st_mode & 07777 : usual_mode()) == 0);
    written = std::fclose(stream) == 0 && written;
    if (!written || in_place) {
        rollback();
        return written;
    }
    const sigset_t before = block_signals();
    const bool renamed = std::rename(temp_, target_) == 0;
    if (renamed) {
        forget_temp_file();
        temp_[0] = '\0';
    }
    unblock_signals(before);
    if (!renamed) {
        rollback();
        return false;
    }
    return sync_folder();
}

void Replacement::rollback() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (temp_[0] != '\0') {
        const sigset_t before = block_signals();
        unlink(temp_);
        forget_temp_file();
        unblock_signals(before);
        temp_[0] = '\0';
    }
}

}  // namespace quadrivo
