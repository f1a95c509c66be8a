// The policy of a rewrite in place, the same on every platform. Only a kill
// or a power cut during the rewrite itself can leave it part new, part old.
#include "replacement.hpp"

namespace quadrivo {

constexpr int LOCK_WAIT_MS = 10000;  // how long a rewrite in place waits for another run's lock
constexpr int LOCK_PAUSE_MS = 50;

Commit Replacement::rewrite_in_place() {
    FileInfo info;
    Failure failure = check_target(info);
    if (info.kind == Kind::link) {
        failure = fact_of(Step::look, Fact::folder_refuses);  // written through, a link would change another file
    }
    if (failure) {
        return {Replaced::no, failure};
    }
    OpenFile file;
    if ((failure = open_existing(target_, file))) {
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
    FileInfo named;  // checked again under the lock
    if ((failure = look(file, info)) || (failure = look(target_, false, named))) {
        return {Replaced::no, failure};
    }
    if (!named.same_file(info)) {
        return {Replaced::no, fact_of(Step::look, Fact::other_run)};  // another run replaced it meanwhile
    }
    if ((failure = file_fact(info))) {
        return {Replaced::no, failure};
    }
    const long long length = written_length(content_);
    const InterruptsHeld held;  // from the reservation, which may already lengthen the file, to the end
    if (length > info.size && (failure = reserve(file, info.size, length))) {
        return {Replaced::no, failure};
    }
    if ((failure = write_all(file, content_)) || (failure = set_length(file, length))) {
        failure.incomplete = true;  // its first bytes may be new already
        return {Replaced::no, failure};
    }
    if (!(failure = flush(file))) {
        failure = file.close();
    }
    return {failure ? Replaced::unconfirmed : Replaced::yes, failure};
}

}  // namespace quadrivo
