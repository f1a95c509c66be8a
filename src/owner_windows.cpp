// Copying the earlier calendar's attributes, creation time and own access
// list to the new file on Windows.
#include <windows.h>

#include "file_primitives.hpp"
#include "wide_name_windows.hpp"

namespace quadrivo {

namespace {

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

}  // namespace

Failure copy_owner(OpenFile& file, const char* earlier) {
    return failure_of(Step::copy_owner,
                      static_cast<int>(take_earlier(reinterpret_cast<HANDLE>(file.handle()), earlier)));
}

}  // namespace quadrivo
