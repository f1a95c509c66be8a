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

// Tells whether an error of creating a file beside the target means that the
// folder refuses new files.
bool folder_refuses(int error) { return error == EACCES || error == EPERM; }

// Tells whether an error means the file system cannot make or name a file
// without a name: the named temporary file is tried instead.
bool no_nameless_files(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOENT;
}

// Returns 0 when name may be replaced: missing, a link, or a regular file that
// has a write permission bit and that this user may write. A file with no
// write bit is read-only for everyone, root included, though no call fails for root.
int replaceable(const char* name) {
    struct stat st {};
    if (lstat(name, &st) != 0) {
        return errno == ENOENT ? 0 : errno;
    }
    if (S_ISLNK(st.st_mode)) {
        return 0;
    }
    if (S_ISDIR(st.st_mode)) {
        return EISDIR;
    }
    if (!S_ISREG(st.st_mode)) {
        return EINVAL;
    }
    if ((st.st_mode & 0222) == 0) {
        return EACCES;
    }
    // Opened without following a link, without blocking, without changing it.
    const int fd = open(name, O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    return close(fd) == 0 ? 0 : errno;
}

// Writes size bytes at the file's current offset. Returns 0 or the error.
int write_all(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t done = write(fd, bytes, size);
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
int put_in_place(const char* temp, const char* target) {
    int error = replaceable(target);
    if (error == 0 && std::rename(temp, target) != 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(temp);
    }
    return error;
}

// Names the nameless file fd ".<target>.<pid>-<n>" beside the target and
// renames it over the target, checked once more just before, the signals
// blocked from the check to the rename; closes it after (it is synced: a close
// can hardly fail, and a failure is still told).
int link_in_place(Descriptor& fd, const char* target) {
    char proc[32];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd.get());
    char temp[TEMP_NAME];
    {
        const SignalsBlocked blocked;
        if (const int error = replaceable(target)) {
            return error;
        }
        for (int attempt = 0;; ++attempt) {
            std::snprintf(temp, sizeof temp, ".%s.%ld-%d", target, static_cast<long>(getpid()), attempt);
            if (linkat(AT_FDCWD, proc, AT_FDCWD, temp, AT_SYMLINK_FOLLOW) == 0) {
                break;
            }
            if (errno != EEXIST || attempt == 100) {
                return errno;  // another's file of that name is never touched
            }
        }
        if (std::rename(temp, target) != 0) {
            const int error = errno;
            unlink(temp);
            return error;
        }
    }
    return fd.close();
}

// The fallback where files cannot be made without a name: mkstemp beside the
// target, removed by any ending signal while it exists.
int via_named_file(const CalendarText& content, const char* target) {
    char name[TEMP_NAME];
    std::snprintf(name, sizeof name, ".%s.XXXXXX", target);
    TempFile temp(name);
    if (temp.fd() < 0) {
        return temp.error();
    }
    int error = fchmod(temp.fd(), usual_mode()) == 0 ? fill(temp.fd(), content, target) : errno;
    error = error != 0 ? error : temp.close();
    if (error == 0) {
        const SignalsBlocked blocked;
        error = put_in_place(name, target);  // renames the file, or removes it
        temp.forget();
    }
    return error != 0 ? error : sync_folder();
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
int rewrite_in_place(const CalendarText& content, const char* target) {
    if (const int error = replaceable(target)) {
        return error;
    }
    Descriptor fd(open(target, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || fstat(fd.get(), &st) != 0) {
        return errno;
    }
    const off_t length = static_cast<off_t>(content.size());
    if (length > st.st_size) {
        if (const int error = reserve(fd.get(), st.st_size, length)) {
            return error;
        }
    }
    const SignalsBlocked blocked;
    if (const int error = write_all(fd.get(), content.data(), content.size())) {
        return error;
    }
    if (ftruncate(fd.get(), length) != 0 || fsync(fd.get()) != 0) {
        return errno;
    }
    return fd.close();
}

}  // namespace

int prepare_target(const char* file_name) {
    // O_EXCL creates nothing through a link and opens nothing that stands there already.
    const int fd = open(file_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
        return close(fd) == 0 ? 0 : errno;
    }
    return errno == EEXIST ? replaceable(file_name) : errno;
}

int Replacement::commit() {
    if (const int error = replaceable(target_)) {
        return error;
    }
    Descriptor fd(open(".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    int error = fd.get() < 0 ? errno : fill(fd.get(), content_, target_);
    if (error == 0) {
        error = link_in_place(fd, target_);
        if (error == 0) {
            return sync_folder();
        }
    }
    if (folder_refuses(error)) {
        return rewrite_in_place(content_, target_);
    }
    if (!no_nameless_files(error)) {
        return error;
    }
    error = via_named_file(content_, target_);
    return folder_refuses(error) ? rewrite_in_place(content_, target_) : error;
}

}  // namespace quadrivo
