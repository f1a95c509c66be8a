// The scan: a line cut into elements (a character, or a run of blanks), and
// the typed name's near ends found bit-parallel, as agrep does.
#include "scan.hpp"

#include <cstdint>

#include "charset.hpp"
#include "fold.hpp"

namespace quadrivo {

namespace {

// Returns the kind of an ASCII character.
constexpr std::uint8_t ascii_kind(char32_t c) {
    const bool word = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return static_cast<std::uint8_t>(SHOWN | (c == ' ' || c == '\t' ? BLANKS : 0) |
                                     (is_control(c) && c != '\t' ? CONTROL : 0) | (word ? WORD : 0));
}

// The kinds of the ASCII characters, by byte.
struct AsciiKinds {
    std::uint8_t kind[128] = {};
    constexpr AsciiKinds() {
        for (char32_t b = 0; b < 128; ++b) {
            kind[b] = ascii_kind(b);
        }
    }
};
constexpr AsciiKinds ASCII_KINDS;

// Returns the kind of character c, which took bytes bytes.
std::uint8_t kind_of(char32_t c, int bytes) {
    if (c < 0x80) {
        return ascii_kind(c);
    }
    return static_cast<std::uint8_t>((to_windows_1252(c) >= 0 ? SHOWN : 0) | (bytes > 1 ? MULTIBYTE : HIGH) |
                                     (is_control(c) ? CONTROL : 0) | (is_word_character(c) ? WORD : 0));
}

// Cuts the line into elements and finds the elements where the whole pattern
// ends with at most TYPOS typos, a letter for a blank counted as one (a few
// more ends than the verification keeps), bit-parallel as agrep does: bit i of the
// state for d typos tells that the pattern's first i + 1 characters end at the
// current element with at most d typos. Such an end is kept only where a word
// begins as many elements before it as a near spelling may have (the last
// elements' word starts are bits of a history); the others are counted.
// Everything the loop needs is in local variables: a byte stored in the line
// may alias any other memory. continues: the line's first element goes on a
// word that a cut split. With STORE false, nothing is kept nor counted: the
// scan only tells, at its first end, whether the line has one, cheaply; most
// lines that pass the filter have none.
template <int TYPOS, bool STORE>
Scanned scan_line(const Pattern& pattern, const char* riga, int len, bool continues, SpellingLine& line,
                  int (&ends)[ROW]) {
    const std::uint32_t whole = 1u << (pattern.name.length - 1);
    const std::uint32_t* by_byte = pattern.name.bytes;
    const std::uint32_t* reversed_by_byte = pattern.reversed.bytes;
    const std::uint8_t* ascii_kinds = ASCII_KINDS.kind;
    const auto* bytes = reinterpret_cast<const unsigned char*>(riga);
    std::uint8_t* begin = line.begin;
    char32_t* characters = line.characters;
    std::uint32_t* reversed = line.reversed;
    std::uint8_t* kinds = line.kinds;
    std::uint32_t now0 = 0, now1 = 1, now2 = 3;  // the first d characters missing
    std::uint32_t older0 = 0, older1 = 1;  // two characters back: for swapped neighbours
    std::uint32_t previous_mask = 0;
    bool previous_word = continues;
    std::uint32_t word_starts = 0;  // bit j: a word begins j elements back
    const std::uint32_t begins_near = pattern.word_start_window;
    int length = 0;
    Scanned found{0, 0};
    for (int i = 0; i < len;) {
        const unsigned char b = bytes[i];
        std::uint32_t mask;
        if (b < 0x80) {  // plain text: one look-up
            if (STORE) {
                characters[length] = b;
                reversed[length] = reversed_by_byte[b];
                kinds[length] = ascii_kinds[b];
                begin[length] = static_cast<std::uint8_t>(i);
                const bool word = (ascii_kinds[b] & WORD) != 0;
                word_starts = (word_starts << 1) | (word && !previous_word ? 1 : 0);
                previous_word = word;
            }
            ++length;
            ++i;
            if (b == ' ' || b == '\t') {
                while (i < len && (bytes[i] == ' ' || bytes[i] == '\t')) {
                    ++i;  // a run of blanks is one element
                }
            }
            mask = by_byte[b];
        } else {
            const int from = i;
            const char32_t c = next_character(bytes, len, i);
            const char32_t folded = fold(c);
            if (STORE) {
                characters[length] = c;
                reversed[length] = pattern.reversed.of(folded);
                kinds[length] = kind_of(c, i - from);
                begin[length] = static_cast<std::uint8_t>(from);
                const bool word = is_word_character(c);
                word_starts = (word_starts << 1) | (word && !previous_word ? 1 : 0);
                previous_word = word;
            }
            ++length;
            mask = pattern.name.of(folded);
        }
        const std::uint32_t swapped = (mask << 1) & previous_mask;
        const std::uint32_t next0 = ((now0 << 1) | 1) & mask;
        std::uint32_t next1 = 0;
        if (TYPOS >= 1) {
            next1 = (((now1 << 1) | 1) & mask) | now0 | ((now0 | next0) << 1) | 1 | (((older0 << 2) | 2) & swapped);
        }
        if (TYPOS == 2) {
            now2 = (((now2 << 1) | 1) & mask) | now1 | ((now1 | next1) << 1) | 1 | (((older1 << 2) | 2) & swapped);
        }
        older0 = now0;
        older1 = now1;
        now0 = next0;
        now1 = next1;
        previous_mask = mask;
        // A near spelling with fewer typos is one with more: the last state holds them all.
        if (((TYPOS == 0 ? now0 : TYPOS == 1 ? now1 : now2) & whole) != 0) {
            if (!STORE) {
                return {1, 0};
            }
            if ((word_starts & begins_near) == 0) {
                ++found.ignored;
            } else {
                ends[found.ends++] = length - 1;
            }
        }
    }
    begin[length] = static_cast<std::uint8_t>(len);
    line.bytes = bytes;
    line.length = length;
    line.continues = continues;
    return found;
}

template <int TYPOS>
Scanned scan_kept(const Pattern& pattern, const char* riga, int len, bool continues, SpellingLine& line,
                  int (&ends)[ROW]) {
    const Scanned any = scan_line<TYPOS, false>(pattern, riga, len, continues, line, ends);
    return any.ends != 0 ? scan_line<TYPOS, true>(pattern, riga, len, continues, line, ends) : any;
}

}  // namespace

Scanned scan(const Pattern& pattern, const char* riga, int len, bool continues, SpellingLine& line, int (&ends)[ROW]) {
    switch (pattern.typos) {
    case 2:
        return scan_kept<2>(pattern, riga, len, continues, line, ends);
    case 1:
        return scan_kept<1>(pattern, riga, len, continues, line, ends);
    default:
        return scan_kept<0>(pattern, riga, len, continues, line, ends);
    }
}

}  // namespace quadrivo
