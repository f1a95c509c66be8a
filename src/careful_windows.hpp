// What makes the Windows files as careful as POSIX's: our names in the long
// form of their full path, a brief hold (a virus scanner, the indexer, a sync
// client) waited out, a held file told, the deletion mark.
#pragma once

#include <windows.h>

#include "file_primitives.hpp"
#include "long_path.hpp"

namespace quadrivo {

inline constexpr int WIDE_PATH = 1024;  // a working folder of 258 characters (Windows' longest), our name, the prefix

// A file name of ours as the wide calls take it, whatever MAX_PATH says.
struct WideName {
    explicit WideName(const char* name) {
        wchar_t relative[MAX_PATH];
        wchar_t full[WIDE_PATH];
        const int units = MultiByteToWideChar(CP_ACP, 0, name, -1, relative, MAX_PATH);
        const DWORD length = units > 0 ? GetFullPathNameW(relative, WIDE_PATH, full, nullptr) : 0;
        if (length == 0 || length >= WIDE_PATH || long_form(full, static_cast<int>(length), text, WIDE_PATH) < 0) {
            text[0] = L'\0';  // no file has an empty name
        }
    }
    wchar_t text[WIDE_PATH];
};

inline constexpr DWORD RETRY_MS = 2000;  // how long a hold that may pass is waited out
inline constexpr DWORD FIRST_PAUSE_MS = 10;
inline constexpr DWORD LAST_PAUSE_MS = 500;

inline HANDLE handle_of(const OpenFile& file) {
    return reinterpret_cast<HANDLE>(file.handle());
}

// Tells whether error, met on the file at name, may pass by itself: a sharing or lock violation, or
// access denied on an existing file not read-only (Wine refuses to replace a file anyone holds open so).
bool may_pass(DWORD error, const wchar_t* name);

// Calls step (returning 0 or a system code) until it works, while its error
// may pass, for about RETRY_MS, with growing pauses. Returns the last code.
template <typename Try>
DWORD retrying(const wchar_t* name, Try step) {
    DWORD error = step();
    for (DWORD waited = 0, pause = FIRST_PAUSE_MS; error != 0 && waited < RETRY_MS && may_pass(error, name);
         waited += pause, pause = pause * 2 < LAST_PAUSE_MS ? pause * 2 : LAST_PAUSE_MS) {
        Sleep(pause);
        error = step();
    }
    return error;
}

// Tells whether another program holds the file at name: an open sharing
// nothing fails so, whatever the holder shares.
bool held_elsewhere(const wchar_t* name);

// Marks the open file for deletion when its last handle closes, or clears the mark.
DWORD mark_for_deletion(HANDLE handle, bool marked);

}  // namespace quadrivo
