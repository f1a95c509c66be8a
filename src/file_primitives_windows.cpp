// The file primitives on Windows, the fresh GetLastError kept as the step's
// own code; the new file's own steps in careful_windows.cpp.
#include <windows.h>

#include <algorithm>

#include "careful_windows.hpp"
#include "file.hpp"
#include "file_primitives.hpp"

namespace quadrivo {

namespace {

// The failure of a call at step that returned FALSE, GetLastError telling why.
Failure unless_done(Step step, BOOL done) {
    return done ? Failure{} : failure_of(step, static_cast<int>(GetLastError()));
}

// Opens name with the access, sharing and disposition given; the handle goes to file.
Failure open_into(const char* name, DWORD access, DWORD sharing, DWORD disposition, DWORD flags, OpenFile& file,
                  Step step) {
    const WideName wide(name);
    HANDLE handle = INVALID_HANDLE_VALUE;
    const DWORD error = retrying(wide.text, [&] {
        handle = CreateFileW(wide.text, access, sharing, nullptr, disposition, flags, nullptr);
        return handle != INVALID_HANDLE_VALUE ? 0 : GetLastError();
    });
    if (error != 0) {
        return failure_of(step, static_cast<int>(error));
    }
    file.set(reinterpret_cast<std::intptr_t>(handle));
    return {};
}

constexpr DWORD SHARE_AS_C = FILE_SHARE_READ | FILE_SHARE_WRITE;  // as the C runtime shares a file
constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Fills info from file, filled by a call that returned done (GetLastError telling why it failed).
Failure fill(BOOL done, const BY_HANDLE_FILE_INFORMATION& file, bool follow, FileInfo& info) {
    if (!done) {
        return failure_of(Step::look, static_cast<int>(GetLastError()));
    }
    const DWORD attributes = file.dwFileAttributes;
    info.kind = !follow && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? Kind::link
                : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0              ? Kind::folder
                : (attributes & FILE_ATTRIBUTE_DEVICE) != 0                 ? Kind::other
                                                                            : Kind::regular;
    info.volume = file.dwVolumeSerialNumber;
    info.index = (static_cast<std::uint64_t>(file.nFileIndexHigh) << 32) | file.nFileIndexLow;
    info.size = (static_cast<long long>(file.nFileSizeHigh) << 32) | file.nFileSizeLow;
    info.read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    return {};
}

// Sets the end of the file at length; the file's offset goes there.
BOOL set_end(HANDLE handle, long long length) {
    LARGE_INTEGER at;
    at.QuadPart = length;
    return SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
}

}  // namespace

std::FILE* open_stream(const char* name, const char* mode) {
    wchar_t wide_mode[8];
    MultiByteToWideChar(CP_ACP, 0, mode, -1, wide_mode, 8);
    return _wfopen(WideName(name).text, wide_mode);
}

Refusal refusal_of(int code) {
    constexpr struct {
        DWORD code;
        Refusal refusal;
    } REFUSALS[] = {{ERROR_FILE_NOT_FOUND, Refusal::missing}, {ERROR_PATH_NOT_FOUND, Refusal::missing},
                    {ERROR_FILE_EXISTS, Refusal::exists},     {ERROR_ALREADY_EXISTS, Refusal::exists},
                    {ERROR_ACCESS_DENIED, Refusal::denied},   {ERROR_NOT_SUPPORTED, Refusal::unsupported},
                    {ERROR_SHARING_VIOLATION, Refusal::busy}, {ERROR_LOCK_VIOLATION, Refusal::busy}};
    for (const auto& refusal : REFUSALS) {
        if (refusal.code == static_cast<DWORD>(code)) {
            return refusal.refusal;
        }
    }
    return Refusal::other;
}

Failure look(const char* name, bool follow, FileInfo& info) {
    info = FileInfo{};
    const WideName wide(name);
    const DWORD attributes = GetFileAttributesW(wide.text);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return refusal_of(static_cast<int>(error)) == Refusal::missing
                   ? Failure{}
                   : failure_of(Step::look, static_cast<int>(error));
    }
    OpenFile opened;
    opened.set(reinterpret_cast<std::intptr_t>(
        CreateFileW(wide.text, 0, SHARE_ALL, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr)));
    BY_HANDLE_FILE_INFORMATION file{};
    file.dwFileAttributes = attributes;  // and no identity, never the same file as another, unless identified
    const bool identified = opened.handle() != OpenFile::CLOSED && GetFileInformationByHandle(handle_of(opened), &file);
    if (!identified && follow && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return {};  // a link that leads nowhere: nothing there
    }
    return fill(TRUE, file, follow, info);
}

Failure look(const OpenFile& file, FileInfo& info) {
    BY_HANDLE_FILE_INFORMATION data{};
    return fill(GetFileInformationByHandle(handle_of(file), &data), data, true, info);
}

Failure OpenFile::close() {
    const HANDLE handle = reinterpret_cast<HANDLE>(handle_);
    handle_ = CLOSED;
    return handle == INVALID_HANDLE_VALUE ? Failure{} : unless_done(Step::close, CloseHandle(handle));
}

Failure probe(const char* name) {
    if (name[0] == '.' && name[1] == '\0') {
        return {};  // a folder that refuses new files says so when one is made
    }
    OpenFile file;
    const Failure failure = open_into(name, GENERIC_WRITE, SHARE_AS_C, OPEN_EXISTING, 0, file, Step::probe);
    return failure ? failure : file.close();
}

Failure open_existing(const char* name, OpenFile& file) {
    // Shared for reading and writing: another run is told by the lock, not by a sharing violation.
    return open_into(name, GENERIC_READ | GENERIC_WRITE, SHARE_AS_C, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, file,
                     Step::open);
}

Failure make_nameless(OpenFile&) {
    return failure_of(Step::make, ERROR_NOT_SUPPORTED);
}

Failure give_name(OpenFile&, const char*) {
    return failure_of(Step::name, ERROR_NOT_SUPPORTED);
}

Failure make_named(const char* name, OpenFile& file, bool marked) {
    constexpr DWORD NEW_FILE = GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC | WRITE_OWNER;
    if (const Failure failure = open_into(name, marked ? NEW_FILE : GENERIC_WRITE, SHARE_AS_C, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, file, Step::make)) {
        return failure;
    }
    if (const DWORD error = marked ? mark_for_deletion(handle_of(file), true) : 0) {
        file.close();
        DeleteFileW(WideName(name).text);  // never left behind unmarked
        return failure_of(Step::make, static_cast<int>(error));
    }
    return {};
}

long long written_length(const CalendarText& content) {
    const char* end = content.data() + content.size();
    return static_cast<long long>(content.size()) + std::count(content.data(), end, '\n');  // and a CR each
}

Failure flush(OpenFile& file) {
    return unless_done(Step::flush, FlushFileBuffers(handle_of(file)));
}

Failure reserve(OpenFile& file, long long size, long long length) {
    const HANDLE handle = handle_of(file);
    if (!set_end(handle, length)) {
        const Failure failure = failure_of(Step::reserve, static_cast<int>(GetLastError()));
        set_end(handle, size);  // cut back as far as it goes: the reservation's own error is told
        return failure;
    }
    return unless_done(Step::reserve, SetFilePointerEx(handle, LARGE_INTEGER{}, nullptr, FILE_BEGIN));
}

Failure set_length(OpenFile& file, long long length) {
    return unless_done(Step::set_length, set_end(handle_of(file), length));
}

Failure try_lock(OpenFile& file) {
    OVERLAPPED whole{};
    return unless_done(Step::lock, LockFileEx(handle_of(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                                              MAXDWORD, MAXDWORD, &whole));
}

Failure remove_file(const char* name) {
    return unless_done(Step::remove, DeleteFileW(WideName(name).text));
}

Failure sync_folder() {
    return {};  // the renamed file was flushed again, or moved by name writing through
}

void each_name(const char* prefix, void (*visit)(const char* name, void* context), void* context) {
    char pattern[TEMP_NAME + 2];
    lstrcpynA(pattern, prefix, TEMP_NAME);
    lstrcatA(pattern, "*");
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW(WideName(pattern).text, &entry);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &entry)) {
        char name[MAX_PATH];
        if (WideCharToMultiByte(CP_ACP, 0, entry.cFileName, -1, name, MAX_PATH, nullptr, nullptr) > 0) {
            visit(name, context);
        }
    }
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
    }
}

void pause_ms(int ms) {
    Sleep(static_cast<DWORD>(ms));
}

}  // namespace quadrivo
