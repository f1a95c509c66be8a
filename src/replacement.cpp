// Replacing a file, the policy: the same on every platform, from the steps
// each supplies. A new file beside the target, without a name where the
// system can make one, else named; where the folder refuses new files, the
// target rewritten in place. Which way is taken follows from which step
// refused, never from an error code another step could return too.
#include "replacement.hpp"

#include "replacement_steps.hpp"

namespace quadrivo {

Commit Replacement::commit() {
    const WritingGuard writing;
    if (const Failure failure = check_target(target_)) {
        return {Replaced::no, failure};
    }
    NewFile file;
    Failure failure;
    Made made = file.make(target_, true, failure);
    if (made == Made::unsupported) {
        made = file.make(target_, false, failure);
    }
    if (made == Made::folder_refuses) {
        return rewrite_in_place(content_, target_);
    }
    if (made != Made::made) {
        return {Replaced::no, failure};
    }
    if ((failure = file.write(content_)) || (failure = file.take_after(target_)) ||
        (failure = file.put_in_place(target_))) {
        return {Replaced::no, failure};
    }
    failure = file.finish();
    return {failure ? Replaced::unconfirmed : Replaced::yes, failure};
}

}  // namespace quadrivo
