// The file primitives on POSIX: errno kept as the step's own code.
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "file.hpp"
#include "file_primitives.hpp"

namespace quadrivo {

namespace {

int fd_of(const OpenFile& file) {
    return static_cast<int>(file.handle());
}

// The failure of a call at step that returned non-zero, errno telling why.
Failure unless_zero(Step step, int result) {
    return result == 0 ? Failure{} : failure_of(step, errno);
}

// Fills info from st, filled by a call that returned result (errno telling why it failed).
Failure fill(int result, const struct stat& st, FileInfo& info) {
    if (result != 0) {
        return failure_of(Step::look, errno);
    }
    info.kind = S_ISREG(st.st_mode)   ? Kind::regular
                : S_ISLNK(st.st_mode) ? Kind::link
                : S_ISDIR(st.st_mode) ? Kind::folder
                                      : Kind::other;
    info.volume = st.st_dev;
    info.index = st.st_ino;
    info.size = st.st_size;
    info.read_only = (st.st_mode & 0222) == 0;
    return {};
}

// Opens name with flags; the descriptor goes to file.
Failure open_into(const char* name, int flags, OpenFile& file, Step step) {
    const int fd = open(name, flags | O_CLOEXEC, 0666);
    if (fd < 0) {
        return failure_of(step, errno);
    }
    file.set(fd);
    return {};
}

}  // namespace

std::FILE* open_stream(const char* name, const char* mode) {
    return std::fopen(name, mode);
}

Refusal refusal_of(int code) {
    constexpr struct {
        int code;
        Refusal refusal;
    } REFUSALS[] = {{ENOENT, Refusal::missing},     {EEXIST, Refusal::exists},          {EACCES, Refusal::denied},
                    {EPERM, Refusal::denied},       {EOPNOTSUPP, Refusal::unsupported}, {EISDIR, Refusal::unsupported},
                    {EINVAL, Refusal::unsupported}, {EWOULDBLOCK, Refusal::busy}};
    for (const auto& refusal : REFUSALS) {
        if (refusal.code == code) {
            return refusal.refusal;
        }
    }
    return Refusal::other;
}

Failure look(const char* name, bool follow, FileInfo& info) {
    struct stat st {};
    info = FileInfo{};
    const int result = follow ? stat(name, &st) : lstat(name, &st);
    return result != 0 && errno == ENOENT ? Failure{} : fill(result, st, info);
}

Failure look(const OpenFile& file, FileInfo& info) {
    struct stat st {};
    return fill(fstat(fd_of(file), &st), st, info);
}

Failure OpenFile::close() {
    const int fd = static_cast<int>(handle_);
    handle_ = CLOSED;
    return fd < 0 ? Failure{} : unless_zero(Step::close, ::close(fd));
}

Failure probe(const char* name) {
    if (faccessat(AT_FDCWD, name, W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0) {
        return failure_of(Step::probe, errno);
    }
    OpenFile file;  // append-only or immutable, which no permission tells: its attributes, read without writing
    int flags = 0;
    const bool fixed = !open_into(name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK, file, Step::probe) &&
                       ioctl(fd_of(file), FS_IOC_GETFLAGS, &flags) == 0 &&
                       (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
    return fixed ? failure_of(Step::probe, EPERM) : Failure{};
}

Failure open_existing(const char* name, OpenFile& file) {
    return open_into(name, O_RDWR | O_NOFOLLOW | O_NONBLOCK, file, Step::open);
}

Failure make_nameless(OpenFile& file) {
    if (access("/proc/self/fd", X_OK) != 0) {
        return failure_of(Step::make, EOPNOTSUPP);  // without /proc it could not be given a name
    }
    return open_into(".", O_TMPFILE | O_WRONLY, file, Step::make);
}

Failure give_name(OpenFile& file, const char* name) {
    char proc[40] = "/proc/self/fd/";
    put_number(proc + std::strlen(proc), static_cast<unsigned long>(fd_of(file)));
    return unless_zero(Step::name, linkat(AT_FDCWD, proc, AT_FDCWD, name, AT_SYMLINK_FOLLOW));
}

Failure make_named(const char* name, OpenFile& file, bool) {
    // O_EXCL creates nothing through a link and opens nothing that stands there.
    return open_into(name, O_WRONLY | O_CREAT | O_EXCL, file, Step::make);
}

Failure write_all(OpenFile& file, const CalendarText& content) {
    for (std::size_t at = 0; at < content.size();) {
        const ssize_t done = write(fd_of(file), content.data() + at, content.size() - at);
        if (done == 0) {
            return failure_of(Step::write, EIO);  // a write that writes nothing is an error, never a loop
        }
        if (done < 0 && errno != EINTR) {
            return failure_of(Step::write, errno);
        }
        at += done > 0 ? static_cast<std::size_t>(done) : 0;
    }
    return {};
}

long long written_length(const CalendarText& content) {
    return static_cast<long long>(content.size());
}

Failure flush(OpenFile& file) {
    return unless_zero(Step::flush, fsync(fd_of(file)));
}

Failure reserve(OpenFile& file, long long size, long long length) {
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<rlim_t>(length) > limit.rlim_cur) {
        return failure_of(Step::reserve, EFBIG);  // a write would stop at the limit, halfway
    }
    // Where the file system cannot, the C library writes zeros (it reads the file too).
    const int error = posix_fallocate(fd_of(file), size, length - size);
    const bool cut_back = error == 0 || ftruncate(fd_of(file), size) == 0;
    static_cast<void>(cut_back);  // cut back as far as it goes: the reservation's own error is told
    return failure_of(Step::reserve, error);
}

Failure set_length(OpenFile& file, long long length) {
    return unless_zero(Step::set_length, ftruncate(fd_of(file), length));
}

Failure try_lock(OpenFile& file) {
    if (flock(fd_of(file), LOCK_EX | LOCK_NB) == 0) {
        return {};
    }
    return failure_of(Step::lock, errno == EINTR ? EWOULDBLOCK : errno);  // interrupted: tried again
}

Failure copy_owner(OpenFile& file, const char* earlier) {
    struct stat st {};
    if (lstat(earlier, &st) != 0 || !S_ISREG(st.st_mode)) {
        return {};  // none, or a link: the usual owner and mode
    }
    // The owner where the system allows it (root, mostly), else the group at
    // least; a refusal of either leaves the new file its own, and is no failure.
    const bool owned =
        fchown(fd_of(file), st.st_uid, st.st_gid) == 0 || fchown(fd_of(file), static_cast<uid_t>(-1), st.st_gid) == 0;
    static_cast<void>(owned);
    // The permission bits, after fchown, which clears set-id bits anyway: never set-id or sticky.
    return unless_zero(Step::copy_owner, fchmod(fd_of(file), st.st_mode & 0777));
}

Failure put_in_place(OpenFile&, const char* name, const char* target) {
    return unless_zero(Step::put_in_place, std::rename(name, target));
}

Failure remove_file(const char* name) {
    return unless_zero(Step::remove, unlink(name));
}

Failure sync_folder() {
    OpenFile folder;
    if (const Failure failure = open_into(".", O_RDONLY | O_DIRECTORY, folder, Step::sync_folder)) {
        return failure;
    }
    if (fsync(fd_of(folder)) != 0 && errno != EINVAL) {  // a file system that cannot sync folders
        return failure_of(Step::sync_folder, errno);
    }
    return failure_of(Step::sync_folder, folder.close().code);
}

void each_name(const char* prefix, void (*visit)(const char* name, void* context), void* context) {
    OpenFile folder;
    if (open_into(".", O_RDONLY | O_DIRECTORY, folder, Step::look)) {
        return;
    }
    alignas(8) char entries[4096];  // read by getdents64 into fixed storage: opendir would allocate
    const std::size_t length = std::strlen(prefix);
    for (ssize_t got; (got = getdents64(fd_of(folder), entries, sizeof entries)) > 0;) {
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(entries + at);
            if (std::strncmp(entry->d_name, prefix, length) == 0) {
                visit(entry->d_name, context);
            }
            at += entry->d_reclen;
        }
    }
}

unsigned long this_run() {
    return static_cast<unsigned long>(getpid());
}

bool run_alive(unsigned long run, const char*) {
    // A number beyond the process ids (or one that would name a process
    // group) is no run's: its file is kept.
    const auto pid = static_cast<pid_t>(run);
    return pid <= 0 || static_cast<unsigned long>(pid) != run || kill(pid, 0) == 0 ||
           errno != ESRCH;  // EPERM: another user's, alive
}

void pause_ms(int ms) {
    const timespec step{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&step, nullptr);
}

}  // namespace quadrivo
