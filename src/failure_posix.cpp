// What the user is told, on POSIX: causes of errno's codes, a look at a name
// that could not be opened, the working folder and its regular files (readdir,
// and stat for what a name leads to; names are bytes, read as typed text is).
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>

#include "failure.hpp"
#include "telling.hpp"

namespace quadrivo {

int last_error() {
    return errno;
}

// What each code tells by itself, read and written; any other is a system cause.
constexpr CodeCause CODE_CAUSES[] = {
    {ENOENT, Cause::missing, Cause::missing},
    {ELOOP, Cause::dangling_link, Cause::dangling_link},
    {EISDIR, Cause::folder, Cause::folder},
    {ENXIO, Cause::not_a_file, Cause::not_a_file},  // a socket, a device without its driver
    {ENODEV, Cause::not_a_file, Cause::not_a_file},
    {EACCES, Cause::may_not_read, Cause::may_not_write},
    {EPERM, Cause::may_not_read, Cause::immutable},  // immutable or append-only: no permission bit helps
    {ETXTBSY, Cause::in_use, Cause::in_use},
    {EBUSY, Cause::in_use, Cause::in_use},
    {ENOSPC, Cause::disk_full, Cause::disk_full},
    {EDQUOT, Cause::disk_full, Cause::disk_full},
    {EFBIG, Cause::too_big, Cause::too_big},
    {EROFS, Cause::read_only_disk, Cause::read_only_disk},
    {EIO, Cause::disk_error, Cause::disk_error},
    {EMFILE, Cause::too_many_files, Cause::too_many_files},
    {ENFILE, Cause::too_many_files, Cause::too_many_files},
    {ENOMEM, Cause::no_memory, Cause::no_memory},
};

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
    return code_cause(CODE_CAUSES, code, writing);
}

int working_folder(char32_t* folder, int capacity) {
    char bytes[PATH_MAX];
    if (getcwd(bytes, sizeof bytes) == nullptr) {
        return -1;
    }
    return decode_name(bytes, static_cast<int>(std::strlen(bytes)), folder, capacity);
}

bool find_look_alike(LookAlike& found) {
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(opendir("."), closedir);
    const dirent* entry = nullptr;
    while (folder != nullptr && (entry = readdir(folder.get())) != nullptr) {
        char32_t name[NAME_MAX + 1];
        const int length = decode_name(entry->d_name, static_cast<int>(std::strlen(entry->d_name)), name, NAME_MAX + 1);
        struct stat st {};
        if (found.closer(name, length) && stat(entry->d_name, &st) == 0 && S_ISREG(st.st_mode)) {
            found.keep(name, length);
        }
    }
    return found.length > 0;
}

int system_description(int code, char32_t* text, int capacity) {
    const char* words = std::strerror(code);  // the C locale's, ASCII: the program loads no messages
    int length = decode_name(words, static_cast<int>(std::strlen(words)), text, capacity);
    while (length > 0 && (text[length - 1] == '.' || text[length - 1] == '\n')) {
        --length;
    }
    return length;
}

}  // namespace quadrivo
