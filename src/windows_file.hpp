// What the Windows steps of replacing a file share: a handle that closes
// itself, writes with CR LF line ends, and the checks of the target: what
// may be replaced, and what is the source.
#pragma once

#include <windows.h>

#include "buffers.hpp"
#include "careful_windows.hpp"
#include "failure.hpp"
#include "wide_name_windows.hpp"

namespace quadrivo {

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
inline HANDLE open_for_writing(const char* name, DWORD access, DWORD disposition) {
    return CreateFileW(WideName(name).text, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Returns the content's length once its line ends are CR LF.
inline LONGLONG written_length(const CalendarText& content) {
    LONGLONG length = static_cast<LONGLONG>(content.size());
    for (std::size_t i = 0; i < content.size(); ++i) {
        length += content.data()[i] == '\n' ? 1 : 0;
    }
    return length;
}

// Writes the content with CR LF line ends, as a text-mode stream would, a
// buffer's worth at a time; then flushes it to the disk.
inline DWORD write_all(HANDLE handle, const CalendarText& content) {
    char chunk[BLOCK];
    std::size_t used = 0;
    for (std::size_t i = 0; i <= content.size(); ++i) {
        if (used + 2 > sizeof chunk || (i == content.size() && used > 0)) {
            if (const DWORD error = write_fully(handle, chunk, static_cast<DWORD>(used))) {
                return error;
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
inline bool set_end(HANDLE handle, LONGLONG length) {
    LARGE_INTEGER at;
    at.QuadPart = length;
    return SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
}

// The failure of a step on the target that returned code.
Failure target_failure(const char* target, DWORD code);

// Tells whether the file at name is the source's: the same volume and file index.
bool is_source(const char* name);

// Tells why name may not be replaced, or nothing when it may: missing, a
// link, or a file without the read-only attribute that this user may write
// and that is not the source.
Failure replaceable(const char* name);

}  // namespace quadrivo
