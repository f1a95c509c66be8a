// The bit-parallel scan of one line for places where the typed name nearly
// ends: the line cut into elements as the hint sees it.
#pragma once

#include "name_pattern.hpp"
#include "spelling_line.hpp"

namespace quadrivo {

// What a scan of one line found.
struct Scanned {
    int ends;  // near places that may begin a word, put in ends
    int ignored;  // near places that cannot: inside words
};

// Finds the ends of near spellings in the line riga of len bytes (its line
// end left out), where a word may begin as many elements before as a near
// spelling may have, and cuts the line into elements in line. continues: the
// line's first element goes on a word that a 200-byte cut split. The line is
// scanned first without keeping anything, to its first end: most lines that
// pass the filter hold no near spelling.
Scanned scan(const Pattern& pattern, const char* riga, int len, bool continues, SpellingLine& line, int (&ends)[ROW]);

}  // namespace quadrivo
