// What the POSIX steps of replacing a file share: a descriptor that closes
// itself, a write that never loops, and the checks of the target: what may
// be replaced, and what is the source.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

#include "failure.hpp"

namespace quadrivo {

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
inline Failure failure_of_code(int code) {
    return code == 0 ? Failure{} : failure_of(code, true);
}

// Writes size bytes at the file's current offset. Returns 0 or the error; a
// write that writes nothing is an error, never a loop.
inline int write_all(int fd, const char* bytes, std::size_t size) {
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

// Tells whether st, the calendar's file (a link followed), is the source's file.
bool is_source(const struct stat& st);

// Tells why the file st at a name may not be rewritten: not a regular file,
// no write bit (read-only for everyone, root included, though no call fails
// for root), or the source itself.
Failure file_failure(const struct stat& st);

// Tells why name may not be replaced, or nothing when it may: missing, a
// link, or a regular file that has a write permission bit, that this user
// may write and that is not the source.
Failure replaceable(const char* name);

}  // namespace quadrivo
