// The typed name as the spelling hint searches for it: folded, with its bit
// masks, and cut into pieces for a filter that rules lines out cheaply.
#pragma once

#include <cstdint>

#include "charset.hpp"
#include "constants.hpp"
#include "fold.hpp"

namespace quadrivo {

constexpr int MAX_TYPOS = 2;  // typos allowed, at most: in a name of 10 characters or more
constexpr char32_t BLANK = ' ';  // what a run of blanks folds to

inline constexpr bool is_blank(char32_t c) {
    return c == ' ' || c == '\t';
}
// Tells whether c is a space: a blank, or a space no keyboard types (a no-break space).
inline bool is_space(char32_t c) {
    return is_blank(c) || (c >= 0xA0 && !is_word_character(c) && !is_typable(c));
}

// Returns the character at bytes[i] (a Windows-1252 letter where the bytes are not UTF-8) and moves i
// past it; ASCII without a call.
inline char32_t next_character(const unsigned char* bytes, int len, int& i) {
    char32_t c = bytes[i];
    i += c < 0x80 ? 1 : decode_char(bytes + i, len - i, c);
    return c;
}

// Characters searched for bit-parallel: the bit masks of their positions, by
// the folded character; an ASCII one's also by its capital, and a blank's by
// the tab, so that plain text costs a look-up a byte.
template <typename Bits, int SIZE>
struct Masks {
    char32_t text[SIZE];  // folded
    int length = 0;
    Bits bytes[128] = {};  // by byte

    void add(char32_t c) {
        if (c < 128) {
            const Bits bit = Bits{1} << length;
            bytes[c] |= bit;
            bytes[c == BLANK ? U'\t' : c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c] |= bit;
        }
        text[length++] = c;
    }
    Bits of(char32_t c) const {
        if (c < 128) {
            return bytes[c];
        }
        Bits bits = 0;
        for (int i = 0; i < length; ++i) {
            bits |= text[i] == c ? Bits{1} << i : 0;
        }
        return bits;
    }
};

constexpr int PIECE_BITS = 64;
constexpr int WAYS = 6;  // ways of cutting the name into pieces, at most
constexpr int LONG_PIECE = 3;  // a long name is cut into typos + 2 pieces when each still has this many characters

// The typed name folded, ends trimmed and each run of blanks one blank, and
// the typos allowed for its length. For the filter, its pieces: typos + 1 of
// them, a character left out between each two, so that a near spelling holds
// one exactly (each typo, a swap of neighbours too, spoils at most one); a
// long name, typos + 2, of which a near spelling holds two, which rules out
// the lines that hold one common word of the name. The pieces can be cut in
// several ways (which of them is a character longer); a near spelling holds a
// piece of every way, so the ways that fit in PIECE_BITS are searched for at
// once, and a line must pass them all.
struct Pattern {
    Masks<std::uint32_t, NAME - 1> name;
    Masks<std::uint32_t, NAME - 1> reversed;  // the name backwards, for verifying
    std::uint32_t reversed_spaces = 0;  // the bits of its spaces
    int typos = 0;
    Masks<std::uint64_t, PIECE_BITS> pieces;  // the pieces of every way, one after another
    std::uint64_t piece_starts = 0;
    std::uint64_t way_ends[WAYS] = {};  // the last characters of each way's pieces
    int ways = 0;
    int intact = 1;  // pieces a near spelling holds exactly, at least: 2 where there are typos + 2 of them
    int shortest = 0;  // the lengths a near spelling may have: the name's, give or take its
    int longest = 0;  // typos, at most NAME - 1 before it is widened to its words
    std::uint32_t word_start_window = 0;  // bit n - 1 for each length n from shortest to longest
};

// Makes the pattern of the name's cont characters nome[0] .. nome[cont - 1];
// a name of blanks alone leaves it empty (length 0), nothing to search for.
void make_pattern(const char32_t (&nome)[NAME], int cont, Pattern& pattern);

// Tells whether the text may hold the pattern within its typos: for every way
// of cutting it, one of the pieces appears exactly in the folded text.
bool may_hold(const Pattern& pattern, const char* riga, int len);

}  // namespace quadrivo
