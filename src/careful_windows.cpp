// Replacing a file on Windows with the care POSIX takes: see careful_windows.hpp.
#include "careful_windows.hpp"

#include <aclapi.h>

#include "wide_name_windows.hpp"

namespace quadrivo {

namespace {

// The control handler's record: the handler runs on a thread of the system's
// and can be handed nothing. Steps take the lock exclusively (only the main
// thread, so a count makes them nest); the handler waits for it.
struct ControlRecord {
    SRWLOCK lock = SRWLOCK_INIT;
    int depth = 0;
};
ControlRecord control_record;

BOOL WINAPI wait_for_the_step(DWORD) {
    AcquireSRWLockShared(&control_record.lock);
    ReleaseSRWLockShared(&control_record.lock);
    return FALSE;  // the step is over: the next handler, the end of the program by default
}

// A security descriptor the system allocated, freed when dropped.
class SystemDescriptor {
public:
    SystemDescriptor() = default;
    ~SystemDescriptor() {
        if (descriptor_ != nullptr) {
            LocalFree(descriptor_);
        }
    }
    SystemDescriptor(const SystemDescriptor&) = delete;
    SystemDescriptor& operator=(const SystemDescriptor&) = delete;
    PSECURITY_DESCRIPTOR* place() { return &descriptor_; }
    PSECURITY_DESCRIPTOR get() const { return descriptor_; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

// Tells whether the file at name is there and no link: only such a file hands
// down attributes and security.
bool plain_file(const wchar_t* name, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return GetFileAttributesExW(name, GetFileExInfoStandard, &data) &&
           (data.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
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
    if (error == 0 || (marked && !rename_refused(error))) {
        return error;  // in place; or not, and marked: it goes with its handle
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

DWORD take_attributes(HANDLE handle, const wchar_t* earlier) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!plain_file(earlier, data)) {
        return 0;  // a new file has the archive attribute already
    }
    constexpr DWORD KEPT = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FILE_BASIC_INFO basic{};  // times of 0 stay as they are
    basic.CreationTime.LowPart = data.ftCreationTime.dwLowDateTime;
    basic.CreationTime.HighPart = static_cast<LONG>(data.ftCreationTime.dwHighDateTime);
    basic.FileAttributes = FILE_ATTRIBUTE_ARCHIVE | (data.dwFileAttributes & KEPT);  // a changed file
    return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic) ? 0 : GetLastError();
}

void take_security(HANDLE handle, const wchar_t* earlier) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    SystemDescriptor descriptor;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    if (!plain_file(earlier, data) ||
        GetNamedSecurityInfoW(earlier, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &dacl, nullptr, descriptor.place()) != ERROR_SUCCESS) {
        return;
    }
    // Each may be refused (another user's owner needs a privilege): the new file keeps its own then.
    SetKernelObjectSecurity(handle, OWNER_SECURITY_INFORMATION, descriptor.get());
    if (own_dacl(descriptor.get(), dacl)) {
        SetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, descriptor.get());
    }  // else inherited: the new file beside it inherits the same
}

ControlHeld::ControlHeld() {
    if (control_record.depth++ == 0) {
        AcquireSRWLockExclusive(&control_record.lock);
        SetConsoleCtrlHandler(wait_for_the_step, TRUE);
    }
}

ControlHeld::~ControlHeld() {
    if (--control_record.depth == 0) {
        SetConsoleCtrlHandler(wait_for_the_step, FALSE);
        ReleaseSRWLockExclusive(&control_record.lock);
    }
}

bool run_alive(DWORD run, const wchar_t* name) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, run);
    if (process == nullptr) {
        return GetLastError() != ERROR_INVALID_PARAMETER;  // denied: another user's, alive
    }
    DWORD status = 0;
    FILETIME started;
    FILETIME ended;
    FILETIME kernel;
    FILETIME user;
    WIN32_FILE_ATTRIBUTE_DATA file;
    bool alive = !GetExitCodeProcess(process, &status) || status == STILL_ACTIVE;
    if (alive && GetProcessTimes(process, &started, &ended, &kernel, &user) &&
        GetFileAttributesExW(name, GetFileExInfoStandard, &file)) {
        alive = CompareFileTime(&started, &file.ftCreationTime) <= 0;  // started later: the id used again
    }
    CloseHandle(process);
    return alive;
}

}  // namespace quadrivo
