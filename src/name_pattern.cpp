#include "name_pattern.hpp"

#include <algorithm>
#include <cstring>

namespace quadrivo {

namespace {

// Adds the way of cutting the folded name into count pieces in which the
// pieces whose bit is in longer have one character more.
void add_way(Pattern& pattern, int count, unsigned longer) {
    const int kept = pattern.name.length - (count - 1);  // a character left out between pieces
    for (int j = 0, from = 0; j < count; ++j) {
        const int piece = kept / count + ((longer >> j) & 1);
        pattern.piece_starts |= std::uint64_t{1} << pattern.pieces.length;
        for (int i = 0; i < piece; ++i) {
            pattern.pieces.add(pattern.name.text[from++]);
        }
        pattern.way_ends[pattern.ways] |= std::uint64_t{1} << (pattern.pieces.length - 1);
        ++from;  // left out
    }
    ++pattern.ways;
}

// Returns the union of the piece states after each character of the folded
// text, runs of blanks one blank: the pieces are searched for all at once
// (Shift-And). Where a piece holds a blank (STAY), a piece's blank stays
// matched while blanks follow, without a test (other characters' masks have
// no blank's bit); without, blanks need no care at all. Plain text costs a
// look-up a byte, eight bytes tested at once.
template <bool STAY>
std::uint64_t piece_states(const Pattern& pattern, const char* riga, int len) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(riga);
    const auto* end = bytes + len;
    const std::uint64_t* by_byte = pattern.pieces.bytes;
    const std::uint64_t stay = STAY ? by_byte[' '] : 0;
    const std::uint64_t starts = pattern.piece_starts;
    std::uint64_t state = 0;
    std::uint64_t found = 0;
    const auto step = [&](std::uint64_t mask) {
        state = ((state << 1) | starts | (STAY ? state & stay : 0)) & mask;
        found |= state;
    };
    for (const unsigned char* at = bytes; at < end;) {
        // Eight bytes at a time while they are all ASCII: one test for eight.
        for (std::uint64_t eight = 0; end - at >= 8; at += 8) {
            std::memcpy(&eight, at, 8);
            if ((eight & 0x8080808080808080u) != 0) {
                break;
            }
            for (int k = 0; k < 8; ++k) {
                step(by_byte[at[k]]);
            }
        }
        for (; at < end && *at < 0x80; ++at) {
            step(by_byte[*at]);
        }
        if (at < end) {
            int i = static_cast<int>(at - bytes);
            step(pattern.pieces.of(fold(next_character(bytes, len, i))));
            at = bytes + i;
        }
    }
    return found;
}

}  // namespace

void make_pattern(const char32_t (&nome)[NAME], int cont, Pattern& pattern) {
    for (int k = 0; k < cont; ++k) {
        if (!is_blank(nome[k])) {
            if (pattern.name.length > 0 && is_blank(nome[k - 1])) {
                pattern.name.add(BLANK);  // a run of blanks between words is one blank
            }
            pattern.name.add(fold(nome[k]));
        }
    }
    const int length = pattern.name.length;
    if (length == 0) {
        return;  // nothing to search for
    }
    for (int i = length - 1; i >= 0; --i) {
        pattern.reversed_spaces |= is_space(pattern.name.text[i]) ? 1u << pattern.reversed.length : 0;
        pattern.reversed.add(pattern.name.text[i]);
    }
    pattern.typos = length >= 10 ? 2 : length >= 5 ? 1 : 0;
    pattern.shortest = std::max(1, length - pattern.typos);
    pattern.longest = std::min(length + pattern.typos, NAME - 1);
    pattern.word_start_window = ((1u << pattern.longest) - 1) & ~((1u << (pattern.shortest - 1)) - 1);
    pattern.intact = (length - pattern.typos - 1) / (pattern.typos + 2) >= LONG_PIECE ? 2 : 1;
    const int count = pattern.typos + pattern.intact;
    const int longer = (length - (count - 1)) % count;  // pieces a character longer than the rest
    for (unsigned way = 0; way < (1u << count); ++way) {
        if (__builtin_popcount(way) == longer && pattern.pieces.length + length - (count - 1) <= PIECE_BITS &&
            pattern.ways < WAYS) {
            add_way(pattern, count, way);
        }
    }
}

bool may_hold(const Pattern& pattern, const char* riga, int len) {
    const std::uint64_t found = pattern.pieces.bytes[' '] != 0 ? piece_states<true>(pattern, riga, len)
                                                               : piece_states<false>(pattern, riga, len);
    for (int way = 0; way < pattern.ways; ++way) {
        const std::uint64_t held = found & pattern.way_ends[way];
        if (held == 0 || (pattern.intact == 2 && (held & (held - 1)) == 0)) {  // none, or one where two must be
            return false;
        }
    }
    return true;
}

}  // namespace quadrivo
