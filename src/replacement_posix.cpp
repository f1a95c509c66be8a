// Replacing a file on POSIX, the steps of a new file. It is made without a
// name (O_TMPFILE), written and synced, given the earlier file's owner,
// group and mode, then named with linkat and renamed over the target with
// the signals blocked, so that only SIGKILL in that one step can leave a name
// behind. Where the file system cannot make files without a name, a named
// temporary file (mkstemp) that the ending signals remove.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "posix_file.hpp"
#include "replacement.hpp"
#include "replacement_steps.hpp"

namespace quadrivo {

namespace {

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

// Writes the decimal digits of n (not negative) and a terminating zero at
// at, without the C library's formatting. Returns where the zero stands.
char* put_number(char* at, long n) {
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n > 0);
    while (count > 0) {
        *at++ = digits[--count];
    }
    *at = '\0';
    return at;
}

// Tells whether a refusal to make a file means the folder refuses new files.
bool refused(int error) {
    return error == EACCES || error == EPERM;
}

}  // namespace

WritingGuard::WritingGuard() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &before_);
}

WritingGuard::~WritingGuard() {
    sigaction(SIGXFSZ, &before_, nullptr);
}

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
        return refused(error)                                              ? Made::folder_refuses
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
        const Failure failure = closed != 0                       ? failure_of(closed, true)
                                : std::rename(name_, target) != 0 ? failure_of(errno, true)
                                                                  : Failure{};
        if (!failure) {
            named_->forget();  // renamed: the signals and the destructor leave it alone
        }
        return failure;
    }
    // The nameless file gets a name ".<target>.<pid>-<n>" beside the target, then that name replaces the target.
    char proc[32] = "/proc/self/fd/";
    put_number(proc + std::strlen(proc), fd_);
    char* suffix = name_ + 1 + std::strlen(target);  // ".<target>" fits: make() used the same room
    name_[0] = '.';
    std::memcpy(name_ + 1, target, static_cast<std::size_t>(suffix - name_ - 1));
    *suffix++ = '.';
    suffix = put_number(suffix, getpid());
    *suffix++ = '-';
    for (int attempt = 0;; ++attempt) {
        put_number(suffix, attempt);
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

}  // namespace quadrivo
