// Why reading or writing a file failed, as a value: the step and the
// platform's code (errno, GetLastError), or a fact a policy found. What the
// user is told is decided above (telling.hpp), not here.
#pragma once

#include "constants.hpp"

namespace quadrivo {

// The step of reading or writing a file that failed.
enum class Step : unsigned char {
    none,
    open,  // opening a file to read or rewrite it
    read,
    look,  // a look at a name or an open file: its kind and identity
    probe,  // whether this user may write the file
    make,  // making a file
    name,  // naming a file made without a name
    write,
    flush,
    reserve,  // reserving the room of a longer file
    set_length,
    lock,
    copy_owner,
    put_in_place,
    close,
    sync_folder,
    remove,
};

// What a policy found by itself, where no system code tells it.
enum class Fact : unsigned char {
    code,  // the system's code tells
    folder,  // a folder stands at the name
    not_a_file,  // neither a regular file nor a link: a FIFO, a device
    read_only,  // no write permission bit for anyone, or the read-only attribute
    guarded,  // the very file the caller guards (the source), by any link
    other_run,  // another run holds it, or put another file there meanwhile
    folder_refuses,  // the folder refuses new files and the name needs one
};

struct Failure {
    Step step = Step::none;
    Fact fact = Fact::code;
    int code = 0;  // the platform's error code, where the system gave one
    bool incomplete = false;  // a rewrite in place cut short: the file may be part new, part old

    explicit operator bool() const { return step != Step::none; }
};

// The failure of a call at step that returned code; none for 0.
inline Failure failure_of(Step step, int code) {
    return code == 0 ? Failure{} : Failure{step, Fact::code, code};
}

// A fact found at step, with the code that showed it, if any.
inline Failure fact_of(Step step, Fact fact, int code = 0) {
    return {step, fact, code};
}

// The C library's last failed call's code: errno, or Windows' own (_doserrno, which tells a held file).
int last_error();

// Puts the working folder's full path into folder: its length, or -1 (the folder was removed).
int working_folder(char32_t* folder, int capacity);

// Puts the system's description of code, without a final full stop, into text: its length.
int system_description(int code, char32_t* text, int capacity);

}  // namespace quadrivo
