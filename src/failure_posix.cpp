// Causes of failures on POSIX: errno, and a look at a name that could not be
// opened.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "failure.hpp"
#include "telling.hpp"

namespace quadrivo {

int last_error() {
    return errno;
}

namespace {

// Returns the cause that code tells by itself.
Cause code_cause(int code, bool writing) {
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

}  // namespace

Cause system_cause(const char* file_name, int code, bool writing) {
    if (code == ENOENT) {
        struct stat st {};
        char folder[PATH_MAX];
        if (getcwd(folder, sizeof folder) == nullptr && errno == ENOENT) {
            return Cause::folder_gone;
        }
        if (lstat(file_name, &st) == 0 && S_ISLNK(st.st_mode)) {
            return Cause::dangling_link;  // ls shows the name; it leads to no file
        }
    }
    return code_cause(code, writing);
}

int working_folder(char32_t* folder, int capacity) {
    char bytes[PATH_MAX];
    if (getcwd(bytes, sizeof bytes) == nullptr) {
        return -1;
    }
    return decode_name(bytes, static_cast<int>(std::strlen(bytes)), folder, capacity);
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
