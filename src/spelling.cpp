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

// The near places found in one pass, at most, inside words or not: a file
// where the name nearly stands everywhere (a line of one letter) stops the
// search there, so that the scan's work is bounded too. The real calendars
// find at most a few dozen.
constexpr int NEAR_PLACES = 400;

// The fewest characters (blanks not counted) of a name that gets a hint: a
// shorter one begins too many words to point anywhere.
constexpr int MIN_HINTED = 3;

// Returns the kind of an ASCII character.
constexpr std::uint8_t ascii_kind(char32_t c) {
    const bool word = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return static_cast<std::uint8_t>(SHOWN | (c == ' ' || c == '\t' ? BLANKS : 0) |
                                     ((c < 0x20 && c != '\t') || c == 0x7F ? CONTROL : 0) | (word ? WORD : 0));
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

// What a scan of one line found.
struct Scanned {
    int ends;     // near places that may begin a word, put in ends
    int ignored;  // near places that cannot: inside words
};

// Cuts the line into elements and finds the elements where the whole pattern
// ends with at most TYPOS typos, bit-parallel as agrep does: bit i of the
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
Scanned scan_line(const Pattern& pattern, const char* riga, int len, bool continues, Line& line, int (&ends)[ROW]) {
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
    bool previous_blank = false;
    bool previous_word = continues;
    std::uint32_t word_starts = 0;  // bit j: a word begins j elements back
    const std::uint32_t begins_near = pattern.word_start_window;
    int length = 0;
    Scanned found{0, 0};
    for (int i = 0; i < len;) {
        const unsigned char b = bytes[i];
        std::uint32_t mask;
        if (b < 0x80) {  // plain text: one look-up
            const bool blank = b == ' ' || b == '\t';
            if (blank && previous_blank) {
                ++i;
                continue;  // a run of blanks is one
            }
            previous_blank = blank;
            if (STORE) {
                characters[length] = b;
                reversed[length] = reversed_by_byte[b];
                kinds[length] = ascii_kinds[b];
                begin[length] = static_cast<std::uint8_t>(i);
            }
            if (STORE) {
                const bool word = (ascii_kinds[b] & WORD) != 0;
                word_starts = (word_starts << 1) | (word && !previous_word ? 1 : 0);
                previous_word = word;
            }
            ++length;
            ++i;
            mask = by_byte[b];
        } else {
            previous_blank = false;
            const int from = i;
            const char32_t c = next_character(bytes, len, i);
            const char32_t folded = fold(c);
            if (STORE) {
                characters[length] = c;
                reversed[length] = pattern.reversed.of(folded);
                kinds[length] = kind_of(c, i - from);
                begin[length] = static_cast<std::uint8_t>(from);
            }
            if (STORE) {
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

// Finds the ends of near spellings in the line, cut into elements in line.
// The line is scanned first without keeping anything, to its first end: most
// lines that pass the filter hold no near spelling.
template <int TYPOS>
Scanned scan_kept(const Pattern& pattern, const char* riga, int len, bool continues, Line& line, int (&ends)[ROW]) {
    const Scanned any = scan_line<TYPOS, false>(pattern, riga, len, continues, line, ends);
    return any.ends != 0 ? scan_line<TYPOS, true>(pattern, riga, len, continues, line, ends) : any;
}

Scanned scan(const Pattern& pattern, const char* riga, int len, bool continues, Line& line, int (&ends)[ROW]) {
    switch (pattern.typos) {
    case 2:
        return scan_kept<2>(pattern, riga, len, continues, line, ends);
    case 1:
        return scan_kept<1>(pattern, riga, len, continues, line, ends);
    default:
        return scan_kept<0>(pattern, riga, len, continues, line, ends);
    }
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

// The window lengths a near spelling may have: the name's, give or take its
// typos, at most NAME - 1 before it is widened to its words.
int shortest_window(const Pattern& pattern) { return std::max(1, pattern.name.length - pattern.typos); }
int longest_window(const Pattern& pattern) { return std::min(pattern.name.length + pattern.typos, NAME - 1); }

// Offers the parts nearest the pattern that end at element t of line m and
// begin a word: those with the fewest typos that may be offered. One with
// more typos, ending at the same element, could never be offered before
// them, so it is not looked at.
void collect(const Pattern& pattern, const Line& line, int m, int t, bool any_character, Candidates& candidates,
             long& work) {
    int typos[NAME + MAX_TYPOS + 1];
    distances(pattern, line, t, typos, work);
    bool added = false;
    for (int allowed = 0; allowed <= pattern.typos && !added; ++allowed) {
        for (int n = shortest_window(pattern); n <= longest_window(pattern) && n <= t + 1; ++n) {
            if (typos[n] == allowed && candidates.offer(line, m, t - n + 1, t, allowed, any_character, work)) {
                added = true;
            }
        }
    }
}

// Tells whether the piece before line m was cut at 200 bytes inside a word:
// its line goes on a word at line m's start.
bool goes_on_a_word(const ReadLines& read, int m) {
    if (m == 0) {
        return false;
    }
    const std::string_view before = read.line(m - 1);
    const auto last = static_cast<unsigned char>(before.back());
    return before.size() == static_cast<std::size_t>(ROW) && last != '\n' && (last >= 0x80 || is_word_character(last));
}

}  // namespace

bool find_spelling(const ReadLines& read, const char32_t (&nome)[NAME], int cont, bool any_character,
                   Spelling& found, long* work) {
    Pattern pattern;
    make_pattern(nome, cont, pattern);
    int letters = 0;  // blanks not counted
    for (int i = 0; i < pattern.name.length; ++i) {
        letters += pattern.name.text[i] != BLANK ? 1 : 0;
    }
    if (letters < MIN_HINTED) {
        return false;
    }
    Candidates candidates(read);
    Line line;
    int ends[ROW];
    long done = 0;
    int left = VERIFIED;
    int near_left = NEAR_PLACES;
    for (int m = 0; m < read.count() && left > 0 && near_left > 0; ++m) {
        const std::string_view riga = read.line(m);
        const int len = static_cast<int>(riga.size()) - (riga.back() == '\n' ? 1 : 0);
        if (!may_hold(pattern, riga.data(), len)) {
            continue;
        }
        const Scanned found = scan(pattern, riga.data(), len, goes_on_a_word(read, m), line, ends);
        near_left -= found.ignored + found.ends;
        line.cut = len == ROW;
        for (int e = 0; e < found.ends && left > 0; ++e, --left) {
            collect(pattern, line, m, ends[e], any_character, candidates, done);
        }
    }
    const bool hinted = candidates.best(found, done);
    if (work != nullptr) {
        *work += done;
    }
    return hinted;
}

}  // namespace quadrivo
