// Replacing a file on Windows with the care POSIX takes: see careful_windows.hpp.
#include "careful_windows.hpp"

#include "wide_name_windows.hpp"

namespace quadrivo {

namespace {

// Renames the open file to target, a bare name in its own folder, replacing
// what stands there. Returns 0 or the system's code.
DWORD rename_by_handle(HANDLE handle, const char* target) {
    alignas(FILE_RENAME_INFO) unsigned char room[sizeof(FILE_RENAME_INFO) + MAX_PATH * sizeof(wchar_t)] = {};
    FILE_RENAME_INFO* const rename = reinterpret_cast<FILE_RENAME_INFO*>(room);
    wchar_t* const name = rename->FileName;
    const int units = MultiByteToWideChar(CP_ACP, 0, target, -1, name, MAX_PATH);
    if (units <= 1) {
        return ERROR_INVALID_NAME;
    }
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(units - 1) * sizeof(wchar_t);
    return SetFileInformationByHandle(handle, FileRenameInfo, rename, sizeof room) ? 0 : GetLastError();
}

// Tells whether the system refuses a rename through a handle as such (an
// older system, a file system or a server that does not offer it).
bool rename_refused(DWORD error) {
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ||
           error == ERROR_CALL_NOT_IMPLEMENTED || error == ERROR_INVALID_NAME;
}

}  // namespace

bool may_pass(DWORD error, const wchar_t* name) {
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
        return true;
    }
    const DWORD attributes = error == ERROR_ACCESS_DENIED ? GetFileAttributesW(name) : INVALID_FILE_ATTRIBUTES;
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

bool held_elsewhere(const wchar_t* name) {
    const HANDLE handle = CreateFileW(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

DWORD write_fully(HANDLE handle, const char* bytes, DWORD size) {
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes, size, &written, nullptr)) {
            return GetLastError();
        }
        if (written == 0) {
            return ERROR_WRITE_FAULT;  // nothing written and no error said: GetLastError would be an older call's
        }
        bytes += written;
        size -= written;
    }
    return 0;
}

DWORD mark_for_deletion(HANDLE handle, bool marked) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = marked ? TRUE : FALSE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) ? 0
                                                                                                     : GetLastError();
}

DWORD rename_over(HANDLE& handle, const char* temp, const char* target) {
    const WideName wide_target(target);
    bool marked = true;
    const DWORD error = retrying(wide_target.text, [&] {
        DWORD failed = mark_for_deletion(handle, false);
        failed = failed != 0 ? failed : rename_by_handle(handle, target);
        // Marked again at once: unmarked, a kill in a pause would leave it.
        marked = failed == 0 || mark_for_deletion(handle, true) == 0;
        return failed;
    });
    if (error == 0) {
        FlushFileBuffers(handle);  // the rename too, as far as the file system journals it
        return 0;
    }
    if (marked && !rename_refused(error)) {
        return error;  // not in place, and marked: it goes with its handle
    }
    // Refused (or the mark could not be set again): closed unmarked and
    // moved by name, removed by name if that fails too.
    mark_for_deletion(handle, false);
    const WideName wide_temp(temp);
    DWORD moved = CloseHandle(handle) ? 0 : GetLastError();
    handle = INVALID_HANDLE_VALUE;
    if (moved == 0 && rename_refused(error)) {
        moved = retrying(wide_target.text, [&] {
            return MoveFileExW(wide_temp.text, wide_target.text, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                       ? 0
                       : GetLastError();
        });
    } else if (moved == 0) {
        moved = error;
    }
    if (moved != 0) {
        DeleteFileW(wide_temp.text);
    }
    return moved;
}

}  // namespace quadrivo
