// Replacing a file on POSIX, the steps. The new file is made without a name
// (O_TMPFILE), written and synced, given the earlier file's owner, group and
// mode, then named with linkat and renamed over the target with the signals
// blocked, so that only SIGKILL in that one step can leave a name behind.
// Where the file system cannot make files without a name, a named temporary
// file (mkstemp) that the ending signals remove. Where the folder refuses new
// files, the target is rewritten in place, locked, once the room it needs is
// reserved.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "failure.hpp"
#include "replacement.hpp"
#include "replacement_steps.hpp"

namespace quadrivo {

namespace {

constexpr int LOCK_WAIT_MS = 10000;  // how long a rewrite in place waits for another run's lock
constexpr int LOCK_STEP_MS = 50;

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

// Tells why the file st at a name may not be rewritten: not a regular file,
// no write bit (read-only for everyone, root included, though no call fails
// for root), or the source itself.
Failure file_failure(const struct stat& st) {
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
    return {};
}

// Tells why name may not be replaced, or nothing when it may: missing, a
// link, or a regular file that has a write permission bit, that this user
// may write and that is not the source.
Failure replaceable(const char* name) {
    struct stat st {};
    if (lstat(name, &st) != 0) {
        return errno == ENOENT ? Failure{} : opening_failure(name, errno, true);
    }
    if (S_ISLNK(st.st_mode)) {
        return link_failure(name);
    }
    if (const Failure failure = file_failure(st)) {
        return failure;
    }
    // Opened without following a link, without blocking, without changing it.
    const int fd = open(name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return failure_of(errno, true);
    }
    return close(fd) == 0 ? Failure{} : failure_of(errno, true);
}

// Writes size bytes at the file's current offset. Returns 0 or the error; a
// write that writes nothing is an error, never a loop.
int write_all(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t done = write(fd, bytes, size);
        if (done == 0) {
            return EIO;
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

// Tells whether a refusal to make a file means the folder refuses new files.
bool refused(int error) { return error == EACCES || error == EPERM; }

}  // namespace

Failure check_target(const char* target) { return replaceable(target); }

WritingGuard::WritingGuard() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &before_);
}

WritingGuard::~WritingGuard() { sigaction(SIGXFSZ, &before_, nullptr); }

NewFile::~NewFile() {
    if (fd_ >= 0) {
        ::close(fd_);  // a nameless file goes with it; a named one goes with named_
    }
}

Made NewFile::make(const char* target, bool nameless, Failure& failure) {
    if (nameless) {
        // Without /proc a nameless file could not be given a name.
        if (access("/proc/self/fd", X_OK) != 0) {
            return Made::unsupported;
        }
        fd_ = open(".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            return Made::made;
        }
        const int error = errno;
        failure = failure_of(error, true);
        return refused(error) ? Made::folder_refuses
               : error == EOPNOTSUPP || error == EISDIR || error == EINVAL ? Made::unsupported
                                                                         : Made::failed;
    }
    std::snprintf(name_, sizeof name_, ".%s.XXXXXX", target);
    named_.emplace(name_);
    if (named_->fd() < 0) {
        const int error = named_->error();
        named_.reset();
        failure = failure_of(error, true);
        return refused(error) ? Made::folder_refuses : Made::failed;
    }
    if (fchmod(named_->fd(), usual_mode()) != 0) {  // mkstemp makes it 0600
        failure = failure_of(errno, true);
        return Made::failed;
    }
    return Made::made;
}

Failure NewFile::write(const CalendarText& content) {
    const int fd = named_ ? named_->fd() : fd_;
    if (const int error = write_all(fd, content.data(), content.size())) {
        return failure_of(error, true);
    }
    return fsync(fd) == 0 ? Failure{} : failure_of(errno, true);
}

Failure NewFile::take_after(const char* target) {
    const int fd = named_ ? named_->fd() : fd_;
    struct stat earlier {};
    if (lstat(target, &earlier) != 0 || !S_ISREG(earlier.st_mode)) {
        return {};  // none, or a link: the usual owner and mode
    }
    // The owner where the system allows it (root, mostly), else the group at
    // least; a refusal of either leaves the new file its own, and is no failure.
    if (fchown(fd, earlier.st_uid, earlier.st_gid) != 0 && fchown(fd, static_cast<uid_t>(-1), earlier.st_gid) != 0) {
        errno = 0;
    }
    // The permission bits, after fchown, which clears set-id bits anyway: never set-id or sticky.
    return fchmod(fd, earlier.st_mode & 0777) == 0 ? Failure{} : failure_of(errno, true);
}

Failure NewFile::put_in_place(const char* target) {
    const SignalsBlocked blocked;  // from the last check to the rename, one step
    if (const Failure failure = replaceable(target)) {
        return failure;
    }
    if (named_) {
        const int closed = named_->close();
        const Failure failure = closed != 0 ? failure_of(closed, true)
                                : std::rename(name_, target) != 0 ? failure_of(errno, true)
                                                                   : Failure{};
        if (!failure) {
            named_->forget();  // renamed: the signals and the destructor leave it alone
        }
        return failure;
    }
    // The nameless file gets a name ".<target>.<pid>-<n>" beside the target, then that name replaces the target.
    char proc[32];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd_);
    for (int attempt = 0;; ++attempt) {
        std::snprintf(name_, sizeof name_, ".%s.%ld-%d", target, static_cast<long>(getpid()), attempt);
        if (linkat(AT_FDCWD, proc, AT_FDCWD, name_, AT_SYMLINK_FOLLOW) == 0) {
            break;
        }
        if (errno != EEXIST || attempt == 100) {
            return failure_of(errno, true);  // another's file of that name is never touched
        }
    }
    if (std::rename(name_, target) != 0) {
        const int error = errno;
        unlink(name_);
        return failure_of(error, true);
    }
    return {};
}

Failure NewFile::finish() {
    int error = 0;
    if (fd_ >= 0) {
        error = ::close(fd_) == 0 ? 0 : errno;
        fd_ = -1;
    }
    named_.reset();
    const int synced = sync_folder();
    return failure_of_code(error != 0 ? error : synced);
}

namespace {

// Waits up to LOCK_WAIT_MS for an exclusive lock on fd, so that two runs
// rewriting one file in place take turns. Returns 0 or the error.
int lock(int fd) {
    for (int waited = 0;; waited += LOCK_STEP_MS) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return 0;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return errno;
        }
        if (waited >= LOCK_WAIT_MS) {
            return EWOULDBLOCK;
        }
        const timespec step{0, LOCK_STEP_MS * 1000000L};
        nanosleep(&step, nullptr);
    }
}

// Tells why the locked file fd may not be rewritten: its name leads to
// another file now, or it may no longer be. Opens nothing: on NFS closing any
// descriptor of a file drops its locks.
Failure still_the_target(int fd, const char* target) {
    struct stat held {};
    struct stat named {};
    if (fstat(fd, &held) != 0 || lstat(target, &named) != 0) {
        return failure_of(errno, true);
    }
    if (named.st_dev != held.st_dev || named.st_ino != held.st_ino) {
        return {Cause::source_held, EWOULDBLOCK};  // replaced meanwhile by another: try again
    }
    return file_failure(held);
}

// Reserves the room of the new tail, the file now size bytes long: where the
// file system cannot, the C library writes zeros (it reads the file too,
// hence read and write access). On failure the file is cut back. Returns 0 or the error.
int reserve(int fd, off_t size, off_t length) {
    rlimit limit {};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<rlim_t>(length) > limit.rlim_cur) {
        return EFBIG;  // a write would stop at the limit, halfway
    }
    const int error = posix_fallocate(fd, size, length - size);
    if (error != 0 && ftruncate(fd, size) != 0) {
        return errno;
    }
    return error;
}

}  // namespace

Commit rewrite_in_place(const CalendarText& content, const char* target) {
    if (const Failure failure = replaceable(target)) {
        return {Replaced::no, failure};
    }
    Descriptor fd(open(target, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        return {Replaced::no, failure_of(errno, true)};
    }
    if (const int error = lock(fd.get())) {
        return {Replaced::no, error == EWOULDBLOCK ? Failure{Cause::source_held, error} : failure_of(error, true)};
    }
    if (const Failure failure = still_the_target(fd.get(), target)) {
        return {Replaced::no, failure};
    }
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) {
        return {Replaced::no, failure_of(errno, true)};
    }
    const off_t length = static_cast<off_t>(content.size());
    // From the reservation, which may already lengthen the file, to its end: one step.
    const SignalsBlocked blocked;
    if (length > st.st_size) {
        if (const int error = reserve(fd.get(), st.st_size, length)) {
            return {Replaced::no, failure_of(error, true)};
        }
    }
    const int written = write_all(fd.get(), content.data(), content.size());  // from the start: the file is just opened
    if (written != 0 || ftruncate(fd.get(), length) != 0) {
        Failure failure = failure_of(written != 0 ? written : errno, true);
        failure.incomplete = true;  // its first bytes may be new already
        return {Replaced::no, failure};
    }
    const int synced = fsync(fd.get()) == 0 ? 0 : errno;
    const int closed = fd.close();
    const int error = synced != 0 ? synced : closed;
    return {error != 0 ? Replaced::unconfirmed : Replaced::yes, failure_of_code(error)};
}

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

}  // namespace quadrivo
