// What the user is told of a file that could not be read or written: the
// cause, decided from the failed step and the system's code (and, where the
// code alone cannot tell, a look at the name), and its one line on the
// console. Beside a missing source, a file whose name looks like it (another
// case, a hidden extension, a copy's name), listed by the platform.
#pragma once

#include <cstddef>

#include "console.hpp"
#include "failure.hpp"

namespace quadrivo {

// How much a name looks like the source's, the closest first.
enum class Likeness {
    stem,  // SOURCE_STEM alone or before a dot, in any case
    copy,  // a copy's name as browsers and Windows make it: originale (1).txt, originale - Copia.txt
    none,  // no look-alike; a Windows shortcut (.lnk) never is one
};

// Tells how the name of length characters looks like the source's.
Likeness likeness(const char32_t* name, int length);

// The name that looks most like the source's among those offered.
struct LookAlike {
    static constexpr int CAPACITY = 256;  // characters of the name
    char32_t name[CAPACITY];
    int length = 0;
    Likeness kind = Likeness::none;

    // Whether a name looks more like the source's than the one kept (the closest
    // likeness first, then the first in character order); keeping it.
    bool closer(const char32_t* other, int other_length) const;
    void keep(const char32_t* other, int other_length);
};

// Finds the regular file of the working folder that looks most like the
// source (a link counts as what it leads to), by the platform's listing.
// Returns false when there is none, or the folder cannot be read.
bool find_look_alike(LookAlike& found);

// Where Windows Explorer hides the extensions of known file types, and its
// rename box leaves the last extension out of what is typed over.
#ifdef _WIN32
inline constexpr bool EXTENSIONS_HIDDEN = true;
#else
inline constexpr bool EXTENSIONS_HIDDEN = false;
#endif

// Returns the cause of a missing source beside which found stands: a document
// to save as text, or a file to rename, told how where extensions are hidden.
Cause look_alike_cause(const LookAlike& found, bool extensions_hidden = EXTENSIONS_HIDDEN);

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
