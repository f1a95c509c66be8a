#include "spelling.hpp"

#include <algorithm>
#include <cstdint>

#include "charset.hpp"
#include "fold.hpp"
#include "name_pattern.hpp"

namespace quadrivo {

namespace {

// The end positions verified in one pass, at most, skipped ones included:
// each costs one distance computation of at most NAME + MAX_TYPOS columns,
// and the spelling of at most NAME - 1 characters for each length it allows,
// so the verification's work is bounded by a constant whatever the lines
// hold; the filter and the scan before it cost a few steps a byte. So a
// pass's hint costs at most a constant plus a constant times the bytes read.
// Past the cap the best spelling found so far is offered: the hint is a help,
// not a promise; the real calendars need at most 35.
constexpr int VERIFIED = 40;

// What a character is, for offering it in a spelling: bits.
constexpr std::uint8_t SHOWN = 1;      // Windows-1252 has it
constexpr std::uint8_t MULTIBYTE = 2;  // a UTF-8 sequence of two bytes or more
constexpr std::uint8_t HIGH = 4;       // a single byte from 0x80, read as Windows-1252
constexpr std::uint8_t BLANKS = 8;     // a blank, or a run of them
constexpr std::uint8_t CONTROL = 16;   // a control character: never typed in a name

// Returns the kind of an ASCII character.
constexpr std::uint8_t ascii_kind(char32_t c) {
    return static_cast<std::uint8_t>(SHOWN | (c == ' ' || c == '\t' ? BLANKS : 0) |
                                     ((c < 0x20 && c != '\t') || c == 0x7F ? CONTROL : 0));
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
                                     (is_control(c) ? CONTROL : 0));
}

// A line as the search sees it: one element per character, a run of blanks
// one element; each element is known by where its bytes begin, and element x
// ends where element x + 1 begins.
struct Line {
    const unsigned char* bytes;
    std::uint8_t begin[ROW + 1];
    char32_t characters[ROW];       // each element's character, unfolded; a blank run's first
    std::uint32_t reversed[ROW];    // each element's bits in the reversed pattern, for verifying
    std::uint8_t kinds[ROW];        // what each element is, for offering it: the bits below
    int length = 0;

    // Returns the character (unfolded) of element x.
    char32_t character(int x) const { return characters[x]; }
    // Tells whether elements s to t stand as whole words: word characters at both ends, none beside.
    bool whole_words(int s, int t) const {
        return is_word_character(character(s)) && is_word_character(character(t)) &&
               (s == 0 || !is_word_character(character(s - 1))) &&
               (t + 1 == length || !is_word_character(character(t + 1)));
    }
};

// Cuts the line into elements and finds the elements where the whole pattern
// ends with at most TYPOS typos, bit-parallel as agrep does: bit i of the
// state for d typos tells that the pattern's first i + 1 characters end at the
// current element with at most d typos. Everything the loop needs is in local
// variables: a byte stored in the line may alias any other memory. Returns the
// count of end positions put in ends.
template <int TYPOS>
int scan_line(const Pattern& pattern, const char* riga, int len, Line& line, int (&ends)[ROW]) {
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
    std::uint32_t older0 = 0, older1 = 1;         // two characters back: for swapped neighbours
    std::uint32_t previous_mask = 0;
    int length = 0;
    int found = 0;
    for (int i = 0; i < len;) {
        const unsigned char b = bytes[i];
        std::uint32_t mask;
        if (b < 0x80) {  // plain text: one look-up
            if ((b == ' ' || b == '\t') && i > 0 && (bytes[i - 1] == ' ' || bytes[i - 1] == '\t')) {
                ++i;
                continue;  // a run of blanks is one
            }
            characters[length] = b;
            reversed[length] = reversed_by_byte[b];
            kinds[length] = ascii_kinds[b];
            begin[length++] = static_cast<std::uint8_t>(i++);
            mask = by_byte[b];
        } else {
            const int from = i;
            const char32_t c = next_character(bytes, len, i);
            const char32_t folded = fold(c);
            characters[length] = c;
            reversed[length] = pattern.reversed.of(folded);
            kinds[length] = kind_of(c, i - from);
            begin[length++] = static_cast<std::uint8_t>(from);
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
            ends[found++] = length - 1;
        }
    }
    begin[length] = static_cast<std::uint8_t>(len);
    line.bytes = bytes;
    line.length = length;
    return found;
}

// The spelling of elements s to t, as the file has it (a run of blanks as
// its blanks). Returns false when it may not be offered: too long, a control
// character (a tab among blanks too), a character the console cannot show,
// or UTF-8 and single high bytes mixed (typed, the name is searched for in
// one encoding at a time). Adds the characters taken to work.
bool spelling_of(const Line& line, int s, int t, bool any_character, Spelling& spelling, long& work) {
    std::uint8_t kinds = 0;       // what any element is
    std::uint8_t every = 0xFF;    // what every element is
    spelling.length = 0;
    for (int x = s; x <= t; ++x) {
        const std::uint8_t kind = line.kinds[x];
        kinds |= kind;
        every &= kind;
        if ((kind & BLANKS) == 0) {
            if (spelling.length == NAME - 1) {
                return false;
            }
            spelling.text[spelling.length++] = line.characters[x];
            continue;
        }
        for (int b = line.begin[x]; b < line.begin[x + 1]; ++b) {
            if (spelling.length == NAME - 1 || line.bytes[b] != ' ') {
                return false;  // too long, or a tab: neither can be typed in a name
            }
            spelling.text[spelling.length++] = ' ';
        }
    }
    work += spelling.length;
    return (kinds & CONTROL) == 0 && (any_character || (every & SHOWN) != 0) &&
           (kinds & (MULTIBYTE | HIGH)) != (MULTIBYTE | HIGH);
}

// Puts into typos[n] the optimal string alignment distance (letters wrong,
// missing, extra, or neighbours swapped) between the pattern and the n
// elements that end at element t, for every n within the pattern's typos of
// its length. The window is read backwards against the reversed pattern, so
// that each window length is one more column of one table, computed a column
// at a time with bit vectors (Myers, with Hyyro's term for swapped
// neighbours): the score of a column is the distance for that length. Adds
// the columns computed to work.
void distances(const Pattern& pattern, const Line& line, int t, int (&typos)[NAME + MAX_TYPOS + 1], long& work) {
    const int m = pattern.name.length;
    const int k = pattern.typos;
    const int columns = m + k < t + 1 ? m + k : t + 1;  // the window's elements, at most
    const std::uint32_t all = m == 32 ? ~0u : (1u << m) - 1;
    const std::uint32_t last = 1u << (m - 1);
    std::uint32_t plus = all;   // vertical differences of +1, the first column 0, 1, 2 ...
    std::uint32_t minus = 0;    // vertical differences of -1
    std::uint32_t same = 0;     // diagonal differences of 0, the column before
    std::uint32_t previous = 0;  // the element's mask, the column before
    int score = m;
    for (int n = 0; n <= m + k; ++n) {
        typos[n] = k + 1;
    }
    for (int n = 1; n <= columns; ++n) {
        const std::uint32_t mask = line.reversed[t - n + 1];
        const std::uint32_t swapped = ((~same & mask) << 1) & previous;
        same = (((mask & plus) + plus) ^ plus) | mask | minus | swapped;
        std::uint32_t right_plus = minus | ~(same | plus);
        std::uint32_t right_minus = plus & same;
        score += (right_plus & last) != 0 ? 1 : (right_minus & last) != 0 ? -1 : 0;
        right_plus = (right_plus << 1) | 1;  // the first row grows by one a column
        right_minus <<= 1;
        plus = (right_minus | ~(same | right_plus)) & all;
        minus = right_plus & same;
        previous = mask;
        if (n >= m - k) {
            typos[n] = score;
        }
        ++work;
    }
}

// Adds the spellings nearest the pattern that end at element t of line m, of
// at most NAME - 1 elements (a longer one can never be offered): those with
// the fewest typos that may be offered. One with more typos, ending at the
// same element, could never be offered before them, so it is not looked at.
void collect(const Pattern& pattern, const Line& line, int m, int t, bool any_character, Candidates& candidates,
             long& work) {
    int typos[NAME + MAX_TYPOS + 1];
    distances(pattern, line, t, typos, work);
    const int shortest = std::max(1, pattern.name.length - pattern.typos);
    const int longest = std::min(pattern.name.length + pattern.typos, NAME - 1);
    bool added = false;
    for (int allowed = 0; allowed <= pattern.typos && !added; ++allowed) {
        for (int n = shortest; n <= longest; ++n) {
            Candidate found{};
            found.typos = typos[n];
            if (found.typos != allowed || !spelling_of(line, t - n + 1, t, any_character, found.spelling, work)) {
                continue;
            }
            found.whole_words = line.whole_words(t - n + 1, t);
            found.lines = 1;
            found.last_line = m;
            found.first = m * ROW + t - n + 1;
            candidates.add(found);
            added = true;
        }
    }
}

}  // namespace

bool find_spelling(const ReadLines& read, const char32_t (&nome)[NAME], int cont, bool any_character,
                   Spelling& found, long* work) {
    Pattern pattern;
    make_pattern(nome, cont, pattern);
    if (pattern.name.length == 0) {
        return false;
    }
    Candidates candidates;
    Line line;
    int ends[ROW];
    long done = 0;
    int left = VERIFIED;
    for (int m = 0; m < read.count() && left > 0; ++m) {
        const std::string_view riga = read.line(m);
        const int len = static_cast<int>(riga.size()) - (riga.back() == '\n' ? 1 : 0);
        if (!may_hold(pattern, riga.data(), len)) {
            continue;
        }
        const int count = pattern.typos == 2   ? scan_line<2>(pattern, riga.data(), len, line, ends)
                          : pattern.typos == 1 ? scan_line<1>(pattern, riga.data(), len, line, ends)
                                               : scan_line<0>(pattern, riga.data(), len, line, ends);
        for (int e = 0; e < count && left > 0; ++e, --left) {
            collect(pattern, line, m, ends[e], any_character, candidates, done);
        }
    }
    if (work != nullptr) {
        *work += done;
    }
    const Candidate* best = candidates.best();
    if (best != nullptr) {
        found = best->spelling;
    }
    return best != nullptr;
}

}  // namespace quadrivo
