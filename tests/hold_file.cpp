// Holds a file open as Excel, Word, a virus scanner or a sync client does,
// for the Windows tests: opens it for reading and writing with no sharing,
// sharing only reading, reading and writing, or reading, writing and
// deleting; writes its process id to the file "held" beside it once it
// holds it, and lets go after the given milliseconds, or else once a file
// "release" appears there (a minute at most), removing "held" as it ends.
// Usage: hold_file FILE none|read|readwrite|readwritedelete [MILLISECONDS]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: hold_file FILE none|read|readwrite|readwritedelete [MILLISECONDS]\n");
        return 2;
    }
    const DWORD share = std::strcmp(argv[2], "readwritedelete") == 0
                            ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                        : std::strcmp(argv[2], "readwrite") == 0 ? FILE_SHARE_READ | FILE_SHARE_WRITE
                        : std::strcmp(argv[2], "read") == 0      ? FILE_SHARE_READ
                                                                 : 0;
    const HANDLE held = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hold_file: cannot open %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    std::FILE* marker = std::fopen("held", "w");
    if (marker == nullptr || std::fprintf(marker, "%lu", GetCurrentProcessId()) < 0 || std::fclose(marker) != 0) {
        return 1;
    }
    if (argc == 4) {
        Sleep(static_cast<DWORD>(std::atoi(argv[3])));
    }
    for (int waited = 0; argc == 3 && GetFileAttributesA("release") == INVALID_FILE_ATTRIBUTES && waited < 1200;
         ++waited) {
        Sleep(50);
    }
    CloseHandle(held);
    return DeleteFileA("held") ? 0 : 1;  // gone: the test may go on
}
