// Interrupts on Windows: Ctrl-C, Ctrl-Break and the console's close held
// while a step must not be cut in two, and, while a file is minded, a handler
// that removes it before the default handler ends the program; whether a run
// is alive.
#include <windows.h>

#include <cstring>

#include "file_primitives.hpp"
#include "wide_name_windows.hpp"

namespace quadrivo {

namespace {

constexpr int MINDED = static_cast<int>(Minded::count);

// What the console's handler must know: which files to remove. It runs on a
// thread of its own and can reach nothing else, so this one record is global.
struct Record {
    char name[MINDED][TEMP_NAME];
    FileInfo info[MINDED];
    volatile LONG held[MINDED];
    bool installed;
} g_record;

// Holds the interrupt: the program goes on.
BOOL WINAPI hold_control(DWORD) {
    return TRUE;
}

// Removes the minded files, each only if it is still the file minded; then
// the next handler, the default one, ends the program.
BOOL WINAPI remove_and_end(DWORD) {
    for (int which = 0; which < MINDED; ++which) {
        FileInfo now;
        if (g_record.held[which] && !look(g_record.name[which], false, now) && now.same_file(g_record.info[which])) {
            DeleteFileW(WideName(g_record.name[which]).text);
        }
    }
    return FALSE;
}

}  // namespace

InterruptsHeld::InterruptsHeld() {
    SetConsoleCtrlHandler(hold_control, TRUE);  // called first: the last one added
}

InterruptsHeld::~InterruptsHeld() {
    SetConsoleCtrlHandler(hold_control, FALSE);
}

SizeLimitNotFatal::SizeLimitNotFatal() = default;
SizeLimitNotFatal::~SizeLimitNotFatal() = default;

void mind(Minded minded, const char* name, const FileInfo& info) {
    const int which = static_cast<int>(minded);
    lstrcpynA(g_record.name[which], name, TEMP_NAME);
    g_record.info[which] = info;
    g_record.held[which] = 1;
    if (!g_record.installed) {
        g_record.installed = SetConsoleCtrlHandler(remove_and_end, TRUE) != FALSE;
    }
}

void unmind(Minded minded) {
    g_record.held[static_cast<int>(minded)] = 0;
    for (int which = 0; which < MINDED; ++which) {
        if (g_record.held[which]) {
            return;
        }
    }
    if (g_record.installed) {
        SetConsoleCtrlHandler(remove_and_end, FALSE);
        g_record.installed = false;
    }
}

unsigned long this_run() {
    return GetCurrentProcessId();
}

bool run_alive(unsigned long run) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(run));
    if (process == nullptr) {
        return GetLastError() != ERROR_INVALID_PARAMETER;  // access denied: another user's, alive
    }
    DWORD code = 0;
    const bool alive = !GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
    CloseHandle(process);
    return alive;
}

}  // namespace quadrivo
