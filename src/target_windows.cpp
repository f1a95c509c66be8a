// The calendar's name on Windows: what may be replaced (a file without the
// read-only attribute that this user may write), never the source, and the
// empty file made at the format answer where none stands.
#include <windows.h>

#include "replacement.hpp"
#include "replacement_steps.hpp"
#include "windows_file.hpp"

namespace quadrivo {

Failure target_failure(const char* target, DWORD code) {
    return code == 0 ? Failure{} : opening_failure(target, static_cast<int>(code), true);
}

bool is_source(const char* name) {
    BY_HANDLE_FILE_INFORMATION file[2] = {};
    const char* names[2] = {name, SOURCE_FILE};
    for (int i = 0; i < 2; ++i) {
        Handle handle(CreateFileW(WideName(names[i]).text, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!handle.open() || !GetFileInformationByHandle(handle.get(), &file[i])) {
            return false;
        }
    }
    return file[0].dwVolumeSerialNumber == file[1].dwVolumeSerialNumber &&
           file[0].nFileIndexHigh == file[1].nFileIndexHigh && file[0].nFileIndexLow == file[1].nFileIndexLow;
}

Failure replaceable(const char* name) {
    const DWORD attributes = GetFileAttributesW(WideName(name).text);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? Failure{} : target_failure(name, error);
    }
    if (is_source(name)) {
        return {Cause::same_file, 0};
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return {};  // a link: replaced, never followed
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return {Cause::folder, ERROR_ACCESS_DENIED};
    }
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        return {Cause::not_a_file, ERROR_ACCESS_DENIED};
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return {Cause::read_only, ERROR_ACCESS_DENIED};
    }
    // A brief hold (a virus scanner, the indexer, a sync client) is waited out.
    const WideName wide(name);
    return target_failure(name, retrying(wide.text, [&] {
                              Handle handle(CreateFileW(wide.text, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
                              return handle.open() ? handle.close() : GetLastError();
                          }));
}

Failure check_target(const char* target) {
    return replaceable(target);
}

Failure prepare_target(const char* file_name) {
    // CREATE_NEW: a file another run made meanwhile is left alone and taken as it is.
    Handle handle(open_for_writing(file_name, GENERIC_WRITE, CREATE_NEW));
    if (!handle.open()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS) {
            return replaceable(file_name);
        }
        return error == ERROR_ACCESS_DENIED ? Failure{Cause::folder_refuses, static_cast<int>(error)}
                                            : target_failure(file_name, error);
    }
    const DWORD closed = handle.close();
    // The source may be a link to this name: then the new file is the source, and goes again.
    if (is_source(file_name)) {
        DeleteFileW(WideName(file_name).text);
        return {Cause::same_file, 0};
    }
    return target_failure(file_name, closed);
}

}  // namespace quadrivo
