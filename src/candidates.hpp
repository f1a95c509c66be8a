// The spellings a hint may offer, and which of them it offers: whole words of
// a line, never a piece of one.
#pragma once

#include "buffers.hpp"
#include "scan.hpp"

namespace quadrivo {

// A spelling, as characters, exactly as the file has them.
struct Spelling {
    char32_t text[NAME - 1];
    int length = 0;
};

inline constexpr int CANDIDATES = 32;  // distinct spellings kept; a better one replaces the worst

// Whole words of a line found near the typed name.
struct Candidate {
    Spelling spelling;  // the whole words, or their first NAME - 1 characters when longer
    int characters;  // of the whole words
    int typos;  // the fewest of the parts that gave them
    int lines = 1;  // lines they were found in
    int last_line;  // the last of them, so that a line counts once
    int line;  // where they stand: the line read, its bytes begin to end
    int begin;
    int end;
    int word_ends = 0;  // the word ends within the first NAME - 1 characters that may be offered:
    std::uint8_t end_bytes[NAME];  // each one's bytes from begin
    std::uint8_t end_characters[NAME];  // and characters
};

// The distinct spellings found so far, each counted once per line.
class Candidates {
public:
    explicit Candidates(const ReadLines& read) : read_(read) {}

    // Offers the part of line m (read.line(m), cut into elements as line)
    // from element s to element t, within typos of the name: it must begin a
    // word, and is widened to the end of the word it ends in (or, ending on a
    // blank or a mark, cut back to the last word end before it); a word that
    // a 200-byte cut splits is none. Adds the words, or counts them again.
    // Returns false when they cannot be offered. Adds the characters read to
    // work. Parts come in line order, t never smaller than the last part's.
    bool offer(const SpellingLine& line, int m, int s, int t, int typos, bool any_character, long& work);

    // Puts the best words into found; words longer than NAME - 1 characters
    // give the longest run of their first words that selects the same lines of
    // those read as they do, or no hint. Returns false when there is none.
    // Adds the bytes searched to work.
    bool best(Spelling& found, long& work) const;

private:
    // Adds the words, or counts them again. Returns their index in list_, or
    // -1 when they rank below every kept one and there is no room.
    int add(const Candidate& found);

    const ReadLines& read_;
    Candidate list_[CANDIDATES];
    int count_ = 0;
    // The last word end found in a line, so that each line's words are read once.
    int ends_line_ = -1;
    int ends_at_ = -1;
    // The last words offered, so that parts widened to the same words are spelled once.
    int offered_line_ = -1;
    int offered_from_ = -1;
    int offered_to_ = -1;
    int offered_ = -1;  // their index in list_, or -1 when they could not be offered
};

}  // namespace quadrivo
