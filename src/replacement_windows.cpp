// Replacing a file on Windows, the steps: a new file beside the target
// (CREATE_NEW; Windows makes no file without a name), marked for deletion as
// soon as it is made, so that a kill, Ctrl-C or a closed window removes it;
// written with CR LF line ends and flushed; given the earlier file's
// attributes, creation time and own DACL; the mark cleared just before one
// MoveFileExW puts it in the target's place.
#include <windows.h>

#include <cstdio>

#include "failure.hpp"
#include "replacement.hpp"
#include "replacement_steps.hpp"
#include "windows_file.hpp"

namespace quadrivo {

namespace {

// Marks the open file for deletion when its last handle closes, or clears the mark.
DWORD mark_for_deletion(HANDLE handle, bool marked) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = marked ? TRUE : FALSE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) ? 0
                                                                                                     : GetLastError();
}

// Puts the new file temp in the target's place with one rename, which
// replaces an earlier file whole (ReplaceFileW would remove it first, and a
// kill in between would leave no calendar at all).
DWORD move_in_place(const char* temp, const char* target) {
    return MoveFileExW(WideName(temp).text, WideName(target).text, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : GetLastError();
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

// Gives the new file the earlier one's DACL, where it had one of its own.
DWORD take_dacl(HANDLE handle, const char* target) {
    alignas(8) unsigned char buffer[8192];  // a descriptor far larger than any calendar's
    DWORD needed = 0;
    if (!GetFileSecurityW(WideName(target).text, DACL_SECURITY_INFORMATION, buffer, sizeof buffer, &needed)) {
        return GetLastError();
    }
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(buffer, &present, &dacl, &defaulted) || !present || !own_dacl(buffer, dacl)) {
        return 0;  // inherited: the new file beside it inherits the same
    }
    return SetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, buffer) ? 0 : GetLastError();
}

// Gives the new file the earlier one's attributes (hidden, system, archive,
// not content-indexed), creation time and own DACL, before it takes its
// place. A missing target, or a link, gives nothing.
DWORD take_earlier(HANDLE handle, const char* target) {
    WIN32_FILE_ATTRIBUTE_DATA earlier;
    if (!GetFileAttributesExW(WideName(target).text, GetFileExInfoStandard, &earlier) ||
        (earlier.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return 0;
    }
    constexpr DWORD KEPT =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FILE_BASIC_INFO basic{};  // times of 0 stay as they are
    basic.CreationTime.LowPart = earlier.ftCreationTime.dwLowDateTime;
    basic.CreationTime.HighPart = static_cast<LONG>(earlier.ftCreationTime.dwHighDateTime);
    basic.FileAttributes =
        (earlier.dwFileAttributes & KEPT) != 0 ? earlier.dwFileAttributes & KEPT : FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic)) {
        return GetLastError();
    }
    return take_dacl(handle, target);
}

// Creates a new file beside target, named ".<target>.<random suffix>" in
// temp, with the access that deletion and a DACL need; another run's file of the same
// name is skipped. Returns its handle, or INVALID_HANDLE_VALUE (GetLastError).
HANDLE create_beside(const char* target, char (&temp)[TEMP_NAME]) {
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 1103515245u + 12345u;
        std::snprintf(temp, sizeof temp, ".%s.%06lx", target, static_cast<unsigned long>(seed >> 8) & 0xFFFFFF);
        const HANDLE handle = open_for_writing(temp, GENERIC_WRITE | DELETE | WRITE_DAC, CREATE_NEW);
        if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) {
            return handle;
        }
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

WritingGuard::WritingGuard() = default;
WritingGuard::~WritingGuard() = default;

NewFile::~NewFile() {
    if (handle_ != nullptr) {
        CloseHandle(static_cast<HANDLE>(handle_));  // marked: the file goes with its last handle
    }
}

Made NewFile::make(const char* target, bool nameless, Failure& failure) {
    if (nameless) {
        return Made::unsupported;
    }
    const HANDLE handle = create_beside(target, name_);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        failure = target_failure(target, error);
        return error == ERROR_ACCESS_DENIED ? Made::folder_refuses : Made::failed;
    }
    handle_ = handle;
    failure = target_failure(target, mark_for_deletion(handle, true));
    return failure ? Made::failed : Made::made;
}

Failure NewFile::write(const CalendarText& content) {
    return target_failure(name_, write_all(static_cast<HANDLE>(handle_), content));
}

Failure NewFile::take_after(const char* target) {
    return target_failure(target, take_earlier(static_cast<HANDLE>(handle_), target));
}

Failure NewFile::put_in_place(const char* target) {
    if (const Failure failure = replaceable(target)) {
        return failure;  // made read-only meanwhile, or the source now: refused
    }
    const HANDLE handle = static_cast<HANDLE>(handle_);
    handle_ = nullptr;
    DWORD error = mark_for_deletion(handle, false);
    if (error != 0) {
        CloseHandle(handle);  // still marked: it goes
        return target_failure(target, error);
    }
    error = CloseHandle(handle) ? 0 : GetLastError();
    error = error != 0 ? error : move_in_place(name_, target);
    if (error != 0) {
        DeleteFileW(WideName(name_).text);
    }
    return target_failure(target, error);
}

Failure NewFile::finish() {
    return {};
}  // flushed before, and renamed writing through

}  // namespace quadrivo
