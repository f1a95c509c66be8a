// The spellings a hint may offer, and which of them it offers.
#pragma once

#include "constants.hpp"

namespace quadrivo {

// A spelling, as characters, exactly as the file has them.
struct Spelling {
    char32_t text[NAME - 1];
    int length = 0;
};

inline constexpr int CANDIDATES = 32;  // distinct spellings kept; a better one replaces the worst

// A spelling found near the typed name.
struct Candidate {
    Spelling spelling;
    int typos;
    bool whole_words;  // starts and ends at word boundaries, somewhere it was found
    int lines;         // lines it was found in
    int last_line;     // the last of them, so that a line counts once
    int first;         // where it was first found, in file order
};

// The distinct spellings found so far, each counted once per line.
class Candidates {
public:
    // Adds a spelling found in line found.last_line, or counts it again.
    void add(const Candidate& found);

    // Returns the one to offer: the fewest typos, then whole words, then the
    // most lines, then the first in the file; nullptr when there is none.
    const Candidate* best() const;

private:
    int worst() const;

    Candidate list_[CANDIDATES];
    int count_ = 0;
};

}  // namespace quadrivo
