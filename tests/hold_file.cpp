// Holds a file open as Excel or Word does, for the Windows tests: opens it
// with no sharing, sharing only reading, or reading and writing (never
// deleting, which a rename over it needs), writes the file "held" beside it
// once it holds it, and lets go once a file "release" appears there, removing
// "held" as it ends.
// Usage: hold_file FILE none|read|readwrite
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: hold_file FILE none|read|readwrite\n");
        return 2;
    }
    const DWORD share = std::strcmp(argv[2], "readwrite") == 0 ? FILE_SHARE_READ | FILE_SHARE_WRITE
                        : std::strcmp(argv[2], "read") == 0    ? FILE_SHARE_READ
                                                               : 0;
    const HANDLE held = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hold_file: cannot open %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    std::FILE* marker = std::fopen("held", "w");
    if (marker == nullptr || std::fclose(marker) != 0) {
        return 1;
    }
    for (int waited = 0; GetFileAttributesA("release") == INVALID_FILE_ATTRIBUTES && waited < 1200; ++waited) {
        Sleep(50);  // a minute at most
    }
    CloseHandle(held);
    return DeleteFileA("held") ? 0 : 1;  // gone: the test may go on
}
