#include "spelling.hpp"

#include <cstdint>

#include "candidates.hpp"
#include "charset.hpp"
#include "fold.hpp"

namespace quadrivo {

namespace {

constexpr int MAX_TYPOS = 2;
constexpr char32_t BLANK = ' ';

bool is_blank(char32_t c) { return c == ' ' || c == '\t'; }
bool is_control(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

// The typed name folded, ends trimmed and each run of blanks one blank, with
// the bit masks of its characters for the bit-parallel search.
struct Pattern {
    char32_t folded[NAME - 1];
    int length = 0;
    int typos = 0;  // allowed for this length
    std::uint32_t ascii_masks[128] = {};

    // Returns the positions of the pattern that hold c, as bits.
    std::uint32_t mask(char32_t c) const {
        if (c < 128) {
            return ascii_masks[c];
        }
        std::uint32_t bits = 0;
        for (int i = 0; i < length; ++i) {
            bits |= folded[i] == c ? 1u << i : 0;
        }
        return bits;
    }
};

void make_pattern(const char32_t (&nome)[NAME], int cont, Pattern& pattern) {
    int first = 0;
    int last = cont;
    while (first < last && is_blank(nome[first])) {
        ++first;
    }
    while (last > first && is_blank(nome[last - 1])) {
        --last;
    }
    for (int k = first; k < last; ++k) {
        if (!(is_blank(nome[k]) && is_blank(nome[k - 1]))) {
            pattern.folded[pattern.length++] = is_blank(nome[k]) ? BLANK : fold(nome[k]);
        }
    }
    for (int i = 0; i < pattern.length; ++i) {
        if (pattern.folded[i] < 128) {
            pattern.ascii_masks[pattern.folded[i]] |= 1u << i;
        }
    }
    pattern.typos = pattern.length >= 10 ? 2 : pattern.length >= 5 ? 1 : 0;
}

// A line as the search sees it: one element per character, folded, a run of
// blanks one element; each keeps where its bytes are.
struct Line {
    const char* bytes;
    struct Element {
        char32_t folded;
        std::uint8_t begin;
        std::uint8_t end;
    } at[ROW];
    int length = 0;

    // Returns the character (unfolded) of element x.
    char32_t character(int x) const {
        char32_t c;
        decode_char(reinterpret_cast<const unsigned char*>(bytes) + at[x].begin, at[x].end - at[x].begin, c);
        return c;
    }
    // Tells whether elements s to t stand as whole words: word characters at both ends, none beside.
    bool whole_words(int s, int t) const {
        return is_word_character(character(s)) && is_word_character(character(t)) &&
               (s == 0 || !is_word_character(character(s - 1))) &&
               (t + 1 == length || !is_word_character(character(t + 1)));
    }
};

void decode_line(const char* riga, int len, Line& line) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(riga);
    line.bytes = riga;
    line.length = 0;
    for (int i = 0; i < len;) {
        char32_t c = bytes[i];
        const int used = c < 0x80 ? 1 : decode_char(bytes + i, len - i, c);
        if (is_blank(c) && line.length > 0 && line.at[line.length - 1].folded == BLANK) {
            line.at[line.length - 1].end = static_cast<std::uint8_t>(i + used);
        } else {
            line.at[line.length++] = {is_blank(c) ? BLANK : fold(c), static_cast<std::uint8_t>(i),
                                      static_cast<std::uint8_t>(i + used)};
        }
        i += used;
    }
}

// The spelling of elements s to t, as the file has it. Returns false when it
// may not be offered: too long, a control character, a character the console
// cannot show, or UTF-8 and single high bytes mixed (typed, the name is
// searched for in one encoding at a time).
bool spelling_of(const Line& line, int s, int t, bool any_character, Spelling& spelling) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(line.bytes);
    bool multibyte = false;
    bool high_byte = false;
    spelling.length = 0;
    for (int i = line.at[s].begin; i < line.at[t].end;) {
        char32_t c;
        const int used = decode_char(bytes + i, line.at[t].end - i, c);
        multibyte = multibyte || used > 1;
        high_byte = high_byte || (used == 1 && bytes[i] >= 0x80);
        if (spelling.length == NAME - 1 || is_control(c) || (!any_character && to_windows_1252(c) < 0)) {
            return false;
        }
        spelling.text[spelling.length++] = c;
        i += used;
    }
    return !(multibyte && high_byte);
}

// The optimal string alignment distance (letters wrong, missing, extra, or
// neighbours swapped) between the pattern and elements s to t.
int distance(const Pattern& pattern, const Line& line, int s, int t) {
    const int n = t - s + 1;
    int d[NAME][NAME + MAX_TYPOS + 1];
    for (int i = 0; i <= pattern.length; ++i) {
        for (int j = 0; j <= n; ++j) {
            if (i == 0 || j == 0) {
                d[i][j] = i + j;
                continue;
            }
            const bool same = pattern.folded[i - 1] == line.at[s + j - 1].folded;
            int best = d[i - 1][j - 1] + (same ? 0 : 1);
            best = d[i - 1][j] + 1 < best ? d[i - 1][j] + 1 : best;
            best = d[i][j - 1] + 1 < best ? d[i][j - 1] + 1 : best;
            if (i > 1 && j > 1 && pattern.folded[i - 1] == line.at[s + j - 2].folded &&
                pattern.folded[i - 2] == line.at[s + j - 1].folded && d[i - 2][j - 2] + 1 < best) {
                best = d[i - 2][j - 2] + 1;
            }
            d[i][j] = best;
        }
    }
    return d[pattern.length][n];
}

// Adds every spelling near the pattern that ends at element t of line m.
void collect(const Pattern& pattern, const Line& line, int m, int t, bool any_character, Candidates& candidates) {
    for (int n = pattern.length - pattern.typos; n <= pattern.length + pattern.typos; ++n) {
        const int s = t - n + 1;
        if (n < 1 || s < 0) {
            continue;
        }
        Candidate found{};
        found.typos = distance(pattern, line, s, t);
        if (found.typos <= pattern.typos && spelling_of(line, s, t, any_character, found.spelling)) {
            found.whole_words = line.whole_words(s, t);
            found.lines = 1;
            found.last_line = m;
            found.first = m * ROW + s;
            candidates.add(found);
        }
    }
}

// Searches the text of line m for the pattern, bit-parallel as agrep does:
// bit i of the state for d typos tells that the pattern's first i + 1
// characters end at the current character with at most d typos. Where the
// whole pattern does, the line is decoded and the spellings ending there are
// collected. The states for 0, 1 and 2 typos are kept whatever the typos
// allowed, which costs less than choosing among them.
void search_line(const Pattern& pattern, const char* riga, int len, int m, bool any_character, Line& line,
                 Candidates& candidates) {
    const std::uint32_t whole = 1u << (pattern.length - 1);
    const std::uint32_t found0 = pattern.typos == 0 ? whole : 0;
    const std::uint32_t found1 = pattern.typos == 1 ? whole : 0;
    const std::uint32_t found2 = pattern.typos == 2 ? whole : 0;
    std::uint32_t now0 = 0, now1 = 1, now2 = 3;  // the first d characters missing
    std::uint32_t older0 = 0, older1 = 1;         // two characters back: for swapped neighbours
    std::uint32_t previous_mask = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(riga);
    bool decoded = false;
    bool after_blank = false;
    for (int i = 0, t = -1; i < len;) {
        char32_t c = bytes[i];
        i += c < 0x80 ? 1 : decode_char(bytes + i, len - i, c);
        if (is_blank(c)) {
            if (after_blank) {
                continue;  // a run of blanks is one
            }
            c = BLANK;
        }
        after_blank = c == BLANK;
        ++t;
        const std::uint32_t mask = pattern.mask(fold(c));
        const std::uint32_t swapped = (mask << 1) & previous_mask;
        const std::uint32_t next0 = ((now0 << 1) | 1) & mask;
        const std::uint32_t next1 = (((now1 << 1) | 1) & mask) | now0 | ((now0 | next0) << 1) | 1 |
                                    (((older0 << 2) | 2) & swapped);
        const std::uint32_t next2 = (((now2 << 1) | 1) & mask) | now1 | ((now1 | next1) << 1) | 1 |
                                    (((older1 << 2) | 2) & swapped);
        older0 = now0;
        older1 = now1;
        now0 = next0;
        now1 = next1;
        now2 = next2;
        previous_mask = mask;
        if (((now0 & found0) | (now1 & found1) | (now2 & found2)) != 0) {
            if (!decoded) {
                decode_line(riga, len, line);
                decoded = true;
            }
            collect(pattern, line, m, t, any_character, candidates);
        }
    }
}

}  // namespace

bool find_spelling(const ReadLines& read, const char32_t (&nome)[NAME], int cont, bool any_character,
                   Spelling& found) {
    Pattern pattern;
    make_pattern(nome, cont, pattern);
    if (pattern.length == 0) {
        return false;
    }
    Candidates candidates;
    Line line;
    for (int m = 0; m < read.count(); ++m) {
        const std::string_view riga = read.line(m);
        const int len = static_cast<int>(riga.size());
        search_line(pattern, riga.data(), riga.back() == '\n' ? len - 1 : len, m, any_character, line, candidates);
    }
    const Candidate* best = candidates.best();
    if (best != nullptr) {
        found = best->spelling;
    }
    return best != nullptr;
}

}  // namespace quadrivo
