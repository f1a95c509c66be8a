// What makes replacing a file on Windows as careful as on POSIX, each a call
// of its own that the Windows file primitives use: waiting out a brief hold
// (a virus scanner, the search indexer, a sync client), telling a held file,
// the deletion mark, the rename through the new file's own handle, and a
// write that tells its own error.
#pragma once

#include <windows.h>

namespace quadrivo {

inline constexpr DWORD RETRY_MS = 2000;  // how long a hold that may pass is waited out
inline constexpr DWORD FIRST_PAUSE_MS = 10;
inline constexpr DWORD LAST_PAUSE_MS = 500;

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

// Writes size bytes; a write that returns short is tried on, and one that
// writes nothing is an error of its own. Returns 0 or the system's code.
DWORD write_fully(HANDLE handle, const char* bytes, DWORD size);

// Marks the open file for deletion when its last handle closes, or clears the mark.
DWORD mark_for_deletion(HANDLE handle, bool marked);

// Puts the new file, open as handle and marked for deletion, in the place of
// target (a name in the working folder, as temp is): the mark cleared, then
// renamed through its own handle, replacing target (MoveFileExW by name
// where the system refuses that); the mark set again if the rename fails
// (a file renamed while marked would vanish under the target's name). Waits
// out a brief hold. Where the system refuses the rename, or the mark cannot
// be set again, closes the file (handle becomes INVALID_HANDLE_VALUE) and
// moves it by name, or removes it. Returns 0 or the system's code.
DWORD rename_over(HANDLE& handle, const char* temp, const char* target);

}  // namespace quadrivo
