// Replacing a calendar file whole or not at all, on the model of a lock
// file: held from the format answer, filled in memory by the pass, then
// committed (written to a new file beside the target that takes its place
// in one step), or rolled back. The policy is written once, here and in
// in_place.cpp; each platform supplies the primitives (file_primitives.hpp).
#pragma once

#include "buffers.hpp"
#include "failure.hpp"
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
    // target: the file's name in the working folder; guarded: a file that
    // target must never be, by any link (the source).
    Replacement(const char* target, const char* guarded) : target_(target), guarded_(guarded) {}
    // Rolls back: an empty file that prepare() made, and no commit replaced, goes.
    ~Replacement();
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // Makes sure the target can later be replaced: a missing file is created
    // empty (and removed again if the pass does not finish, an ending signal
    // included), an existing one is left untouched; an earlier run's new file
    // left beside it by a kill is removed. A symbolic link is accepted
    // without being followed: the replacement takes its place. Refuses a file
    // with no write permission at all (root included), a file this user may
    // not write, the guarded file, and anything that is neither a regular file
    // nor a link, which is never opened.
    Failure prepare();

    // Where the new content goes: plain text, LF line ends (Windows writes CR LF).
    CalendarText& content() { return content_; }

    // Writes the content to a new file beside the target (without a name
    // where the system can), flushes it, gives it the earlier file's owner,
    // group, permission bits and attributes, and puts it in place in one
    // step; in a folder that refuses new files, rewrites the target itself,
    // locked. A target made read-only, or the guarded file, meanwhile is
    // refused. Not replaced, the earlier file is as it was and no new file is
    // left, but for a rewrite in place cut short, which says so.
    Commit commit();

private:
    // Removes the empty file that prepare() made, if it is still that file.
    void roll_back();

    const char* target_;
    const char* guarded_;
    bool made_ = false;  // prepare() made the target, and no commit has replaced it yet
    FileInfo made_info_;
    CalendarText content_;
};

}  // namespace quadrivo
