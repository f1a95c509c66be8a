// Windows-1252 and UTF-8: the two encodings a calendar is saved in, and the
// ones the console layer needs to turn typed bytes into characters.
#pragma once

#include <cstddef>

namespace quadrivo {

inline constexpr int UTF8_MAX = 4;  // bytes of the longest UTF-8 sequence

// Returns the character (Unicode code point) that a Windows-1252 byte stands
// for. The five bytes the code page leaves unassigned (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) stand for the control characters of the same number, so every byte
// goes there and back unchanged.
char32_t from_windows_1252(unsigned char byte);

// Returns the Windows-1252 byte for character c, or -1 when the code page has none.
int to_windows_1252(char32_t c);

// Writes character c (at most U+10FFFF, no surrogate) in UTF-8 into out, which
// has room for UTF8_MAX bytes. Returns the number of bytes written.
int to_utf8(char32_t c, char* out);

// What a byte tells when it starts a UTF-8 sequence: how many bytes the
// sequence has (0 when no well-formed sequence starts with it) and the range
// its second byte must lie in. Every later byte lies in 0x80 to 0xBF. These
// ranges are what rules out overlong forms, surrogates and anything above U+10FFFF.
struct Utf8Lead {
    int length;
    unsigned char second_min;
    unsigned char second_max;
};
Utf8Lead utf8_lead(unsigned char byte);

// Returns the character of a well-formed sequence of length bytes.
char32_t utf8_decode(const unsigned char* bytes, int length);

// Reads the first character of the available bytes (at least one) as a
// console reads typed text: a well-formed UTF-8 sequence is one character, any
// other byte its Windows-1252 letter. Returns the count of bytes it took.
int decode_char(const unsigned char* bytes, int available, char32_t& c);

// Tells whether size bytes are well-formed UTF-8 throughout.
bool is_utf8(const unsigned char* bytes, std::size_t size);

// Puts a name's size bytes, read as typed text is, into characters; a lone
// byte of the C1 range stays a control, whatever letter it is there.
// Returns the count, at most capacity.
int decode_name(const char* bytes, int size, char32_t* characters, int capacity);

// Puts count UTF-16 units into characters, surrogate pairs joined; a lone
// surrogate stays itself. Returns the count, at most capacity.
int from_utf16(const wchar_t* units, int count, char32_t* characters, int capacity);

}  // namespace quadrivo
