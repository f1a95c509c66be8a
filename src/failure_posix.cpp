// Causes of failures on POSIX: errno, and a look at the file with lstat.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "failure.hpp"

namespace quadrivo {

int last_error() { return errno; }

Cause cause_of(int error, const char* file_name, bool writing) {
    struct stat st {};
    const bool exists = lstat(file_name, &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        return Cause::folder;
    }
    if (writing && exists && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        return Cause::not_a_file;  // a FIFO, a device, a socket
    }
    switch (error) {
    case ENOENT:
        return Cause::missing;
    case EISDIR:
        return Cause::folder;
    case ENOSPC:
    case EDQUOT:
        return Cause::disk_full;
    case EFBIG:
        return Cause::too_big;
    case EROFS:
        return Cause::read_only_disk;
    case EACCES:
    case EPERM:
        if (!writing) {
            return Cause::may_not_read;
        }
        // No write bit at all is read-only, root included, though no call fails for root.
        if (exists && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) {
            return Cause::read_only;
        }
        return exists ? Cause::may_not_write : Cause::folder_refuses;
    default:
        return Cause::system;
    }
}

int working_folder(char32_t* folder, int capacity) {
    char bytes[PATH_MAX];
    if (getcwd(bytes, sizeof bytes) == nullptr) {
        return -1;
    }
    // Read as typed text is: UTF-8 where it is well-formed, else Windows-1252.
    const auto* at = reinterpret_cast<const unsigned char*>(bytes);
    const int size = static_cast<int>(std::strlen(bytes));
    int length = 0;
    for (int i = 0; i < size && length < capacity;) {
        i += decode_char(at + i, size - i, folder[length++]);
    }
    return length;
}

int system_description(int error, char32_t* text, int capacity) {
    const char* words = std::strerror(error);  // the C locale's: the program loads no messages
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
