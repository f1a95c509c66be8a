// The new file's steps on Windows: its write, the earlier file's attributes and security, its rename.
#include "careful_windows.hpp"

#include <aclapi.h>

#include <memory>

namespace quadrivo {

namespace {

// Renames the open file to target, a bare name in its own folder, replacing
// what stands there. Returns 0 or the system's code.
DWORD rename_by_handle(HANDLE handle, const char* target) {
    alignas(FILE_RENAME_INFO) unsigned char room[sizeof(FILE_RENAME_INFO) + MAX_PATH * sizeof(wchar_t)] = {};
    FILE_RENAME_INFO* const rename = reinterpret_cast<FILE_RENAME_INFO*>(room);  // no root folder: beside the file
    const int units = MultiByteToWideChar(CP_ACP, 0, target, -1, rename->FileName, MAX_PATH);
    if (units <= 1) {
        return ERROR_INVALID_NAME;
    }
    rename->ReplaceIfExists = TRUE;
    rename->FileNameLength = static_cast<DWORD>(units - 1) * sizeof(wchar_t);
    return SetFileInformationByHandle(handle, FileRenameInfo, rename, sizeof room) ? 0 : GetLastError();
}

// Tells whether the system refuses a rename through a handle as such (an older system, a server).
bool rename_refused(DWORD error) {
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ||
           error == ERROR_CALL_NOT_IMPLEMENTED || error == ERROR_INVALID_NAME;
}

// Tells whether the DACL is the file's own, not only what its folder passes
// down: protected, or holding an entry that was not inherited.
bool own_dacl(PSECURITY_DESCRIPTOR descriptor, PACL dacl) {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (GetSecurityDescriptorControl(descriptor, &control, &revision) && (control & SE_DACL_PROTECTED) != 0) {
        return true;
    }
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (GetAce(dacl, i, &entry) && (static_cast<ACE_HEADER*>(entry)->AceFlags & INHERITED_ACE) == 0) {
            return true;
        }
    }
    return false;
}

// Gives the new file the earlier one's owner and own DACL as a best effort, as POSIX copies the
// owner: each may be refused (another user's owner needs a privilege); the new file keeps its own.
void take_security(HANDLE handle, const wchar_t* earlier) {
    PSECURITY_DESCRIPTOR allocated = nullptr;  // in the size the system needed, freed when dropped
    PACL dacl = nullptr;
    if (GetNamedSecurityInfoW(earlier, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &allocated) != ERROR_SUCCESS) {
        return;
    }
    const std::unique_ptr<void, decltype(&LocalFree)> descriptor(allocated, LocalFree);
    SetKernelObjectSecurity(handle, OWNER_SECURITY_INFORMATION, allocated);
    if (own_dacl(allocated, dacl)) {
        SetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, allocated);
    }  // else inherited: the new file beside it inherits the same
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
    OpenFile file;
    file.set(reinterpret_cast<std::intptr_t>(
        CreateFileW(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    const DWORD error = file.handle() == OpenFile::CLOSED ? GetLastError() : 0;
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

DWORD mark_for_deletion(HANDLE handle, bool marked) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = marked ? TRUE : FALSE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) ? 0
                                                                                                     : GetLastError();
}

Failure write_all(OpenFile& file, const CalendarText& content) {
    char chunk[BLOCK];  // CR LF line ends, as a text-mode stream writes them, a buffer's worth at a time
    DWORD used = 0;
    for (std::size_t i = 0; i <= content.size(); ++i) {
        if (used + 2 > sizeof chunk || i == content.size()) {
            for (DWORD done = 0, written = 0; done < used; done += written) {  // a short write is tried on
                if (!WriteFile(handle_of(file), chunk + done, used - done, &written, nullptr)) {
                    return failure_of(Step::write, static_cast<int>(GetLastError()));
                }
                if (written == 0) {  // nothing written and no error said: GetLastError would be an older call's
                    return failure_of(Step::write, ERROR_WRITE_FAULT);
                }
            }
            used = 0;
        }
        if (i < content.size()) {
            if (content.data()[i] == '\n') {
                chunk[used++] = '\r';
            }
            chunk[used++] = content.data()[i];
        }
    }
    return {};
}

Failure copy_owner(OpenFile& file, const char* earlier) {
    const WideName name(earlier);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(name.text, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        return {};  // nothing to copy: a new file has the archive attribute already
    }
    take_security(handle_of(file), name.text);
    constexpr DWORD KEPT = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FILE_BASIC_INFO basic{};  // times of 0 stay as they are
    basic.CreationTime.LowPart = data.ftCreationTime.dwLowDateTime;
    basic.CreationTime.HighPart = static_cast<LONG>(data.ftCreationTime.dwHighDateTime);
    basic.FileAttributes = FILE_ATTRIBUTE_ARCHIVE | (data.dwFileAttributes & KEPT);  // a changed file
    return SetFileInformationByHandle(handle_of(file), FileBasicInfo, &basic, sizeof basic)
               ? Failure{}
               : failure_of(Step::copy_owner, static_cast<int>(GetLastError()));
}

Failure put_in_place(OpenFile& file, const char* name, const char* target) {
    const HANDLE handle = handle_of(file);
    const WideName wide_target(target);
    bool marked = true;
    const DWORD error = retrying(wide_target.text, [&] {
        DWORD failed = mark_for_deletion(handle, false);
        failed = failed != 0 ? failed : rename_by_handle(handle, target);
        // Marked again at once: a file renamed while marked is deleted under
        // its new name when closed, and one unmarked in a pause a kill would leave.
        marked = failed == 0 || mark_for_deletion(handle, true) == 0;
        return failed;
    });
    if (error == 0) {
        FlushFileBuffers(handle);  // the rename too, as far as the file system journals it
        return {};
    }
    if (marked && !rename_refused(error)) {
        return failure_of(Step::put_in_place, static_cast<int>(error));  // marked: it goes with its handle
    }
    // Refused (or the mark could not be set again): closed unmarked and moved
    // by name, removed by name if that fails too.
    mark_for_deletion(handle, false);
    file.set(OpenFile::CLOSED);
    const WideName wide_name(name);
    DWORD moved = CloseHandle(handle) ? 0 : GetLastError();
    if (moved == 0 && rename_refused(error)) {
        moved = retrying(wide_target.text, [&] {
            return MoveFileExW(wide_name.text, wide_target.text, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                       ? 0
                       : GetLastError();
        });
    } else if (moved == 0) {
        moved = error;
    }
    if (moved != 0) {
        DeleteFileW(wide_name.text);
    }
    return failure_of(Step::put_in_place, static_cast<int>(moved));
}

}  // namespace quadrivo
