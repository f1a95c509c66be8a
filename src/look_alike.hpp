// A file in the working folder whose name looks like the source's: what a
// hidden extension, another case or a copy makes of it (originale.txt.txt,
// Originale.TXT, originale.xlsx, originale (1).txt). The rules on names are
// here; listing the folder is the platform's (failure_posix.cpp, failure_windows.cpp).
#pragma once

#include "constants.hpp"

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

    // Tells whether a name looks more like the source's than the one kept: the
    // closest likeness first, then the first in the order of the characters.
    bool closer(const char32_t* other, int other_length) const;
    // Keeps a name that is closer.
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

// Returns the cause of a missing source beside which found stands: a
// document to save as text, or a file to rename, told how where extensions
// may be hidden.
Cause look_alike_cause(const LookAlike& found, bool extensions_hidden = EXTENSIONS_HIDDEN);

}  // namespace quadrivo
