#include "candidates.hpp"

#include <algorithm>
#include <bitset>
#include <string_view>
#include <tuple>

namespace quadrivo {

namespace {

// Tells whether a ranks before b: fewest typos, most lines, first in the file.
bool ranks_before(const Candidate& a, const Candidate& b) {
    return std::tie(a.typos, b.lines, a.line, a.begin) < std::tie(b.typos, a.lines, b.line, b.begin);
}

// Tells whether the characters so far may be typed and shown: no control
// character (a tab included), all shown where the console shows Windows-1252
// only, and one encoding (a typed name is searched for in one at a time).
bool may_offer(std::uint8_t kinds, std::uint8_t every, bool any_character) {
    return (kinds & CONTROL) == 0 && (any_character || (every & SHOWN) != 0) &&
           (kinds & (MULTIBYTE | HIGH)) != (MULTIBYTE | HIGH);
}

// Reads elements s to e of line into found: their first NAME - 1 characters
// (a run of blanks as its blanks), how many there are (NAME for more), and
// the word ends among those characters after which the words so far may be
// offered. Adds the characters read to work.
void spell(const SpellingLine& line, int s, int e, bool any_character, Candidate& found, long& work) {
    std::uint8_t kinds = 0;  // what any element is
    std::uint8_t every = 0xFF;  // what every element is
    int count = 0;
    int x = s;
    for (; x <= e && count < NAME; ++x) {
        const bool blanks = (line.kinds[x] & BLANKS) != 0;
        kinds |= line.kinds[x];
        every &= line.kinds[x];
        for (int b = line.begin[x]; b < (blanks ? line.begin[x + 1] : line.begin[x] + 1); ++b) {  // each blank of a run
            kinds |= line.bytes[b] == '\t' ? CONTROL : 0;
            if (count < NAME - 1) {
                found.spelling.text[count] = blanks ? U' ' : line.characters[x];
            }
            ++count;
        }
        const bool word_end = line.is_word(x) && (x == e || !line.is_word(x + 1));
        if (word_end && count < NAME && may_offer(kinds, every, any_character)) {
            found.end_bytes[found.word_ends] = static_cast<std::uint8_t>(line.begin[x + 1] - line.begin[s]);
            found.end_characters[found.word_ends++] = static_cast<std::uint8_t>(count);
        }
    }
    work += count;
    found.spelling.length = count < NAME - 1 ? count : NAME - 1;
    found.characters = x > e && count < NAME ? count : NAME;
}

// The bytes of the whole words, as the line read holds them.
std::string_view words_of(const ReadLines& read, const Candidate& words) {
    return {read.line(words.line).data() + words.begin, static_cast<std::size_t>(words.end - words.begin)};
}

// Tells whether a and b are the same words: the same characters, or, longer
// than a name, the same bytes.
bool same(const ReadLines& read, const Candidate& a, const Candidate& b) {
    if (a.characters < NAME || b.characters < NAME) {
        return a.characters == b.characters &&
               std::equal(a.spelling.text, a.spelling.text + a.spelling.length, b.spelling.text);
    }
    return words_of(read, a) == words_of(read, b);
}

// Returns the lines read, before their line ends, that hold text; adds the bytes searched to work.
std::bitset<NUM> lines_with(const ReadLines& read, std::string_view text, long& work) {
    std::bitset<NUM> lines;
    for (int m = 0; m < read.count(); ++m) {
        std::string_view line = read.line(m);
        line.remove_suffix(!line.empty() && line.back() == '\n' ? 1 : 0);
        lines[static_cast<std::size_t>(m)] = line.find(text) != std::string_view::npos;
        work += static_cast<long>(line.size());
    }
    return lines;
}

// Puts into found the longest run of the first whole words of words that
// selects the same lines as all of them. Returns false when none does.
bool shorten(const ReadLines& read, const Candidate& words, Spelling& found, long& work) {
    const std::string_view whole = words_of(read, words);
    const std::bitset<NUM> with_whole = lines_with(read, whole, work);
    for (int k = words.word_ends - 1; k >= 0; --k) {
        if (lines_with(read, std::string_view(whole.data(), words.end_bytes[k]), work) == with_whole) {
            found = words.spelling;
            found.length = words.end_characters[k];
            return true;
        }
    }
    return false;
}

}  // namespace

bool Candidates::offer(const SpellingLine& line, int m, int s, int t, int typos, bool any_character, long& work) {
    if (!line.word_start(s)) {
        return false;
    }
    int e = t;
    if (line.is_word(t)) {
        if (ends_line_ != m || t > ends_at_) {  // a word not read to its end yet: the parts come in order
            ends_line_ = m;
            ends_at_ = t;
            while (ends_at_ + 1 < line.length && line.is_word(ends_at_ + 1)) {
                ++ends_at_;
            }
            work += ends_at_ - t;
        }
        e = ends_at_;
        if (e + 1 == line.length && line.cut) {
            return false;  // the word goes on past the cut: no word end
        }
    } else {
        while (!line.is_word(e)) {  // s is a word's: the loop stops there at the latest
            --e;
        }
    }
    if (offered_line_ == m && offered_from_ == s && offered_to_ == e) {  // the last part's words again
        if (offered_ >= 0) {
            list_[offered_].typos = std::min(list_[offered_].typos, typos);
        }
        return offered_ >= 0;
    }
    offered_line_ = m;
    offered_from_ = s;
    offered_to_ = e;
    offered_ = -1;
    Candidate found;  // spell() fills what the rest does not
    spell(line, s, e, any_character, found, work);
    if (found.word_ends == 0 ||
        (found.characters < NAME && found.end_characters[found.word_ends - 1] != found.characters)) {
        return false;  // nothing that may be offered, or not the whole words
    }
    found.typos = typos;
    found.last_line = m;
    found.line = m;
    found.begin = line.skipped + line.begin[s];
    found.end = line.skipped + line.begin[e + 1];
    offered_ = add(found);
    return true;
}

int Candidates::add(const Candidate& found) {
    for (int i = 0; i < count_; ++i) {
        Candidate& known = list_[i];
        if (same(read_, known, found)) {
            known.typos = std::min(known.typos, found.typos);
            known.lines += known.last_line != found.last_line ? 1 : 0;
            known.last_line = found.last_line;
            return i;
        }
    }
    if (count_ < CANDIDATES) {
        list_[count_] = found;
        return count_++;
    }
    Candidate* worst = std::max_element(list_, list_ + count_, ranks_before);
    if (!ranks_before(found, *worst)) {
        return -1;
    }
    *worst = found;
    return static_cast<int>(worst - list_);
}

bool Candidates::best(Spelling& found, long& work) const {
    const Candidate* best = std::min_element(list_, list_ + count_, ranks_before);
    if (best == list_ + count_) {
        return false;
    }
    if (best->characters < NAME) {
        found = best->spelling;
        return true;
    }
    return shorten(read_, *best, found, work);
}

}  // namespace quadrivo
