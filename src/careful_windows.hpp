// What makes replacing a file on Windows as careful as on POSIX, shared by
// the Windows files: waiting out a brief hold (a virus scanner, the search
// indexer, a sync client), telling a held file, and the deletion mark.
#pragma once

#include <windows.h>

#include "file_primitives.hpp"

namespace quadrivo {

inline constexpr DWORD RETRY_MS = 2000;  // how long a hold that may pass is waited out
inline constexpr DWORD FIRST_PAUSE_MS = 10;
inline constexpr DWORD LAST_PAUSE_MS = 500;

inline HANDLE handle_of(const OpenFile& file) {
    return reinterpret_cast<HANDLE>(file.handle());
}

// Tells whether error, met on the file at name, may pass by itself: a sharing
// or lock violation, or access denied on an existing file that is not
// read-only (Wine refuses to replace a file anyone holds open so).
bool may_pass(DWORD error, const wchar_t* name);

// Calls step (returning 0 or a system code) until it works, for about
// RETRY_MS while its error may pass, the pauses growing from FIRST_PAUSE_MS
// to LAST_PAUSE_MS. Returns the last code.
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
// nothing meets a sharing violation, whatever the holder shares.
bool held_elsewhere(const wchar_t* name);

// Marks the open file for deletion when its last handle closes, or clears the mark.
DWORD mark_for_deletion(HANDLE handle, bool marked);

}  // namespace quadrivo
