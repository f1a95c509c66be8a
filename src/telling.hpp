// What the user is told of a file that could not be read or written: the
// cause, decided from the failed step and the system's code (and, where the
// code alone cannot tell, a look at the name), and its one line on the console.
#pragma once

#include <cstddef>

#include "console.hpp"
#include "failure.hpp"
#include "look_alike.hpp"

namespace quadrivo {

// Returns the cause that the platform's code tells of file_name: the code by
// itself, or a look at the name where it cannot tell (a link that leads
// nowhere, a working folder that is gone, a file another program holds).
Cause system_cause(const char* file_name, int code, bool writing);

// A platform's error code and the cause it tells by itself, of a file read and of one written.
struct CodeCause {
    int code;
    Cause reading;
    Cause writing;
};

// Returns the cause that table gives code; a code not in it is a system cause.
template <std::size_t N>
Cause code_cause(const CodeCause (&table)[N], int code, bool writing) {
    for (const CodeCause& row : table) {
        if (row.code == code) {
            return writing ? row.writing : row.reading;
        }
    }
    return Cause::system;
}

// Tells on standard error, in one line, that file_name could not be read
// (writing false) or written, and why: the cause decided from failure's step
// and code; beside a missing source, the file whose name looks like it.
void report_failure(Console& console, const Failure& failure, const char* file_name, bool writing);

}  // namespace quadrivo
