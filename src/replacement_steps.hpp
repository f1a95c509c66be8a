// The steps of replacing a file, which each platform supplies; the policy
// that puts them together is replacement.cpp's, the same on every platform.
#pragma once

#include <optional>

#include "buffers.hpp"
#include "failure.hpp"
#include "replacement.hpp"

#ifndef _WIN32
#include "temp_file_posix.hpp"
#endif

namespace quadrivo {

// Tells why target may not be replaced, or nothing when it may.
Failure check_target(const char* target);

// How making the new file went: the fallback follows from which step refused.
enum class Made { made, folder_refuses, unsupported, failed };

// Held for the whole commit: on POSIX, SIGXFSZ ignored, so that a file size
// limit makes a write fail instead of ending the program.
class WritingGuard {
public:
    WritingGuard();
    ~WritingGuard();
    WritingGuard(const WritingGuard&) = delete;
    WritingGuard& operator=(const WritingGuard&) = delete;

private:
#ifndef _WIN32
    struct sigaction before_ {};
#endif
};

// The new file beside the target, until it takes the target's place;
// dropped before, it is removed.
class NewFile {
public:
    NewFile() = default;
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Makes the file beside target: without a name, or named. Returns
    // unsupported where the system cannot make it so, folder_refuses where
    // the folder refuses new files, failed (with failure) otherwise.
    Made make(const char* target, bool nameless, Failure& failure);
    // Writes the content and syncs it.
    Failure write(const CalendarText& content);
    // Gives it the earlier file's owner and group (where the system allows),
    // permission bits (never set-id or sticky), attributes and access list.
    Failure take_after(const char* target);
    // Checks the target once more and puts the file in its place in one step.
    Failure put_in_place(const char* target);
    // Once in place: closes the file and syncs the folder. A failure here
    // leaves the new calendar in place, unconfirmed.
    Failure finish();

private:
#ifdef _WIN32
    void* handle_ = nullptr;  // the HANDLE, marked for deletion until it is put in place
    char name_[TEMP_NAME] = "";
#else
    int fd_ = -1;
    std::optional<TempFile> named_;  // the named fallback, removed by the ending signals
    char name_[TEMP_NAME] = "";
#endif
};

// Rewrites the target in place, for a folder that refuses new files: locked
// against another run, the room reserved first, then the content and length.
Commit rewrite_in_place(const CalendarText& content, const char* target);

}  // namespace quadrivo
