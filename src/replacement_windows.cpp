// Replacing a file on Windows, the steps: a new file beside the target
// (CREATE_NEW; Windows makes no file without a name), marked for deletion as
// soon as it is made, so that a kill, Ctrl-C or a closed window removes it;
// written with CR LF line ends and flushed; given the earlier file's
// attributes, creation time, owner and own DACL; the mark cleared just before
// it is renamed over the target through its own handle.
#include <windows.h>

#include <cstdio>

#include "careful_windows.hpp"
#include "failure.hpp"
#include "replacement.hpp"
#include "replacement_steps.hpp"
#include "windows_file.hpp"

namespace quadrivo {

namespace {

// Creates a new file beside target, named ".<target>.<random suffix>" in
// temp, with the access that deletion and a DACL need; another run's file of the same
// name is skipped. Returns its handle, or INVALID_HANDLE_VALUE (GetLastError).
HANDLE create_beside(const char* target, char (&temp)[TEMP_NAME]) {
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 1103515245u + 12345u;
        std::snprintf(temp, sizeof temp, ".%s.%06lx", target, static_cast<unsigned long>(seed >> 8) & 0xFFFFFF);
        const HANDLE handle =
            open_for_writing(temp, GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC | WRITE_OWNER, CREATE_NEW);
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
    const ControlHeld held;  // from making the file to marking it
    const HANDLE handle = create_beside(target, name_);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        failure = target_failure(target, error);
        return error == ERROR_ACCESS_DENIED ? Made::folder_refuses : Made::failed;
    }
    if (const DWORD error = mark_for_deletion(handle, true)) {
        CloseHandle(handle);  // unmarked: removed by name
        DeleteFileW(WideName(name_).text);
        failure = target_failure(target, error);
        return Made::failed;
    }
    handle_ = handle;
    return Made::made;
}

Failure NewFile::write(const CalendarText& content) {
    return target_failure(name_, write_all(static_cast<HANDLE>(handle_), content));
}

Failure NewFile::take_after(const char* target) {
    const WideName earlier(target);
    take_security(static_cast<HANDLE>(handle_), earlier.text);  // a best effort, as owners on POSIX
    return target_failure(target, take_attributes(static_cast<HANDLE>(handle_), earlier.text));
}

Failure NewFile::put_in_place(const char* target) {
    const ControlHeld held;  // Ctrl-C and the window's close wait for the rename
    if (const Failure failure = replaceable(target)) {
        return failure;  // made read-only meanwhile, or the source now: refused
    }
    HANDLE handle = static_cast<HANDLE>(handle_);
    const DWORD error = rename_over(handle, name_, target);
    handle_ = handle != INVALID_HANDLE_VALUE ? handle : nullptr;
    if (error == 0 && handle_ != nullptr) {
        CloseHandle(handle);  // in place: no longer marked
        handle_ = nullptr;
    }
    return target_failure(target, error);
}

Failure NewFile::finish() {
    return {};
}  // flushed before, and renamed writing through

}  // namespace quadrivo
