// Replacing a calendar file whole or not at all: the new content goes to a
// temporary file beside it, which is synced and then renamed over it in one
// step. The one place that knows how files are created, synced and renamed.
#pragma once

#include <cstdio>

#include "constants.hpp"

namespace quadrivo {

// Makes sure file_name can later be replaced, at the moment the user chooses
// it: a missing file is created empty, an existing one is left untouched. A
// symbolic link is accepted without being followed: the replacement takes its
// place. Returns false for a file this user may not write, and for anything
// that is neither a regular file nor a link (a folder, a FIFO, a device),
// which is never opened.
bool prepare_target(const char* file_name);

// The new content of one file, on the model of a lock file: held while it is
// written, then committed (put in place) or rolled back (removed). Dropped
// without a commit, it rolls back.
class Replacement {
public:
    // Creates, exclusively, a temporary file beside file_name. Where the folder
    // refuses new files but file_name itself may be written, file_name is
    // emptied and written in place instead. held() tells whether either worked.
    explicit Replacement(const char* file_name);
    ~Replacement() { rollback(); }
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    bool held() const { return stream_ != nullptr; }

    // Where the new content is written (text mode, as the calendar is).
    std::FILE* stream() const { return stream_; }

    // Flushes and syncs the new content, gives it the earlier file's permission
    // bits (or the usual ones for a new file) and renames it over file_name;
    // then syncs the folder. Returns false, the temporary file removed and the
    // earlier file as it was, when any step before the rename fails.
    bool commit();

    // Removes the temporary file, leaving file_name as it was.
    void rollback();

private:
    const char* target_;
    char temp_[TEMP_NAME] = "";  // empty when writing in place
    std::FILE* stream_ = nullptr;
};

}  // namespace quadrivo
