// The bit-parallel scan of one line for places where the typed name nearly
// ends, and the line as the hint sees it: one element per character, a run of
// blanks one element, each known by where its bytes begin and by what it is.
#pragma once

#include "name_pattern.hpp"

namespace quadrivo {

// What an element is: bits.
inline constexpr std::uint8_t SHOWN = 1;  // Windows-1252 has it
inline constexpr std::uint8_t MULTIBYTE = 2;  // a UTF-8 sequence of two bytes or more
inline constexpr std::uint8_t HIGH = 4;  // a single byte from 0x80, read as Windows-1252
inline constexpr std::uint8_t BLANKS = 8;  // a blank, or a run of them
inline constexpr std::uint8_t CONTROL = 16;  // a control character: never typed in a name
inline constexpr std::uint8_t WORD = 32;  // a character of a word: letter, digit, mark, invisible joiner

struct SpellingLine {
    const unsigned char* bytes;
    std::uint8_t begin[ROW + 1];  // element x ends where element x + 1 begins
    char32_t characters[ROW];  // each element's character, unfolded; a blank run's first
    std::uint32_t reversed[ROW];  // each element's bits in the reversed pattern, for verifying
    std::uint8_t kinds[ROW];  // what each element is: the bits above
    int length = 0;
    int skipped = 0;  // the line's bytes before bytes: a UTF-8 mark at the file's start
    bool continues = false;  // the line goes on a word that a 200-byte cut split
    bool cut = false;  // the line is a 200-byte piece whose word may go on in the next

    bool is_word(int x) const { return (kinds[x] & WORD) != 0; }
    // Tells whether a word begins at element x; not where a cut split one.
    bool word_start(int x) const { return is_word(x) && (x == 0 ? !continues : !is_word(x - 1)); }
};

// Finds the ends of near spellings in the line riga of len bytes (its line
// end left out) and cuts the line into elements in line, whose continues, cut
// and skipped the caller sets. Returns the ends, put in ends, where a word may
// begin as many elements before as a near spelling may have; takes every near
// place, inside words or not, from near.
int scan(const Pattern& pattern, const char* riga, int len, SpellingLine& line, int (&ends)[ROW], int& near);

}  // namespace quadrivo
