// Why reading or writing a file failed, in words. A failure travels up as the
// platform's error code (errno, GetLastError); here it becomes one of the
// causes in constants.hpp, refined by a look at the file where one code
// covers several, and is told on the console with the file's name.
#pragma once

#include "console.hpp"
#include "constants.hpp"

namespace quadrivo {

// Returns the platform's code for the C library's last failed call on a file:
// errno on POSIX; on Windows the system's own code (_doserrno), which errno
// maps too coarsely to tell a held file from a forbidden one.
int last_error();

// Returns the cause of error on file_name, read (writing false) or written.
Cause cause_of(int error, const char* file_name, bool writing);

// Puts the working folder's full path, as characters, into folder. Returns its
// length, or -1 when the system cannot tell it (the folder was removed).
int working_folder(char32_t* folder, int capacity);

// Puts the system's description of error into text, without its final full
// stop or line end. Returns its length.
int system_description(int error, char32_t* text, int capacity);

// Tells on standard error, in one line, that file_name could not be read (or
// written) and why.
void report_failure(Console& console, int error, const char* file_name, bool writing);

}  // namespace quadrivo
