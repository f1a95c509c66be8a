// Interrupts on Windows, by one console handler, and whether a run is alive.
#include <windows.h>

#include "careful_windows.hpp"

namespace quadrivo {

namespace {

constexpr int MINDED = static_cast<int>(Minded::count);

// What the console's handler, on a thread of its own, must know, so this one record is global: which
// files to remove, and whether a step is under way (its lock, held by the main thread's nested steps).
struct Record {
    char name[MINDED][TEMP_NAME];
    FileInfo info[MINDED];
    volatile LONG held[MINDED];
    bool installed;
    SRWLOCK step = SRWLOCK_INIT;
    int steps;
} g_record;

// Waits for the step under way (the window's close too), as a blocked signal
// comes once unblocked; removes each minded file still the file minded; then
// the default handler ends the program.
BOOL WINAPI on_control(DWORD) {
    AcquireSRWLockShared(&g_record.step);
    ReleaseSRWLockShared(&g_record.step);
    for (int which = 0; which < MINDED; ++which) {
        FileInfo now;
        if (g_record.held[which] && !look(g_record.name[which], false, now) && now.same_file(g_record.info[which])) {
            DeleteFileW(WideName(g_record.name[which]).text);
        }
    }
    return FALSE;
}

// Installs the handler while a step is under way or a file is minded.
void keep_handler() {
    bool wanted = g_record.steps > 0;
    for (int which = 0; which < MINDED; ++which) {
        wanted = wanted || g_record.held[which] != 0;
    }
    if (wanted != g_record.installed && SetConsoleCtrlHandler(on_control, wanted ? TRUE : FALSE)) {
        g_record.installed = wanted;
    }
}

}  // namespace

InterruptsHeld::InterruptsHeld() {
    if (g_record.steps++ == 0) {
        AcquireSRWLockExclusive(&g_record.step);
        keep_handler();
    }
}

InterruptsHeld::~InterruptsHeld() {
    if (--g_record.steps == 0) {
        keep_handler();
        ReleaseSRWLockExclusive(&g_record.step);
    }
}

SizeLimitNotFatal::SizeLimitNotFatal() = default;
SizeLimitNotFatal::~SizeLimitNotFatal() = default;

void mind(Minded minded, const char* name, const FileInfo& info) {
    const int which = static_cast<int>(minded);
    lstrcpynA(g_record.name[which], name, TEMP_NAME);
    g_record.info[which] = info;
    g_record.held[which] = 1;
    keep_handler();
}

void unmind(Minded minded) {
    g_record.held[static_cast<int>(minded)] = 0;
    keep_handler();
}

unsigned long this_run() {
    return GetCurrentProcessId();
}

bool run_alive(unsigned long run, const char* made) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(run));
    if (process == nullptr) {
        return GetLastError() != ERROR_INVALID_PARAMETER;  // access denied: another user's, alive
    }
    DWORD code = 0;
    FILETIME times[4];  // the start, the end, the time in the kernel and in the program
    WIN32_FILE_ATTRIBUTE_DATA file;
    bool alive = !GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
    if (alive && GetProcessTimes(process, &times[0], &times[1], &times[2], &times[3]) &&
        GetFileAttributesExW(WideName(made).text, GetFileExInfoStandard, &file)) {
        alive = CompareFileTime(&times[0], &file.ftCreationTime) <= 0;  // started later: the id used again
    }
    CloseHandle(process);
    return alive;
}

}  // namespace quadrivo
