// The working folder's regular files on Windows: a search of its names,
// folders and devices left out. Names are UTF-16.
#include <windows.h>

#include <cwchar>

#include "careful_windows.hpp"
#include "charset.hpp"
#include "folder_files.hpp"

namespace quadrivo {

namespace {

// A search of the working folder's names that closes itself.
struct Search {
    WIN32_FIND_DATAW entry;
    HANDLE handle = FindFirstFileW(WideName("*").text, &entry);
    ~Search() {
        if (handle != INVALID_HANDLE_VALUE) {
            FindClose(handle);
        }
    }
};

}  // namespace

void list_regular_files(FolderNames& names) {
    Search search;
    for (bool more = search.handle != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search.handle, &search.entry)) {
        const WIN32_FIND_DATAW& entry = search.entry;
        char32_t name[MAX_PATH];  // cFileName holds MAX_PATH units
        const int length = from_utf16(entry.cFileName, static_cast<int>(wcslen(entry.cFileName)), name, MAX_PATH);
        if ((entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0 &&
            names.wants(name, length)) {
            names.take(name, length);
        }
    }
}

}  // namespace quadrivo
