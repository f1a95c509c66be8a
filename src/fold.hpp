// Letters compared without case and without diacritics, by Unicode's own data
// (tools/make-fold-table writes the table from UnicodeData.txt).
#pragma once

#include <algorithm>

namespace quadrivo {

inline constexpr int FOLD_TABLE_SIZE = 0x250;  // U+0000 to U+024F: Latin, with every accent a calendar holds
inline constexpr char16_t WORD_CHARACTER = 0x8000;  // the entry's flag for a letter, mark or digit
extern const char16_t FOLD_TABLE[FOLD_TABLE_SIZE];
// The characters a keyboard does not type, as ranges first to last in order:
// combining marks, spaces other than U+0020, the soft hyphen, zero-width characters.
extern const char32_t UNTYPABLE[][2];
extern const int UNTYPABLE_RANGES;

// Returns c in lower case and without its diacritics (U+00DC and U+00FC are u,
// U+0141 is U+0142); a character beyond the table is itself.
inline char32_t fold(char32_t c) {
    return c < FOLD_TABLE_SIZE ? static_cast<char32_t>(FOLD_TABLE[c] & ~WORD_CHARACTER) : c;
}

// Tells whether c belongs to a word: a letter, a mark, a digit, or an
// invisible character a word may hold (the soft hyphen, the zero-width space,
// non-joiner and joiner, the word joiner). Beyond the table, the punctuation,
// symbols and shapes of U+2000 to U+2BFF and U+3000 to U+303F are not; other
// characters, mostly letters of other scripts, are.
inline bool is_word_character(char32_t c) {
    if (c < FOLD_TABLE_SIZE) {
        return (FOLD_TABLE[c] & WORD_CHARACTER) != 0 || c == 0x00AD;
    }
    return (c >= 0x200B && c <= 0x200D) || c == 0x2060 ||
           !((c >= 0x2000 && c <= 0x2BFF) || (c >= 0x3000 && c <= 0x303F));
}

// Tells whether c can be typed on a keyboard: none of the UNTYPABLE.
inline bool is_typable(char32_t c) {
    const auto* end = UNTYPABLE + UNTYPABLE_RANGES;
    const auto* range = std::partition_point(UNTYPABLE, end, [c](const char32_t(&r)[2]) { return r[1] < c; });
    return c < 0xA0 || range == end || c < (*range)[0];
}

}  // namespace quadrivo
