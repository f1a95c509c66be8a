// The policy of a new file put in place, the same on every platform: which
// way is taken follows from which step refused, and how.
#include "replacement.hpp"

#include <cstdlib>
#include <cstring>

namespace quadrivo {

namespace {

constexpr int NAME_ATTEMPTS = 100;  // names tried for a new file before giving up

// Puts ".<target>." into name (TEMP_NAME leaves room for our names). Returns its end.
char* put_prefix(char (&name)[TEMP_NAME], const char* target) {
    const std::size_t length = std::strlen(target);
    name[0] = '.';
    std::memcpy(name + 1, target, length);
    name[length + 1] = '.';
    name[length + 2] = '\0';
    return name + length + 2;
}

// Puts "<run>-<attempt>", the end of a new file's name, at at. Returns its end.
char* put_suffix(char* at, unsigned long run, unsigned long attempt) {
    at = put_number(at, run);  // whose it is, for a later run
    *at++ = '-';
    return put_number(at, attempt);
}

// Removes name, a new file ".<target>.<run>-<attempt>" (the prefix's length
// at context), when its run no longer exists: a kill left it at the one
// moment nothing can guard. Our own id is an earlier run's: we made none yet.
// Only a name exactly as this program writes it is ours to remove.
void remove_if_stale(const char* name, void* context) {
    const char* suffix = name + *static_cast<std::size_t*>(context);
    char* end = nullptr;
    const unsigned long run = std::strtoul(suffix, &end, 10);
    const unsigned long attempt = *end == '-' ? std::strtoul(end + 1, nullptr, 10) : 0;
    char ours[TEMP_NAME];
    put_suffix(ours, run, attempt);
    if (run != 0 && std::strcmp(suffix, ours) == 0 && (run == this_run() || !run_alive(run, name))) {
        remove_file(name);
    }
}

// The new file beside the target; dropped before it takes the target's place, it is closed and removed.
class NewFile {
public:
    explicit NewFile(const char* target) : target_(target) {}
    ~NewFile() {
        file_.close();
        if (named_) {
            const InterruptsHeld held;
            remove_file(name_);
            unmind(Minded::new_file);
        }
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    OpenFile& file() { return file_; }

    // Makes the file: without a name where the system can, else named.
    Failure make() {
        const Failure failure = make_nameless(file_);
        if (!failure || refusal_of(failure.code) != Refusal::unsupported) {
            return failure;
        }
        const InterruptsHeld held;
        return name_it(false);
    }

    // Puts the file in the target's place. Called with interrupts held, and
    // the target checked once more: from the check to the rename, one step.
    Failure put() {
        Failure failure = named_ ? Failure{} : name_it(true);
        if (!failure && !(failure = put_in_place(file_, name_, target_))) {
            named_ = false;  // the name is the target's now
            unmind(Minded::new_file);
        }
        return failure;
    }

private:
    // Gives the file this run's first free name, or makes a named file that
    // an ending signal removes from then on; called with interrupts held.
    Failure name_it(bool nameless) {
        Failure failure;
        int attempt = 0;
        do {  // another's file of a name is never touched: the next name is tried
            put_suffix(put_prefix(name_, target_), this_run(), static_cast<unsigned long>(attempt));
            failure = nameless ? give_name(file_, name_) : make_named(name_, file_, true);
        } while (failure && refusal_of(failure.code) == Refusal::exists && ++attempt < NAME_ATTEMPTS);
        named_ = !failure;
        FileInfo info;
        if (named_ && !nameless && !look(file_, info)) {
            mind(Minded::new_file, name_, info);
        }
        return failure;
    }

    const char* target_;
    OpenFile file_;
    bool named_ = false;
    char name_[TEMP_NAME] = "";
};

}  // namespace

Failure Replacement::file_fact(const FileInfo& info) const {
    if (info.kind == Kind::folder) {
        return fact_of(Step::look, Fact::folder);
    }
    if (info.kind == Kind::other) {
        return fact_of(Step::look, Fact::not_a_file);
    }
    if (info.kind == Kind::regular && info.read_only) {
        return fact_of(Step::look, Fact::read_only);
    }
    FileInfo source;
    if (info.kind != Kind::missing && !look(guarded_, true, source) && source.same_file(info)) {
        return fact_of(Step::look, Fact::guarded);  // hard links of one file, or a link to it
    }
    return {};
}

Failure Replacement::check_target(FileInfo& info) const {
    if (const Failure failure = look(target_, false, info)) {
        return failure;
    }
    if (info.kind == Kind::link) {
        FileInfo through;  // a link is replaced, never followed; one to the guarded file is refused
        const bool guarded_file = !look(target_, true, through) && file_fact(through).fact == Fact::guarded;
        return guarded_file ? fact_of(Step::look, Fact::guarded) : Failure{};
    }
    if (const Failure failure = file_fact(info)) {
        return failure;
    }
    return info.kind == Kind::missing ? Failure{} : probe(target_);
}

void Replacement::roll_back() {
    if (!made_) {
        return;
    }
    made_ = false;
    const InterruptsHeld held;
    FileInfo now;
    if (!look(target_, false, now) && now.same_file(made_info_) && now.size == 0) {
        remove_file(target_);  // the pass did not finish: nothing of it is left
    }
    unmind(Minded::made_target);
}

Failure Replacement::prepare() {
    char prefix[TEMP_NAME];
    std::size_t length = static_cast<std::size_t>(put_prefix(prefix, target_) - prefix);
    each_name(prefix, remove_if_stale, &length);
    {
        const InterruptsHeld held;  // the file and its removal by an ending signal, in one step
        OpenFile made;
        Failure failure = make_named(target_, made, false);
        if (!failure && !(failure = made.close())) {
            made_ = !look(target_, false, made_info_);
            if (made_) {
                mind(Minded::made_target, target_, made_info_);
            }
        }
        if (failure && (refusal_of(failure.code) != Refusal::exists || failure.step != Step::make)) {
            return failure;
        }
    }
    FileInfo info;
    Failure failure = check_target(info);
    if (!failure && info.kind == Kind::link && probe(".")) {
        // A link is replaced by a new file, never written through: the folder must take one.
        failure = fact_of(Step::probe, Fact::folder_refuses);
    }
    if (failure) {
        roll_back();  // the source was a link to this name: what was made is the source
    }
    return failure;
}

Commit Replacement::commit() {
    const SizeLimitNotFatal limit;
    FileInfo info;
    if (const Failure failure = check_target(info)) {
        return {Replaced::no, failure};
    }
    NewFile file(target_);
    Failure failure = file.make();
    if (folder_refused(failure)) {
        return rewrite_in_place();  // the folder refuses new files
    }
    if (failure || (failure = write_all(file.file(), content_)) || (failure = flush(file.file())) ||
        (failure = copy_owner(file.file(), target_))) {
        return {Replaced::no, failure};
    }
    {
        const InterruptsHeld held;
        if ((failure = check_target(info)) || (failure = file.put())) {
            return {Replaced::no, failure};
        }
        if (made_) {
            unmind(Minded::made_target);  // the new calendar has the name now: no signal removes it
            made_ = false;
        }
    }
    if (!(failure = file.file().close())) {
        failure = sync_folder();
    }
    return {failure ? Replaced::unconfirmed : Replaced::yes, failure};
}

}  // namespace quadrivo
