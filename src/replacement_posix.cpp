// Replacing a file on POSIX. The new file is made without a name (O_TMPFILE),
// written and synced, then named with linkat and renamed over the target with
// the signals blocked, so that only SIGKILL in that one step can leave a name
// behind. Where the file system cannot do that, a named temporary file
// (mkstemp) that the ending signals remove. Where the folder refuses new
// files, the target is rewritten in place once the room it needs is reserved.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "failure.hpp"
#include "replacement.hpp"
#include "temp_file_posix.hpp"

namespace quadrivo {

namespace {

// A file descriptor that closes itself; close() tells whether the close worked.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Returns 0 or the error of the close.
    int close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

// The failure of a step that returned code, 0 for none.
Failure failure_of_code(int code) { return code == 0 ? Failure{} : failure_of(code, true); }

// Tells whether an error of creating a file beside the target means that the
// folder refuses new files.
bool folder_refuses(int error) { return error == EACCES || error == EPERM; }

// Tells whether an error means the file system cannot make or name a file
// without a name: the named temporary file is tried instead.
bool no_nameless_files(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOENT;
}

// Tells whether st, the calendar's file (a link followed), is the source's file.
bool is_source(const struct stat& st) {
    struct stat source {};
    return stat(SOURCE_FILE, &source) == 0 && source.st_dev == st.st_dev && source.st_ino == st.st_ino;
}

// Tells why a link at name may not be replaced: it leads to the source, or
// replacing it needs a new file in a folder that refuses them (a link is
// never written through).
Failure link_failure(const char* name) {
    struct stat st {};
    if (stat(name, &st) == 0 && is_source(st)) {
        return {Cause::same_file, 0};
    }
    if (faccessat(AT_FDCWD, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        return {errno == EACCES ? Cause::folder_refuses : cause_of(errno, true), errno};
    }
    return {};
}

// Tells why name may not be replaced, or nothing when it may: missing, a
// link, or a regular file that has a write permission bit, that this user
// may write and that is not the source. A file with no write bit is
// read-only for everyone, root included, though no call fails for root.
Failure replaceable(const char* name) {
    struct stat st {};
    if (lstat(name, &st) != 0) {
        return errno == ENOENT ? Failure{} : opening_failure(name, errno, true);
    }
    if (S_ISLNK(st.st_mode)) {
        return link_failure(name);
    }
    if (S_ISDIR(st.st_mode)) {
        return {Cause::folder, EISDIR};
    }
    if (!S_ISREG(st.st_mode)) {
        return {Cause::not_a_file, EINVAL};
    }
    if ((st.st_mode & 0222) == 0) {
        return {Cause::read_only, EACCES};
    }
    if (is_source(st)) {
        return {Cause::same_file, 0};  // hard links of one file
    }
    // Opened without following a link, without blocking, without changing it.
    const int fd = open(name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return failure_of(errno, true);
    }
    return close(fd) == 0 ? Failure{} : failure_of(errno, true);
}

// Writes size bytes at the file's current offset. Returns 0 or the error.
int write_all(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t done = write(fd, bytes, size);
        if (done == 0) {
            return EIO;  // a write that writes nothing would loop for ever
        }
        if (done < 0 && errno != EINTR) {
            return errno;
        }
        if (done > 0) {
            bytes += done;
            size -= static_cast<std::size_t>(done);
        }
    }
    return 0;
}

// Returns the usual permission bits of a new file: 0666 less the umask.
mode_t usual_mode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Writes the content to the new file fd, gives it the earlier file's
// permission bits (a new file keeps those it was made with) and syncs it.
int fill(int fd, const CalendarText& content, const char* target) {
    if (const int error = write_all(fd, content.data(), content.size())) {
        return error;
    }
    struct stat earlier {};
    if (lstat(target, &earlier) == 0 && S_ISREG(earlier.st_mode) && fchmod(fd, earlier.st_mode & 07777) != 0) {
        return errno;
    }
    return fsync(fd) == 0 ? 0 : errno;
}

// Syncs the working folder, so that a rename in it lasts. A file system that
// cannot sync folders (EINVAL) is no failure.
int sync_folder() {
    Descriptor folder(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
        return errno;
    }
    if (fsync(folder.get()) != 0 && errno != EINVAL) {
        return errno;
    }
    return folder.close();
}

// Renames the named new file over the target, checked once more, or removes
// it. Signals are blocked.
Failure put_in_place(const char* temp, const char* target) {
    Failure failure = replaceable(target);
    if (!failure && std::rename(temp, target) != 0) {
        failure = failure_of(errno, true);
    }
    if (failure) {
        unlink(temp);
    }
    return failure;
}

// Names the nameless file fd ".<target>.<pid>-<n>" beside the target and
// renames it over the target, checked once more just before, the signals
// blocked from the check to the rename; closes it after (it is synced: a close
// can hardly fail, and a failure is still told).
Failure link_in_place(Descriptor& fd, const char* target) {
    char proc[32];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd.get());
    char temp[TEMP_NAME];
    {
        const SignalsBlocked blocked;
        if (const Failure failure = replaceable(target)) {
            return failure;
        }
        for (int attempt = 0;; ++attempt) {
            std::snprintf(temp, sizeof temp, ".%s.%ld-%d", target, static_cast<long>(getpid()), attempt);
            if (linkat(AT_FDCWD, proc, AT_FDCWD, temp, AT_SYMLINK_FOLLOW) == 0) {
                break;
            }
            if (errno != EEXIST || attempt == 100) {
                return failure_of(errno, true);  // another's file of that name is never touched
            }
        }
        if (std::rename(temp, target) != 0) {
            const int error = errno;
            unlink(temp);
            return failure_of(error, true);
        }
    }
    return failure_of_code(fd.close());
}

// The fallback where files cannot be made without a name: mkstemp beside the
// target, removed by any ending signal while it exists.
Failure via_named_file(const CalendarText& content, const char* target) {
    char name[TEMP_NAME];
    std::snprintf(name, sizeof name, ".%s.XXXXXX", target);
    TempFile temp(name);
    if (temp.fd() < 0) {
        return failure_of(temp.error(), true);
    }
    int error = fchmod(temp.fd(), usual_mode()) == 0 ? fill(temp.fd(), content, target) : errno;
    error = error != 0 ? error : temp.close();
    if (error != 0) {
        return failure_of(error, true);
    }
    Failure failure;
    {
        const SignalsBlocked blocked;
        failure = put_in_place(name, target);  // renames the file, or removes it
        temp.forget();
    }
    return failure ? failure : failure_of_code(sync_folder());
}

// Reserves length bytes for fd, whose size is now size, without changing what
// it holds. Where a reservation beyond the end is refused, the file is
// extended instead, and cut back to its size if that fails.
int reserve(int fd, off_t size, off_t length) {
    rlimit limit {};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<rlim_t>(length) > limit.rlim_cur) {
        return EFBIG;  // a write would stop at the limit, halfway
    }
#ifdef FALLOC_FL_KEEP_SIZE
    if (fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, length) == 0) {
        return 0;
    }
    if (errno != EOPNOTSUPP && errno != ENOSYS) {
        return errno;
    }
#endif
    const int error = posix_fallocate(fd, 0, length);
    if (error != 0 && ftruncate(fd, size) != 0) {
        return errno;
    }
    return error;
}

// Rewrites the target in place, for a folder that refuses new files: the room
// reserved first, so that a full disk leaves the file as it was; then the
// content from the start, the file cut to its length and synced, signals blocked.
Failure rewrite_in_place(const CalendarText& content, const char* target) {
    if (const Failure failure = replaceable(target)) {
        return failure;
    }
    Descriptor fd(open(target, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || fstat(fd.get(), &st) != 0) {
        return failure_of(errno, true);
    }
    const off_t length = static_cast<off_t>(content.size());
    if (length > st.st_size) {
        if (const int error = reserve(fd.get(), st.st_size, length)) {
            return failure_of(error, true);
        }
    }
    const SignalsBlocked blocked;
    if (const int error = write_all(fd.get(), content.data(), content.size())) {
        return failure_of(error, true);
    }
    if (ftruncate(fd.get(), length) != 0 || fsync(fd.get()) != 0) {
        return failure_of(errno, true);
    }
    return failure_of_code(fd.close());
}

// A file size limit makes a write fail with EFBIG, and sends SIGXFSZ, whose
// default action ends the program: while the calendar is written the signal
// is ignored, so that the limit is an error told like any other. What was set
// before comes back after; one ignored at start stays ignored.
class SizeLimitSignalIgnored {
public:
    SizeLimitSignalIgnored() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, &before_);
    }
    ~SizeLimitSignalIgnored() { sigaction(SIGXFSZ, &before_, nullptr); }
    SizeLimitSignalIgnored(const SizeLimitSignalIgnored&) = delete;
    SizeLimitSignalIgnored& operator=(const SizeLimitSignalIgnored&) = delete;

private:
    struct sigaction before_ {};
};

// Writes the calendar: a nameless new file, else a named one, else in place.
Failure commit_content(const CalendarText& content, const char* target) {
    if (const Failure failure = replaceable(target)) {
        return failure;
    }
    Descriptor fd(open(".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    int error = fd.get() < 0 ? errno : fill(fd.get(), content, target);
    Failure failure = failure_of_code(error);
    if (!failure) {
        failure = link_in_place(fd, target);
        if (!failure) {
            return failure_of_code(sync_folder());
        }
        error = failure.code;
    }
    if (folder_refuses(error)) {
        return rewrite_in_place(content, target);
    }
    if (!no_nameless_files(error)) {
        return failure;
    }
    failure = via_named_file(content, target);
    return folder_refuses(failure.code) ? rewrite_in_place(content, target) : failure;
}

}  // namespace

Failure prepare_target(const char* file_name) {
    // O_EXCL creates nothing through a link and opens nothing that stands there already.
    const int fd = open(file_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        if (error == EEXIST) {
            return replaceable(file_name);
        }
        return error == EACCES ? Failure{Cause::folder_refuses, error} : opening_failure(file_name, error, true);
    }
    // The source may be a link to this name: then the new file is the source, and goes again.
    struct stat st {};
    const bool source = fstat(fd, &st) == 0 && is_source(st);
    const int closed = close(fd) == 0 ? 0 : errno;
    if (source) {
        unlink(file_name);
        return {Cause::same_file, 0};
    }
    return failure_of_code(closed);
}

Failure Replacement::commit() {
    const SizeLimitSignalIgnored size_limit;
    return commit_content(content_, target_);
}

}  // namespace quadrivo
