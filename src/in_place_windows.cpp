// Rewriting a file in place on Windows, for a folder that refuses new files:
// opened without sharing writes, so that a second run waits for the first,
// checked again, extended to the new length, then the content and the
// length, Ctrl-C and Ctrl-Break held from the extension on.
#include <windows.h>

#include "careful_windows.hpp"
#include "replacement.hpp"
#include "replacement_steps.hpp"
#include "windows_file.hpp"

namespace quadrivo {

namespace {

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

}  // namespace

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
                              : is_source(target)                   ? Failure{Cause::same_file, 0}
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

}  // namespace quadrivo
