// What the user is told, on Windows: causes of the system's own codes, a look
// at the attributes of a file that could not be opened (an open sharing nothing
// tells a file another program holds from one this user may not write), the
// working folder and its regular files (folders and devices left out).
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

#include "careful_windows.hpp"
#include "failure.hpp"
#include "telling.hpp"

namespace quadrivo {

int last_error() {
    return static_cast<int>(_doserrno);
}

// What each code tells by itself, read and written; any other is a system cause.
constexpr CodeCause CODE_CAUSES[] = {
    {ERROR_FILE_NOT_FOUND, Cause::missing, Cause::missing},
    {ERROR_PATH_NOT_FOUND, Cause::missing, Cause::missing},
    {ERROR_CANT_RESOLVE_FILENAME, Cause::dangling_link, Cause::dangling_link},  // a link round in a loop
    {ERROR_DIRECTORY, Cause::folder, Cause::folder},
    {ERROR_ACCESS_DENIED, Cause::may_not_read, Cause::may_not_write},
    {ERROR_SHARING_VIOLATION, Cause::source_held, Cause::calendar_held},
    {ERROR_LOCK_VIOLATION, Cause::source_held, Cause::calendar_held},
    {ERROR_DISK_FULL, Cause::disk_full, Cause::disk_full},
    {ERROR_HANDLE_DISK_FULL, Cause::disk_full, Cause::disk_full},
    {ERROR_FILE_TOO_LARGE, Cause::too_big, Cause::too_big},
    {ERROR_WRITE_PROTECT, Cause::read_only_disk, Cause::read_only_disk},
    {ERROR_CRC, Cause::disk_error, Cause::disk_error},
    {ERROR_SECTOR_NOT_FOUND, Cause::disk_error, Cause::disk_error},
    {ERROR_IO_DEVICE, Cause::disk_error, Cause::disk_error},
    {ERROR_NOT_READY, Cause::disk_error, Cause::disk_error},
    {ERROR_TOO_MANY_OPEN_FILES, Cause::too_many_files, Cause::too_many_files},
    {ERROR_NOT_ENOUGH_MEMORY, Cause::no_memory, Cause::no_memory},
    {ERROR_OUTOFMEMORY, Cause::no_memory, Cause::no_memory},
};

Cause system_cause(const char* file_name, int code, bool writing) {
    const Cause cause = code_cause(CODE_CAUSES, code, writing);
    const WideName name(file_name);
    const DWORD attributes = GetFileAttributesW(name.text);
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
    if (static_cast<DWORD>(code) == ERROR_ACCESS_DENIED && exists && held_elsewhere(name.text)) {
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

bool find_look_alike(LookAlike& found) {
    WIN32_FIND_DATAW entry;
    const HANDLE first = FindFirstFileW(WideName("*").text, &entry);
    const std::unique_ptr<void, decltype(&FindClose)> search(first != INVALID_HANDLE_VALUE ? first : nullptr,
                                                             FindClose);
    for (bool more = search != nullptr; more; more = FindNextFileW(search.get(), &entry)) {
        char32_t name[MAX_PATH];  // cFileName holds MAX_PATH units
        const int length = from_utf16(entry.cFileName, static_cast<int>(wcslen(entry.cFileName)), name, MAX_PATH);
        if ((entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0 &&
            found.closer(name, length)) {
            found.keep(name, length);
        }
    }
    return found.length > 0;
}

int system_description(int code, char32_t* text, int capacity) {
    // In the system's own language: an Italian Windows says it in Italian.
    wchar_t wide[MESSAGE];
    const DWORD units = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                       static_cast<DWORD>(code), 0, wide, MESSAGE, nullptr);
    int length = from_utf16(wide, static_cast<int>(units), text, capacity);
    if (length == 0) {
        length = decode_name(UNKNOWN_ERROR, static_cast<int>(std::strlen(UNKNOWN_ERROR)), text, capacity);
    }
    while (length > 0 && std::char_traits<char32_t>::find(U". \r\n", 4, text[length - 1]) != nullptr) {
        --length;
    }
    return length;
}

}  // namespace quadrivo
