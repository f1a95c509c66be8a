// Copying the earlier calendar's attributes, creation time, owner and own
// access list to the new file on Windows.
#include <windows.h>

#include <aclapi.h>

#include <memory>

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

// Gives the new file the earlier one's owner and own DACL, as a best effort,
// as POSIX copies the owner: each may be refused (another user's owner needs
// a privilege), and the new file keeps its own then.
void take_security(HANDLE handle, const wchar_t* earlier) {
    PSECURITY_DESCRIPTOR allocated = nullptr;  // in the size the system needed, freed when dropped
    PSID owner = nullptr;
    PACL dacl = nullptr;
    if (GetNamedSecurityInfoW(earlier, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
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

Failure copy_owner(OpenFile& file, const char* earlier) {
    const HANDLE handle = reinterpret_cast<HANDLE>(file.handle());
    const WideName name(earlier);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(name.text, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        return {};  // nothing to copy: a new file has the archive attribute already
    }
    take_security(handle, name.text);
    constexpr DWORD KEPT = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FILE_BASIC_INFO basic{};  // times of 0 stay as they are
    basic.CreationTime.LowPart = data.ftCreationTime.dwLowDateTime;
    basic.CreationTime.HighPart = static_cast<LONG>(data.ftCreationTime.dwHighDateTime);
    basic.FileAttributes = FILE_ATTRIBUTE_ARCHIVE | (data.dwFileAttributes & KEPT);  // a changed file
    return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic)
               ? Failure{}
               : failure_of(Step::copy_owner, static_cast<int>(GetLastError()));
}

}  // namespace quadrivo
