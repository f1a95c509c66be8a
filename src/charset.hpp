// Text handled once: Windows-1252 and UTF-8 (the two encodings a calendar is
// saved in and typed bytes are read in), UTF-16 units joined, controls, ASCII
// case, a message cut at its %s.
#pragma once

#include <cstddef>
#include <cstdint>

#include "constants.hpp"

namespace quadrivo {

inline constexpr int UTF8_MAX = 4;  // bytes of the longest UTF-8 sequence

// Returns the character (Unicode code point) that a Windows-1252 byte stands
// for. The five bytes the code page leaves unassigned (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) stand for the control characters of the same number, so every byte
// goes there and back unchanged.
char32_t from_windows_1252(unsigned char byte);

// Puts the characters of Windows-1252 text, count bytes or up to its end,
// into line from used on, as many as fit in capacity. Returns the count in line.
int widen(const char* text, char32_t* line, int used, int capacity, std::size_t count = SIZE_MAX);

// Returns the Windows-1252 byte for character c, or -1 when the code page has none.
int to_windows_1252(char32_t c);

// Writes character c (at most U+10FFFF, no surrogate) in UTF-8 into out, which
// has room for UTF8_MAX bytes. Returns the number of bytes written.
int to_utf8(char32_t c, char* out);

// Returns the length of the UTF-8 sequence that byte begins: 0 when no
// well-formed sequence begins with it (a continuation byte, C0, C1, F5 and above).
int utf8_length(unsigned char byte);

// Tells whether bytes[i] (i from 1) may follow in the well-formed sequence
// that bytes[0] begins.
bool utf8_follows(const unsigned char* bytes, int i);

// Reads the first character of the available bytes (at least one) as a
// console reads typed text: a well-formed UTF-8 sequence is one character, any
// other byte its Windows-1252 letter. Returns the count of bytes it took.
int decode_char(const unsigned char* bytes, int available, char32_t& c);

// Tells whether the UTF-16 unit may join the next one: a CR (CR LF), a high surrogate.
inline constexpr bool joins_next(int unit) {
    return unit == '\r' || (unit >= 0xD800 && unit <= 0xDBFF);
}

// Returns the character of the UTF-16 unit followed by next (negative for
// none): a surrogate pair is one character and CR LF one line end, each setting
// took (next is taken too); a lone surrogate is U+FFFD.
char32_t join_units(int unit, int next, bool& took);

// Returns the next character of the UTF-16 units that next_unit() hands out
// (a negative end as it is), joined as join_units does; a unit read ahead and
// not taken is kept in pending (negative for none) for the next call.
template <typename NextUnit>
int next_joined(NextUnit next_unit, int& pending) {
    const int unit = pending >= 0 ? pending : next_unit();
    const int next = unit >= 0 && joins_next(unit) ? next_unit() : -1;
    bool took = false;
    const int c = unit < 0 ? unit : static_cast<int>(join_units(unit, next, took));
    pending = took || next < 0 ? -1 : next;
    return c;
}

// Tells whether c would act on a terminal instead of showing: C0, DEL, C1.
inline constexpr bool is_control(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

// Returns c with an ASCII capital made small; any other character as it is.
inline constexpr char32_t ascii_lower(char32_t c) {
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

// Cuts format at its first %s: copies what comes before into head and
// returns what comes after, or nullptr when there is no %s (head is all of it).
const char* split_at_hole(const char* format, char (&head)[MESSAGE]);

// Tells whether size bytes are well-formed UTF-8 throughout.
bool is_utf8(const unsigned char* bytes, std::size_t size);

// Puts a name's size bytes, read as typed text is, into characters; a lone
// byte of the C1 range stays a control, whatever letter it is there.
// Returns the count, at most capacity.
int decode_name(const char* bytes, int size, char32_t* characters, int capacity);

// Puts count UTF-16 units into characters, surrogate pairs joined (join_units;
// CR LF kept as two), a lone surrogate U+FFFD. Returns the count, at most capacity.
int from_utf16(const wchar_t* units, int count, char32_t* characters, int capacity);

}  // namespace quadrivo
