// Rewriting a file in place on POSIX, for a folder that refuses new files:
// the file locked against another run, checked again under the lock, the
// room of its new tail reserved, then the content and the length, the
// signals blocked from the reservation on. Only SIGKILL or a power cut
// during the rewrite itself can leave it part new, part old.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "posix_file.hpp"
#include "replacement.hpp"
#include "replacement_steps.hpp"
#include "temp_file_posix.hpp"

namespace quadrivo {

namespace {

constexpr int LOCK_WAIT_MS = 10000;  // how long a rewrite in place waits for another run's lock
constexpr int LOCK_STEP_MS = 50;

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
    rlimit limit{};
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

}  // namespace quadrivo
