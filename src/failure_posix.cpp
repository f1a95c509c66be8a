// Causes of failures on POSIX: errno, and a look at a name that could not be
// opened.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "failure.hpp"

namespace quadrivo {

int last_error() {
    return errno;
}

Cause cause_of(int code, bool writing) {
    switch (code) {
    case ENOENT:
        return Cause::missing;
    case ELOOP:
        return Cause::dangling_link;
    case EISDIR:
        return Cause::folder;
    case ENXIO:  // a socket, a device without its driver
    case ENODEV:
        return Cause::not_a_file;
    case EACCES:
        return writing ? Cause::may_not_write : Cause::may_not_read;
    case EPERM:  // immutable or append-only: no permission bit helps
        return writing ? Cause::immutable : Cause::may_not_read;
    case ETXTBSY:
    case EBUSY:
        return Cause::in_use;
    case ENOSPC:
    case EDQUOT:
        return Cause::disk_full;
    case EFBIG:
        return Cause::too_big;
    case EROFS:
        return Cause::read_only_disk;
    case EIO:
        return Cause::disk_error;
    case EMFILE:
    case ENFILE:
        return Cause::too_many_files;
    case ENOMEM:
        return Cause::no_memory;
    default:
        return Cause::system;
    }
}

Failure opening_failure(const char* file_name, int code, bool writing) {
    Failure failure = failure_of(code, writing);
    if (code == ENOENT) {
        struct stat st {};
        char folder[PATH_MAX];
        if (getcwd(folder, sizeof folder) == nullptr && errno == ENOENT) {
            failure.cause = Cause::folder_gone;
        } else if (lstat(file_name, &st) == 0 && S_ISLNK(st.st_mode)) {
            failure.cause = Cause::dangling_link;  // ls shows the name; it leads to no file
        }
    }
    return failure;
}

namespace {

// Puts bytes, read as typed text is (UTF-8 where it is well-formed, else
// Windows-1252), into characters; a lone byte of the C1 range stays a
// control, whatever letter it is there. Returns the count.
int decode_name(const char* bytes, char32_t* characters, int capacity) {
    const auto* at = reinterpret_cast<const unsigned char*>(bytes);
    const int size = static_cast<int>(std::strlen(bytes));
    int length = 0;
    for (int i = 0; i < size && length < capacity;) {
        const int taken = decode_char(at + i, size - i, characters[length]);
        if (taken == 1 && at[i] >= 0x80 && at[i] < 0xA0) {
            characters[length] = at[i];
        }
        ++length;
        i += taken;
    }
    return length;
}

}  // namespace

int working_folder(char32_t* folder, int capacity) {
    char bytes[PATH_MAX];
    if (getcwd(bytes, sizeof bytes) == nullptr) {
        return -1;
    }
    return decode_name(bytes, folder, capacity);
}

int system_description(int code, char32_t* text, int capacity) {
    const char* words = std::strerror(code);  // the C locale's: the program loads no messages
    int length = 0;
    for (; words[length] != '\0' && length < capacity; ++length) {
        text[length] = from_windows_1252(static_cast<unsigned char>(words[length]));
    }
    while (length > 0 && (text[length - 1] == '.' || text[length - 1] == '\n')) {
        --length;
    }
    return length;
}

}  // namespace quadrivo
