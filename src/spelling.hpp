// The name as the calendar spells it: after a pass that selected nothing, the
// spelling nearest to the typed name among the lines the pass read.
#pragma once

#include "candidates.hpp"

namespace quadrivo {

// Looks in the lines a pass read for the name written differently: letters
// without case or diacritics, each run of blanks one blank, end blanks
// ignored; then with one typo for a name of 5 to 9 characters, two from 10 on
// (a letter wrong, missing, extra, or two neighbours swapped; a letter for a
// blank, or a blank swapped with a letter, two). Of the spellings found, all
// whole words, it takes the one with the fewest typos, then the one in the
// most lines, then the first. A spelling is offered only when typed it selects
// lines: at most NAME - 1 characters, no control character, all of one
// encoding, and all in Windows-1252 unless any_character. Its work is bounded
// whatever the lines hold (see VERIFIED); work, when given, is increased by
// the distance cells and characters it verified. Returns false when no
// spelling is near.
bool find_spelling(const ReadLines& read, const char32_t (&nome)[NAME], int cont, bool any_character, Spelling& found,
                   long* work = nullptr);

}  // namespace quadrivo
