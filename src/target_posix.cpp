// The calendar's name on POSIX: what may be replaced, checked by lstat, never
// through a link; never the source, by a link either way or hard links; and
// the empty file made at the format answer where none stands.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "posix_file.hpp"
#include "replacement.hpp"
#include "replacement_steps.hpp"

namespace quadrivo {

namespace {

// Tells why a link at name may not be replaced: it leads to the source, or
// replacing it needs a new file in a folder that refuses them (a link is
// never written through).
Failure link_failure(const char* name) {
    struct stat st {};
    if (stat(name, &st) == 0 && is_source(st)) {
        return {Cause::same_file, 0};
    }
    if (faccessat(AT_FDCWD, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        return {errno == EACCES ? Cause::folder_refuses : cause_of(errno, true), errno};
    }
    return {};
}

// Tells whether the source is a link that leads, through any links, to name
// in the working folder, where nothing stands yet: making name would make
// the source.
bool source_leads_to(const char* name) {
    char path[PATH_MAX];
    std::snprintf(path, sizeof path, "%s", SOURCE_FILE);
    for (int hop = 0; hop < 40; ++hop) {  // as many links as the system follows
        char target[PATH_MAX];
        const ssize_t length = readlink(path, target, sizeof target - 1);
        if (length < 0) {
            break;  // no link: path is where the links end
        }
        target[length] = '\0';
        const char* slash = std::strrchr(path, '/');
        char next[PATH_MAX];
        const int folder = target[0] == '/' || slash == nullptr ? 0 : static_cast<int>(slash - path) + 1;
        if (std::snprintf(next, sizeof next, "%.*s%s", folder, path, target) >= static_cast<int>(sizeof next)) {
            return false;
        }
        std::memcpy(path, next, sizeof path);
    }
    // Where the links end: the same folder as ours, and the same name.
    const char* slash = std::strrchr(path, '/');
    if (std::strcmp(slash != nullptr ? slash + 1 : path, name) != 0) {
        return false;
    }
    char folder[PATH_MAX];
    std::snprintf(folder, sizeof folder, "%.*s", slash != nullptr ? static_cast<int>(slash - path) + 1 : 0, path);
    struct stat there {};
    struct stat here {};
    return stat(folder[0] != '\0' ? folder : ".", &there) == 0 && stat(".", &here) == 0 &&
           there.st_dev == here.st_dev && there.st_ino == here.st_ino;
}

}  // namespace

bool is_source(const struct stat& st) {
    struct stat source {};
    return stat(SOURCE_FILE, &source) == 0 && source.st_dev == st.st_dev && source.st_ino == st.st_ino;
}

Failure file_failure(const struct stat& st) {
    if (S_ISDIR(st.st_mode)) {
        return {Cause::folder, EISDIR};
    }
    if (!S_ISREG(st.st_mode)) {
        return {Cause::not_a_file, EINVAL};
    }
    if ((st.st_mode & 0222) == 0) {
        return {Cause::read_only, EACCES};
    }
    if (is_source(st)) {
        return {Cause::same_file, 0};  // hard links of one file
    }
    return {};
}

Failure replaceable(const char* name) {
    struct stat st {};
    if (lstat(name, &st) != 0) {
        return errno == ENOENT ? Failure{} : opening_failure(name, errno, true);
    }
    if (S_ISLNK(st.st_mode)) {
        return link_failure(name);
    }
    if (const Failure failure = file_failure(st)) {
        return failure;
    }
    // Opened without following a link, without blocking, without changing it.
    const int fd = open(name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return failure_of(errno, true);
    }
    return close(fd) == 0 ? Failure{} : failure_of(errno, true);
}

Failure check_target(const char* target) {
    return replaceable(target);
}

Failure prepare_target(const char* file_name) {
    struct stat st {};
    if (lstat(file_name, &st) != 0 && errno == ENOENT && source_leads_to(file_name)) {
        return {Cause::same_file, 0};  // refused before anything is made
    }
    // O_EXCL creates nothing through a link and opens nothing that stands there already.
    const int fd = open(file_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        if (error == EEXIST) {
            return replaceable(file_name);
        }
        return error == EACCES ? Failure{Cause::folder_refuses, error} : opening_failure(file_name, error, true);
    }
    return failure_of_code(close(fd) == 0 ? 0 : errno);
}

}  // namespace quadrivo
