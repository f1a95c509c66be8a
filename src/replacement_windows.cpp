// Replacing a file on Windows: a new file beside the target (CREATE_NEW),
// FlushFileBuffers, then MoveFileExW over the target, written through.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "replacement.hpp"

namespace quadrivo {

namespace {

// The wide form of a file name of ours (ASCII); an empty string if it does not fit.
struct WideName {
    explicit WideName(const char* name) {
        if (MultiByteToWideChar(CP_ACP, 0, name, -1, text, TEMP_NAME) == 0) {
            text[0] = L'\0';
        }
    }
    wchar_t text[TEMP_NAME];
};

// Opens name for writing with the given disposition, sharing it as the C runtime does.
HANDLE open_for_writing(const char* name, DWORD disposition) {
    return CreateFileW(WideName(name).text, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Tells whether this user may write the existing file name, without changing it.
bool may_write(const char* name) {
    const HANDLE handle = open_for_writing(name, OPEN_EXISTING);
    return handle != INVALID_HANDLE_VALUE && CloseHandle(handle);
}

// Tells whether name is a file the user made read-only.
bool read_only(const char* name) {
    const DWORD attributes = GetFileAttributesW(WideName(name).text);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

// Returns a C stream, text mode as the calendar is written, on handle; closes it on failure.
std::FILE* stream_on(HANDLE handle) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_TEXT | _O_WRONLY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* stream = _fdopen(fd, "w");
    if (stream == nullptr) {
        _close(fd);
    }
    return stream;
}

}  // namespace

bool prepare_target(const char* file_name) {
    const DWORD attributes = GetFileAttributesW(WideName(file_name).text);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) {
            return false;
        }
        // CREATE_NEW: a file another run made meanwhile is left alone and taken as it is.
        const HANDLE handle = open_for_writing(file_name, CREATE_NEW);
        if (handle == INVALID_HANDLE_VALUE) {
            return GetLastError() == ERROR_FILE_EXISTS && may_write(file_name);
        }
        return CloseHandle(handle) != 0;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return true;  // a link: replaced, never followed
    }
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_READONLY)) == 0 &&
           may_write(file_name);
}

Replacement::Replacement(const char* file_name) : target_(file_name) {
    // A random suffix; another run's file of the same name is skipped.
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        seed = seed * 1103515245u + 12345u;
        std::snprintf(temp_, sizeof temp_, ".%s.%06lx", file_name, static_cast<unsigned long>(seed >> 8) & 0xFFFFFF);
        handle = open_for_writing(temp_, CREATE_NEW);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    if (handle == INVALID_HANDLE_VALUE) {
        const bool refused = GetLastError() == ERROR_ACCESS_DENIED;
        temp_[0] = '\0';
        // A folder that refuses new files: the file itself, if writable, as before.
        if (!refused || read_only(file_name)) {
            return;
        }
        handle = open_for_writing(file_name, TRUNCATE_EXISTING);
        if (handle == INVALID_HANDLE_VALUE) {
            return;
        }
    }
    stream_ = stream_on(handle);
    if (stream_ == nullptr) {
        rollback();
    }
}

bool Replacement::commit() {
    if (stream_ == nullptr) {
        return false;
    }
    std::FILE* stream = stream_;
    stream_ = nullptr;
    const bool in_place = temp_[0] == '\0';
    bool written = std::fflush(stream) == 0 &&
                   FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))));
    written = std::fclose(stream) == 0 && written;
    // A file made read-only since it was chosen is the user's wish: it is not replaced.
    if (!written || in_place || read_only(target_)) {
        rollback();
        return written && in_place;
    }
    if (!MoveFileExW(WideName(temp_).text, WideName(target_).text,
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        rollback();
        return false;
    }
    temp_[0] = '\0';
    return true;
}

void Replacement::rollback() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (temp_[0] != '\0') {
        DeleteFileW(WideName(temp_).text);
        temp_[0] = '\0';
    }
}

}  // namespace quadrivo
