#include "scan.hpp"

#include "charset.hpp"
#include "fold.hpp"

namespace quadrivo {

namespace {

// The kinds of the ASCII characters, by byte.
struct AsciiKinds {
    std::uint8_t kind[128] = {};
    constexpr AsciiKinds() {
        for (char32_t c = 0; c < 128; ++c) {
            const bool word = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
            kind[c] = static_cast<std::uint8_t>(SHOWN | (is_blank(c) ? BLANKS : 0) |
                                                (is_control(c) && c != '\t' ? CONTROL : 0) | (word ? WORD : 0));
        }
    }
};
constexpr AsciiKinds ASCII_KINDS;

// Returns the kind of character c, which took bytes bytes.
std::uint8_t kind_of(char32_t c, int bytes) {
    if (c < 0x80) {
        return ASCII_KINDS.kind[c];
    }
    return static_cast<std::uint8_t>((to_windows_1252(c) >= 0 ? SHOWN : 0) | (bytes > 1 ? MULTIBYTE : HIGH) |
                                     (is_control(c) ? CONTROL : 0) | (is_word_character(c) ? WORD : 0));
}

// The scan, bit-parallel as agrep does: bit i of the state for d typos tells
// that the pattern's first i + 1 characters end at the current element with
// at most d typos, a letter for a blank counted as one (a few more ends than
// the verification keeps); the last elements' word starts are bits of a
// history. Everything the loop needs is in local variables: a byte stored in
// the line may alias any other memory. With STORE false, nothing is kept
// until the first end, where the scan starts again keeping everything: most
// lines that pass the filter have none.
template <int TYPOS, bool STORE>
int scan_line(const Pattern& pattern, const char* riga, int len, SpellingLine& line, int (&ends)[ROW], int& near) {
    const std::uint32_t whole = 1u << (pattern.name.length - 1);
    const std::uint32_t* by_byte = pattern.name.bytes;
    const std::uint32_t* reversed_by_byte = pattern.reversed.bytes;
    const auto* bytes = reinterpret_cast<const unsigned char*>(riga);
    std::uint8_t* begin = line.begin;
    char32_t* characters = line.characters;
    std::uint32_t* reversed = line.reversed;
    std::uint8_t* kinds = line.kinds;
    std::uint32_t now0 = 0, now1 = 1, now2 = 3;  // the first d characters missing
    std::uint32_t older0 = 0, older1 = 1;  // two characters back: for swapped neighbours
    std::uint32_t previous_mask = 0;
    bool previous_word = line.continues;
    std::uint32_t word_starts = 0;  // bit j: a word begins j elements back
    const std::uint32_t begins_near = pattern.word_start_window;
    int length = 0;
    int kept = 0;
    for (int i = 0; i < len;) {
        const int from = i;
        char32_t c = bytes[i];
        std::uint32_t mask;
        if (c < 0x80) {  // plain text: one look-up
            ++i;
            while (is_blank(c) && i < len && is_blank(bytes[i])) {
                ++i;  // a run of blanks is one element
            }
            mask = by_byte[c];
        } else {
            c = next_character(bytes, len, i);
            mask = pattern.name.of(fold(c));
        }
        if (STORE) {
            const std::uint8_t kind = kind_of(c, i - from);
            const bool word = (kind & WORD) != 0;
            characters[length] = c;
            reversed[length] = c < 0x80 ? reversed_by_byte[c] : pattern.reversed.of(fold(c));
            kinds[length] = kind;
            begin[length] = static_cast<std::uint8_t>(from);
            word_starts = (word_starts << 1) | (word && !previous_word ? 1 : 0);
            previous_word = word;
        }
        ++length;
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
                return scan_line<TYPOS, true>(pattern, riga, len, line, ends, near);
            }
            --near;
            if ((word_starts & begins_near) != 0) {
                ends[kept++] = length - 1;
            }
        }
    }
    begin[length] = static_cast<std::uint8_t>(len);
    line.bytes = bytes;
    line.length = length;
    return kept;
}

}  // namespace

int scan(const Pattern& pattern, const char* riga, int len, SpellingLine& line, int (&ends)[ROW], int& near) {
    constexpr decltype(&scan_line<0, false>) BY_TYPOS[] = {scan_line<0, false>, scan_line<1, false>,
                                                           scan_line<2, false>};
    return BY_TYPOS[pattern.typos](pattern, riga, len, line, ends, near);
}

}  // namespace quadrivo
