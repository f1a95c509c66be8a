// Causes of failures on Windows: the system's own error code, and a look at
// the attributes of a file that could not be opened; a probe with DELETE
// access tells a file another program holds from one this user may not write.
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <cwchar>

#include "failure.hpp"
#include "wide_name_windows.hpp"

namespace quadrivo {

namespace {

// Tells whether another program holds the file: open for deletion, it refuses
// to share it. Under Wine, MoveFileExW over a held file fails as access denied.
bool held_by_another(const char* file_name) {
    const HANDLE handle =
        CreateFileW(WideName(file_name).text, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// Appends the UTF-16 text, surrogate pairs joined, to characters. Returns the new length.
int add_utf16(const wchar_t* wide, int units, char32_t* characters, int length, int capacity) {
    for (int i = 0; i < units && length < capacity; ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
        }
        characters[length++] = c;
    }
    return length;
}

}  // namespace

int last_error() {
    return static_cast<int>(_doserrno);
}

Cause cause_of(int code, bool writing) {
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

Failure opening_failure(const char* file_name, int code, bool writing) {
    Failure failure = failure_of(code, writing);
    const DWORD attributes = GetFileAttributesW(WideName(file_name).text);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (failure.cause == Cause::missing && GetCurrentDirectoryW(0, nullptr) == 0) {
        failure.cause = Cause::folder_gone;
    } else if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        failure.cause = Cause::folder;  // opening a folder is denied access
    } else if (exists && (attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        failure.cause = Cause::not_a_file;
    } else if (static_cast<DWORD>(code) == ERROR_ACCESS_DENIED && exists && held_by_another(file_name)) {
        failure.cause = writing ? Cause::calendar_held : Cause::source_held;
    }
    return failure;
}

int working_folder(char32_t* folder, int capacity) {
    wchar_t wide[MAX_PATH * 4];
    const DWORD units = GetCurrentDirectoryW(MAX_PATH * 4, wide);
    if (units == 0 || units >= MAX_PATH * 4) {
        return -1;
    }
    return add_utf16(wide, static_cast<int>(units), folder, 0, capacity);
}

int system_description(int code, char32_t* text, int capacity) {
    // In the system's own language: an Italian Windows says it in Italian.
    wchar_t wide[MESSAGE];
    const DWORD units = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                       static_cast<DWORD>(code), 0, wide, MESSAGE, nullptr);
    int length = add_utf16(wide, static_cast<int>(units), text, 0, capacity);
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
