// The working folder's regular files on POSIX: readdir, and stat for what a
// name leads to. Names are bytes: read as typed text is (charset.hpp).
#include <dirent.h>
#include <sys/stat.h>

#include <climits>
#include <cstring>

#include "charset.hpp"
#include "folder_files.hpp"

namespace quadrivo {

namespace {

// A folder stream that closes itself.
struct Folder {
    DIR* stream = opendir(".");
    ~Folder() {
        if (stream != nullptr) {
            closedir(stream);
        }
    }
};

}  // namespace

void list_regular_files(FolderNames& names) {
    Folder folder;
    while (folder.stream != nullptr) {
        const dirent* entry = readdir(folder.stream);
        if (entry == nullptr) {
            break;
        }
        char32_t name[NAME_MAX + 1];
        const int length = decode_name(entry->d_name, static_cast<int>(std::strlen(entry->d_name)), name, NAME_MAX + 1);
        struct stat st {};
        if (names.wants(name, length) && stat(entry->d_name, &st) == 0 && S_ISREG(st.st_mode)) {
            names.take(name, length);
        }
    }
}

}  // namespace quadrivo
