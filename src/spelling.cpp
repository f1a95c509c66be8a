#include "spelling.hpp"

#include <algorithm>

#include "scan.hpp"

namespace quadrivo {

namespace {

// The end positions verified in one pass, at most, skipped ones included:
// each costs a distance computation of at most NAME + MAX_TYPOS columns and
// a spelling of at most NAME - 1 characters for each length it allows, so a
// pass's hint costs at most a constant plus a few steps a byte read (the
// filter and the scan). Past the cap the best spelling found so far is
// offered: the hint is a help, not a promise; real calendars need at most 35.
constexpr int VERIFIED = 40;

// The near places found in one pass, at most, inside words or not: a file
// where the name nearly stands everywhere (a line of one letter) stops the
// search there. Real calendars find at most a few dozen.
constexpr int NEAR_PLACES = 400;

// The fewest characters (blanks not counted) of a name that gets a hint: a
// shorter one begins too many words to point anywhere.
constexpr int MIN_HINTED = 3;

// Puts into typos[n] the distance between the pattern and the n elements
// that end at element t (letters wrong, missing, extra, or two neighbours
// swapped), for every n within the pattern's typos of its length. A letter
// where the other has a blank is no wrong letter but one missing and one
// extra: it joins or splits words. So is a blank swapped with a letter. The
// window is read backwards against the reversed pattern, an element a step,
// with a bit vector a number of typos (Wu and Manber's automaton, anchored at
// element t): bit i of now[d] tells that the pattern's last i + 1 characters
// end the elements read with at most d typos. Adds the elements read to work.
void distances(const Pattern& pattern, const SpellingLine& line, int t, int (&typos)[NAME + MAX_TYPOS + 1],
               long& work) {
    const int m = pattern.name.length;
    const int k = pattern.typos;
    const int columns = m + k < t + 1 ? m + k : t + 1;  // the window's elements, at most
    const std::uint32_t last = 1u << (m - 1);
    const std::uint32_t letters = ~pattern.reversed_spaces;
    std::uint32_t now[MAX_TYPOS + 1] = {0, 1, 3};  // the last d characters missing
    std::uint32_t before[MAX_TYPOS + 1] = {};  // one element back
    std::uint32_t older[MAX_TYPOS + 1] = {};  // two elements back: for swapped neighbours
    std::fill(typos, typos + m + k + 1, k + 1);
    std::uint32_t previous = 0;  // the element's mask, a step before
    for (int n = 1; n <= columns; ++n) {
        const int x = t - n + 1;
        const std::uint32_t mask = line.reversed[x];
        const std::uint32_t wrong = is_space(line.characters[x]) ? ~letters : letters;  // where a wrong letter may be
        const std::uint32_t swapped = ((mask & letters) << 1) & previous & letters;
        // The empty end of the pattern stands with d typos after j elements when j <= d: bit 0 shifted in.
        for (int d = 0; d <= k; ++d) {
            older[d] = before[d];
            before[d] = now[d];
            now[d] = ((before[d] << 1) | (n - 1 <= d ? 1 : 0)) & mask;
            if (d > 0) {
                const int e = d - 1;
                now[d] |= before[e];  // an extra element
                now[d] |= ((before[e] << 1) | (n - 1 <= e ? 1 : 0)) & wrong;  // a wrong letter
                now[d] |= (now[e] << 1) | (n <= e ? 1 : 0);  // a missing character
                now[d] |= ((older[e] << 2) | (n - 2 <= e ? 2 : 0)) & swapped;  // neighbours swapped
            }
        }
        for (int d = k; d >= 0 && (now[d] & last) != 0; --d) {  // never before n = m - k
            typos[n] = d;
        }
        previous = mask;
    }
    work += columns;
}

// Offers the parts nearest the pattern that end at element t of line m and
// begin a word: those with the fewest typos that may be offered (one with
// more, ending at the same element, could never rank before them).
void collect(const Pattern& pattern, const SpellingLine& line, int m, int t, bool any_character, Candidates& candidates,
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

}  // namespace

bool find_spelling(const ReadLines& read, const char32_t (&nome)[NAME], int cont, bool any_character, Spelling& found,
                   long* work) {
    Pattern pattern;
    make_pattern(nome, cont, pattern);
    const char32_t* name = pattern.name.text;
    if (pattern.name.length - std::count(name, name + pattern.name.length, BLANK) < MIN_HINTED) {
        return false;
    }
    Candidates candidates(read);
    SpellingLine line;
    int ends[ROW];
    long unasked = 0;
    long& done = work != nullptr ? *work : unasked;
    int left = VERIFIED;
    int near_left = NEAR_PLACES;
    bool continues = false;  // the piece before was cut at 200 bytes inside a word
    for (int m = 0; m < read.count() && left > 0 && near_left > 0; ++m) {
        std::string_view riga = read.line(m);
        const auto last = static_cast<unsigned char>(riga.back());
        line.continues = continues;
        line.cut = riga.size() == static_cast<std::size_t>(ROW) && last != '\n';
        continues = line.cut && (last >= 0x80 || is_word_character(last));
        riga.remove_suffix(last == '\n' ? 1 : 0);
        // A UTF-8 mark at the file's start is no part of its first word.
        line.skipped = m == 0 && riga.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
        riga.remove_prefix(static_cast<std::size_t>(line.skipped));
        const int len = static_cast<int>(riga.size());
        if (!may_hold(pattern, riga.data(), len)) {
            continue;
        }
        const int found = scan(pattern, riga.data(), len, line, ends, near_left);
        for (int e = 0; e < found && left > 0; ++e, --left) {
            collect(pattern, line, m, ends[e], any_character, candidates, done);
        }
    }
    return candidates.best(found, done);
}

}  // namespace quadrivo
