// Replacing a file on Windows, the steps: a new file beside the target
// (CREATE_NEW; Windows makes no file without a name), marked for deletion as
// soon as it is made, so that a kill, Ctrl-C or a closed window removes it;
// written with CR LF line ends and flushed; given the earlier file's
// attributes, creation time and own DACL; the mark cleared just before one
// MoveFileExW puts it in the target's place. Where the folder refuses new
// files, the target is rewritten in place, opened without sharing writes,
// once it has been extended to the new length.
#include <windows.h>

#include <cstdio>

#include "failure.hpp"
#include "replacement.hpp"
#include "replacement_steps.hpp"
#include "wide_name_windows.hpp"

namespace quadrivo {

namespace {

// A handle that closes itself; close() tells whether the close worked.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    bool open() const { return handle_ != INVALID_HANDLE_VALUE; }
    // Returns 0 or the error of the close.
    DWORD close() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle == INVALID_HANDLE_VALUE || CloseHandle(handle) ? 0 : GetLastError();
    }

private:
    HANDLE handle_;
};

// Opens name for writing with the given disposition, sharing it as the C runtime does.
HANDLE open_for_writing(const char* name, DWORD access, DWORD disposition) {
    return CreateFileW(WideName(name).text, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The failure of a step on the target that returned code.
Failure target_failure(const char* target, DWORD code) {
    return code == 0 ? Failure{} : opening_failure(target, static_cast<int>(code), true);
}

// Tells whether the file at name is the source's: the same volume and file index.
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

// Tells why name may not be replaced, or nothing when it may: missing, a
// link, or a file without the read-only attribute that this user may write
// and that is not the source.
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
    Handle handle(open_for_writing(name, GENERIC_WRITE, OPEN_EXISTING));
    return target_failure(name, handle.open() ? handle.close() : GetLastError());
}

// Marks the open file for deletion when its last handle closes, or clears the mark.
DWORD mark_for_deletion(HANDLE handle, bool marked) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = marked ? TRUE : FALSE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition)
               ? 0
               : GetLastError();
}

// Returns the content's length once its line ends are CR LF.
LONGLONG written_length(const CalendarText& content) {
    LONGLONG length = static_cast<LONGLONG>(content.size());
    for (std::size_t i = 0; i < content.size(); ++i) {
        length += content.data()[i] == '\n' ? 1 : 0;
    }
    return length;
}

// Writes the content with CR LF line ends, as a text-mode stream would, a
// buffer's worth at a time; then flushes it to the disk.
DWORD write_all(HANDLE handle, const CalendarText& content) {
    char chunk[BLOCK];
    std::size_t used = 0;
    for (std::size_t i = 0; i <= content.size(); ++i) {
        if (used + 2 > sizeof chunk || (i == content.size() && used > 0)) {
            DWORD written = 0;
            if (!WriteFile(handle, chunk, static_cast<DWORD>(used), &written, nullptr) || written != used) {
                return GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
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
    return FlushFileBuffers(handle) ? 0 : GetLastError();
}

// Sets the end of the file at length.
bool set_end(HANDLE handle, LONGLONG length) {
    LARGE_INTEGER at;
    at.QuadPart = length;
    return SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
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
    basic.FileAttributes = (earlier.dwFileAttributes & KEPT) != 0 ? earlier.dwFileAttributes & KEPT : FILE_ATTRIBUTE_NORMAL;
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

constexpr DWORD LOCK_WAIT_MS = 10000;  // how long a rewrite in place waits for another run's hold
constexpr DWORD LOCK_STEP_MS = 50;

// Opens target for reading and writing, sharing reading only, so that a
// second run waits for the first; waits up to LOCK_WAIT_MS.
HANDLE open_alone(const char* target) {
    for (DWORD waited = 0;; waited += LOCK_STEP_MS) {
        const HANDLE handle = CreateFileW(WideName(target).text, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION || waited >= LOCK_WAIT_MS) {
            return handle;
        }
        Sleep(LOCK_STEP_MS);
    }
}

// Ctrl-C and Ctrl-Break are held while a file is rewritten in place.
BOOL WINAPI hold_control(DWORD) { return TRUE; }

class ControlHeld {
public:
    ControlHeld() { SetConsoleCtrlHandler(hold_control, TRUE); }
    ~ControlHeld() { SetConsoleCtrlHandler(hold_control, FALSE); }
    ControlHeld(const ControlHeld&) = delete;
    ControlHeld& operator=(const ControlHeld&) = delete;
};

}  // namespace

Failure check_target(const char* target) { return replaceable(target); }

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

Failure NewFile::finish() { return {}; }  // flushed before, and renamed writing through

Commit rewrite_in_place(const CalendarText& content, const char* target) {
    if (const Failure failure = replaceable(target)) {
        return {Replaced::no, failure};
    }
    Handle handle(open_alone(target));
    if (!handle.open()) {
        const DWORD error = GetLastError();
        return {Replaced::no, error == ERROR_SHARING_VIOLATION ? Failure{Cause::source_held, static_cast<int>(error)}
                                                               : target_failure(target, error)};
    }
    // Checked again now that no other run writes it: still writable, still not the source.
    const DWORD attributes = GetFileAttributesW(WideName(target).text);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) != 0 || is_source(target)) {
        return {Replaced::no, attributes == INVALID_FILE_ATTRIBUTES ? target_failure(target, GetLastError())
                              : is_source(target)                  ? Failure{Cause::same_file, 0}
                                                                   : Failure{Cause::read_only, ERROR_ACCESS_DENIED}};
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle.get(), &size)) {
        return {Replaced::no, target_failure(target, GetLastError())};
    }
    const LONGLONG length = written_length(content);
    const ControlHeld held;  // from the extension, which may already lengthen the file, to the end
    if (length > size.QuadPart && !set_end(handle.get(), length)) {
        const DWORD error = GetLastError();
        set_end(handle.get(), size.QuadPart);
        return {Replaced::no, target_failure(target, error)};
    }
    LARGE_INTEGER start{};
    DWORD error = SetFilePointerEx(handle.get(), start, nullptr, FILE_BEGIN) ? 0 : GetLastError();
    error = error != 0 ? error : write_all(handle.get(), content);
    error = error != 0 || set_end(handle.get(), length) ? error : GetLastError();
    if (error != 0) {
        Failure failure = target_failure(target, error);
        failure.incomplete = true;  // its first bytes may be new already
        return {Replaced::no, failure};
    }
    error = handle.close();
    return {error != 0 ? Replaced::unconfirmed : Replaced::yes, target_failure(target, error)};
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
