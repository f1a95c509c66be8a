// Replacing a calendar file whole or not at all. The new content is made in
// memory; only then is it written, in one short step, to a new file beside
// the target that takes the target's place, so that the earlier calendar
// stays whole whatever ends a pass. The one place that knows how files are
// created, synced and renamed: the policy is written once (replacement.cpp),
// each platform supplies its steps (replacement_steps.hpp).
#pragma once

#include "buffers.hpp"
#include "failure.hpp"

namespace quadrivo {

// Makes sure file_name can later be replaced, at the moment the user chooses
// it: a missing file is created empty, an existing one is left untouched. A
// symbolic link is accepted without being followed: the replacement takes its
// place. Refuses a file with no write permission at all (read-only for every
// user, root included), a file this user may not write, the source itself
// (by any link, or a link the source is to this name), a link where the
// folder refuses new files, and anything that is neither a regular file nor a
// link (a folder, a FIFO, a device), which is never opened. Returns why, or
// no failure.
Failure prepare_target(const char* file_name);

// How a commit ended: the new calendar in place or not, and why not; in place
// but not confirmed on disk (a close or a sync failed after), and why.
enum class Replaced { no, yes, unconfirmed };
struct Commit {
    Replaced replaced;
    Failure failure;
};

// The new content of one file, on the model of a lock file: held while the
// pass fills it, then committed (written and put in place in one step).
// Nothing is on disk until the commit, so dropping it uncommitted rolls back.
class Replacement {
public:
    explicit Replacement(const char* file_name) : target_(file_name) {}
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // Where the new content goes: plain text, LF line ends (Windows writes CR LF).
    CalendarText& content() { return content_; }

    // Writes the content to a new file beside the target (without a name
    // where the system can), syncs it, gives it the earlier file's owner,
    // group, permission bits and attributes, and puts it in place in one
    // step; in a folder that refuses new files, rewrites the target itself,
    // locked, once the room it needs is reserved. A target made read-only,
    // or the source, meanwhile is refused. A file size limit is an error,
    // never the end of the program. Not replaced, the earlier file is as it
    // was and no new file is left, but for a rewrite in place cut short,
    // which says so.
    Commit commit();

private:
    const char* target_;
    CalendarText content_;
};

}  // namespace quadrivo
