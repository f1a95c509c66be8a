// Replacing a file whole or not at all, on the model of a lock file: held
// from the format answer, filled in memory by the pass, then committed or
// rolled back. Written once, from each platform's primitives.
#pragma once

#include "file_primitives.hpp"

namespace quadrivo {

// How a commit ended: the new calendar in place or not, and why not; in place
// but not confirmed on disk (a close, a flush or a sync failed after), and why.
enum class Replaced { no, yes, unconfirmed };
struct Commit {
    Replaced replaced;
    Failure failure;
};

class Replacement {
public:
    // target: a name in the working folder; guarded: a file that target must
    // never be, by any link.
    Replacement(const char* target, const char* guarded) : target_(target), guarded_(guarded) {}
    // Rolls back: an empty file that prepare() made, and no commit replaced, goes.
    ~Replacement() { roll_back(); }
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // Makes sure the target can later be replaced: a missing one is made
    // empty (removed again if the pass does not finish, an ending signal
    // included); a dead run's new file beside it is removed. A link is
    // accepted, never followed. Refuses what file_fact and check_target refuse.
    Failure prepare();

    // Where the new content goes: plain text, LF line ends (Windows writes CR LF).
    CalendarText& content() { return content_; }

    // Writes the content to a new file beside the target, flushed, with the
    // earlier file's owner, permissions and attributes, and puts it in place
    // in one step; where the folder refuses new files, rewrites the target,
    // locked. The target is checked again. Not replaced, the earlier file is
    // as it was and nothing is left, but for a rewrite in place cut short.
    Commit commit();

private:
    void roll_back();

    // Tells why the file info, found at the target's name, may not be
    // rewritten: a folder, not a file, no write bit for anyone, the guarded file.
    Failure file_fact(const FileInfo& info) const;

    // Tells why the target may not be replaced by a new file: nothing for a
    // missing name, a link not to the guarded file, or a file that
    // file_fact accepts and this user may write. What stands there goes to info.
    Failure check_target(FileInfo& info) const;

    // Rewrites the target in place, for a folder that refuses new files
    // (in_place.cpp): never through a link, locked against another run,
    // checked again under the lock, its new tail's room reserved first.
    Commit rewrite_in_place();

    const char* target_;
    const char* guarded_;
    bool made_ = false;  // prepare() made the target, and no commit has replaced it yet
    FileInfo made_info_;
    CalendarText content_;
};

}  // namespace quadrivo
