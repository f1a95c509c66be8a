// Why reading or writing a file failed, in words. A failure travels up as a
// value: its cause, filled in where the fact is known, and the platform's
// error code (errno, GetLastError); here it is told on the console with the
// file's name.
#pragma once

#include "console.hpp"
#include "constants.hpp"
#include "look_alike.hpp"

namespace quadrivo {

struct Failure {
    Cause cause = Cause::none;
    int code = 0;  // the platform's error code; a system cause shows it
    bool incomplete = false;  // a rewrite in place cut short: the file may be part new, part old

    explicit operator bool() const { return cause != Cause::none; }
};

// Returns the platform's code for the C library's last failed call on a file:
// errno on POSIX; on Windows the system's own code (_doserrno), which errno
// maps too coarsely to tell a held file from a forbidden one.
int last_error();

// Returns the cause that the platform's code tells by itself, for a file
// read (writing false) or written.
Cause cause_of(int code, bool writing);

// The failure of a call on a file that returned code.
inline Failure failure_of(int code, bool writing) {
    return {cause_of(code, writing), code};
}

// The failure of opening file_name, which returned code: where the code alone
// cannot tell (a missing file), a look at the name tells a link that leads
// nowhere, and a working folder that is gone.
Failure opening_failure(const char* file_name, int code, bool writing);

// Puts the working folder's full path, as characters, into folder. Returns its
// length, or -1 when the system cannot tell it (the folder was removed).
int working_folder(char32_t* folder, int capacity);

// Puts the system's description of code into text, without its final full
// stop or line end. Returns its length.
int system_description(int code, char32_t* text, int capacity);

// Tells on standard error, in one line, that file_name could not be read (or
// written) and why.
// A look-alike cause names other.
void report_failure(Console& console, Failure failure, const char* file_name, bool writing,
                    const LookAlike* other = nullptr);

}  // namespace quadrivo
