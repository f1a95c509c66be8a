// A file in the working folder whose name looks like the source's: what a
// hidden extension, another case or a copy makes of it (originale.txt.txt,
// Originale.TXT, originale.xlsx, originale (1).txt). The rules on names are
// here; listing the folder is the platform's (failure_posix.cpp, failure_windows.cpp).
#pragma once

#include "constants.hpp"

namespace quadrivo {

struct LookAlike {
    static constexpr int CAPACITY = 256;  // characters of the name
    char32_t name[CAPACITY];
    int length = 0;
};

// How much a name looks like the source's, the closest first.
enum class Likeness {
    stem,  // SOURCE_STEM alone or before a dot, in any case
    copy,  // a copy's name as browsers and Windows make it: originale (1).txt, originale - Copia.txt
    none,  // no look-alike; a Windows shortcut (.lnk) never is one
};

// Tells how the name of length characters looks like the source's.
Likeness likeness(const char32_t* name, int length);

// What a listing of the working folder hands its names to, as characters.
class FolderNames {
public:
    // Tells whether the name matters: only such names are looked at further.
    virtual bool wants(const char32_t* name, int length) = 0;
    // Takes a name it wanted, that of a regular file.
    virtual void take(const char32_t* name, int length) = 0;

protected:
    ~FolderNames() = default;
};

// Hands the name of every regular file in the working folder to names (a
// link counts as what it leads to). A folder that cannot be read lists nothing.
void list_regular_files(FolderNames& names);

// Finds the regular file of the working folder that looks most like the
// source: the closest likeness first, then the first in the order of the
// names' characters. Returns false when there is none.
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
