// Causes of failures on Windows: the system's own error code, and a look at
// the attributes of a file that could not be opened; an open sharing nothing
// tells a file another program holds from one this user may not write.
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <cwchar>

#include "careful_windows.hpp"
#include "failure.hpp"
#include "telling.hpp"

namespace quadrivo {

int last_error() {
    return static_cast<int>(_doserrno);
}

// Returns the cause that code tells by itself.
static Cause code_cause(int code, bool writing) {
    switch (static_cast<DWORD>(code)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return Cause::missing;
    case ERROR_CANT_RESOLVE_FILENAME:  // a link that leads round in a loop
        return Cause::dangling_link;
    case ERROR_DIRECTORY:
        return Cause::folder;
    case ERROR_ACCESS_DENIED:
        return writing ? Cause::may_not_write : Cause::may_not_read;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return writing ? Cause::calendar_held : Cause::source_held;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return Cause::disk_full;
    case ERROR_FILE_TOO_LARGE:
        return Cause::too_big;
    case ERROR_WRITE_PROTECT:
        return Cause::read_only_disk;
    case ERROR_CRC:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_IO_DEVICE:
    case ERROR_NOT_READY:
        return Cause::disk_error;
    case ERROR_TOO_MANY_OPEN_FILES:
        return Cause::too_many_files;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return Cause::no_memory;
    default:
        return Cause::system;
    }
}

Cause system_cause(const char* file_name, int code, bool writing) {
    const Cause cause = code_cause(code, writing);
    const DWORD attributes = GetFileAttributesW(WideName(file_name).text);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (cause == Cause::missing && GetCurrentDirectoryW(0, nullptr) == 0) {
        return Cause::folder_gone;
    }
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Cause::folder;  // opening a folder is denied access
    }
    if (exists && (attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        return Cause::not_a_file;
    }
    if (static_cast<DWORD>(code) == ERROR_ACCESS_DENIED && exists && held_elsewhere(WideName(file_name).text)) {
        return writing ? Cause::calendar_held : Cause::source_held;
    }
    return cause;
}

int working_folder(char32_t* folder, int capacity) {
    wchar_t wide[MAX_PATH * 4];
    const DWORD units = GetCurrentDirectoryW(MAX_PATH * 4, wide);
    if (units == 0 || units >= MAX_PATH * 4) {
        return -1;
    }
    return from_utf16(wide, static_cast<int>(units), folder, capacity);
}

int system_description(int code, char32_t* text, int capacity) {
    // In the system's own language: an Italian Windows says it in Italian.
    wchar_t wide[MESSAGE];
    const DWORD units = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                       static_cast<DWORD>(code), 0, wide, MESSAGE, nullptr);
    int length = from_utf16(wide, static_cast<int>(units), text, capacity);
    if (length == 0) {
        for (const char* unknown = UNKNOWN_ERROR; *unknown != '\0' && length < capacity; ++unknown) {
            text[length++] = static_cast<char32_t>(*unknown);  // ASCII
        }
    }
    while (length > 0 && (text[length - 1] == '.' || text[length - 1] == '\n' || text[length - 1] == '\r' ||
                          text[length - 1] == ' ')) {
        --length;
    }
    return length;
}

}  // namespace quadrivo
