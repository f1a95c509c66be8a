// Rewriting a file in place, for a folder that refuses new files: the same
// policy on every platform (replacement_checks.hpp). Only a kill or a power
// cut during the rewrite itself can leave it part new, part old.
#include "replacement_checks.hpp"

namespace quadrivo {

namespace {

constexpr int LOCK_WAIT_MS = 10000;  // how long a rewrite in place waits for another run's lock
constexpr int LOCK_PAUSE_MS = 50;

// Tells why the locked file may not be rewritten: its name leads to another
// file now (another run replaced it), or it may no longer be.
Failure still_the_target(const OpenFile& file, const char* target, const char* guarded) {
    FileInfo held;
    FileInfo named;
    if (const Failure failure = look(file, held)) {
        return failure;
    }
    if (const Failure failure = look(target, false, named)) {
        return failure;
    }
    if (!named.same_file(held)) {
        return fact_of(Step::look, Fact::other_run);  // replaced meanwhile: try again
    }
    return file_fact(held, guarded);
}

// The failure of a step after the first byte may have been written.
Failure cut_short(Failure failure) {
    failure.incomplete = true;
    return failure;
}

}  // namespace

Commit rewrite_in_place(const CalendarText& content, const char* target, const char* guarded) {
    FileInfo info;
    Failure failure = look(target, false, info);
    if (!failure && info.kind == Kind::link) {
        failure = fact_of(Step::look, Fact::folder_refuses);  // written through, a link would change another file
    }
    if (failure || (failure = check_target(target, guarded))) {
        return {Replaced::no, failure};
    }
    OpenFile file;
    if ((failure = open_existing(target, file))) {
        return {Replaced::no, failure};
    }
    for (int waited = 0;
         (failure = try_lock(file)) && refusal_of(failure.code) == Refusal::busy && waited < LOCK_WAIT_MS;
         waited += LOCK_PAUSE_MS) {
        pause_ms(LOCK_PAUSE_MS);
    }
    if (failure) {
        return {Replaced::no, refusal_of(failure.code) == Refusal::busy
                                  ? fact_of(Step::lock, Fact::other_run, failure.code)
                                  : failure};
    }
    if ((failure = still_the_target(file, target, guarded)) || (failure = look(file, info))) {
        return {Replaced::no, failure};
    }
    const long long length = written_length(content);
    const InterruptsHeld held;  // from the reservation, which may already lengthen the file, to the end
    if (length > info.size && (failure = reserve(file, info.size, length))) {
        return {Replaced::no, failure};
    }
    if ((failure = write_all(file, content)) || (failure = set_length(file, length))) {
        return {Replaced::no, cut_short(failure)};  // its first bytes may be new already
    }
    if (!(failure = flush(file))) {
        failure = file.close();
    }
    return {failure ? Replaced::unconfirmed : Replaced::yes, failure};
}

}  // namespace quadrivo
