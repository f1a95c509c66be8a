// What the two policies of replacing a file share: the checks of the target,
// and the rewrite in place that a new file falls back to.
#pragma once

#include "file_primitives.hpp"
#include "replacement.hpp"

namespace quadrivo {

// Tells why the file info, found at the target's name, may not be rewritten:
// a folder, not a regular file, no write bit for anyone (root included), or
// the guarded file itself. A missing name is no failure.
Failure file_fact(const FileInfo& info, const char* guarded);

// Tells why target may not be replaced by a new file, or nothing when it may:
// missing, a link (not to the guarded file), or a regular file that
// file_fact accepts and that this user may write.
Failure check_target(const char* target, const char* guarded);

// Rewrites the target in place, for a folder that refuses new files: never
// through a link, locked against another run, checked again under the lock,
// the room of its new tail reserved, then the content and the length, then
// flushed; interrupts held from the reservation on.
Commit rewrite_in_place(const CalendarText& content, const char* target, const char* guarded);

}  // namespace quadrivo
