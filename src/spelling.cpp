#include "spelling.hpp"

#include <cstdint>

#include "charset.hpp"
#include "fold.hpp"
#include "name_pattern.hpp"
#include "scan.hpp"

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
    std::uint32_t plus = all;  // vertical differences of +1, the first column 0, 1, 2 ...
    std::uint32_t minus = 0;  // vertical differences of -1
    std::uint32_t same = 0;  // diagonal differences of 0, the column before
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
        for (int n = pattern.shortest; n <= pattern.longest && n <= t + 1; ++n) {
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

bool find_spelling(const ReadLines& read, const char32_t (&nome)[NAME], int cont, bool any_character, Spelling& found,
                   long* work) {
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
