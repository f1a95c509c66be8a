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
    raise(signal_number);  // SA_RESETHAND has put back the default action
}

// Blocks (or unblocks) the ending signals, so that the record changes in one step.
void block_ending_signals(bool block) {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal_number : ENDING_SIGNALS) {
        sigaddset(&set, signal_number);
    }
    sigprocmask(block ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

// Records the temporary file and installs the handler for every ending signal
// not ignored at start: an ignored one stays ignored. Signals are blocked.
void record_temp_file(const char* temp) {
    std::strncpy(g_temp_file, temp, sizeof g_temp_file - 1);
    g_temp_held = 1;
    struct sigaction action {};
    action.sa_handler = remove_temp_and_end;
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (const int signal_number : ENDING_SIGNALS) {
        struct sigaction now {};
        if (sigaction(signal_number, nullptr, &now) == 0 && now.sa_handler != SIG_IGN) {
            sigaction(signal_number, &action, nullptr);
        }
    }
}

// Forgets the temporary file and puts back the default action where the
// handler was installed. Signals are blocked.
void forget_temp_file() {
    g_temp_held = 0;
    for (const int signal_number : ENDING_SIGNALS) {
        struct sigaction now {};
        if (sigaction(signal_number, nullptr, &now) == 0 && now.sa_handler == remove_temp_and_end) {
            signal(signal_number, SIG_DFL);
        }
    }
}

// Tells whether this user may write the regular file name, opening it without
// following a link, without blocking and without changing it.
bool may_write(const char* name) {
    const int fd = open(name, O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    return close(fd) == 0 && regular;
}

// Returns the permission bits the new file takes: the earlier file's, or for
// a new file (or one replacing a link) the usual 0666 less the umask.
mode_t mode_for(const char* name) {
    struct stat st {};
    if (lstat(name, &st) == 0 && S_ISREG(st.st_mode)) {
        return st.st_mode & 07777;
    }
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
    // Twice: another run may create the file between the look and the creation.
    for (int attempt = 0; attempt < 2; ++attempt) {
        struct stat st {};
        if (lstat(file_name, &st) == 0) {
            return S_ISLNK(st.st_mode) || (S_ISREG(st.st_mode) && may_write(file_name));
        }
        if (errno != ENOENT) {
            return false;
        }
        // O_EXCL creates nothing through a link that appeared meanwhile.
        const int fd = open(file_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return close(fd) == 0;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

Replacement::Replacement(const char* file_name) : target_(file_name) {
    std::snprintf(temp_, sizeof temp_, ".%s.XXXXXX", file_name);
    block_ending_signals(true);
    int fd = mkstemp(temp_);  // O_EXCL, mode 0600, a random suffix
    if (fd >= 0) {
        record_temp_file(temp_);
    }
    block_ending_signals(false);
    if (fd < 0) {
        temp_[0] = '\0';
        // A folder that refuses new files: the file itself, if writable, as before. Never on
        // a full disk, where emptying the file would lose the earlier calendar.
        if ((errno != EACCES && errno != EPERM) || !may_write(file_name)) {
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
    // A file made read-only since it was chosen is the user's wish: it is not replaced.
    struct stat st {};
    const bool refused = !in_place && lstat(target_, &st) == 0 && S_ISREG(st.st_mode) && !may_write(target_);
    bool written = std::fflush(stream) == 0 && fsync(fd) == 0;
    written = !refused && written && (in_place || fchmod(fd, mode_for(target_)) == 0);
    written = std::fclose(stream) == 0 && written;
    if (!written || in_place) {
        rollback();
        return written;
    }
    block_ending_signals(true);
    const bool renamed = std::rename(temp_, target_) == 0;
    forget_temp_file();
    block_ending_signals(false);
    if (!renamed) {
        unlink(temp_);
        return false;
    }
    temp_[0] = '\0';
    return sync_folder();
}

void Replacement::rollback() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (temp_[0] != '\0') {
        block_ending_signals(true);
        unlink(temp_);
        forget_temp_file();
        block_ending_signals(false);
        temp_[0] = '\0';
    }
}

}  // namespace quadrivo
