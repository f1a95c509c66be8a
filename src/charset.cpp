#include "charset.hpp"

#include <cstdio>
#include <cstring>

namespace quadrivo {

// The characters of the bytes 0x80 to 0x9F; the rest of Windows-1252 is the
// Latin-1 range, whose code points are the bytes themselves. The C library's
// converters refuse the five unassigned bytes, hence this table.
static constexpr char32_t HIGH_CONTROLS[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t from_windows_1252(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? HIGH_CONTROLS[byte - 0x80] : byte;
}

int widen(const char* text, char32_t* line, int used, int capacity, std::size_t count) {
    for (std::size_t i = 0; i < count && text[i] != '\0' && used < capacity; ++i) {
        line[used++] = from_windows_1252(static_cast<unsigned char>(text[i]));
    }
    return used;
}

int to_windows_1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<int>(c);
    }
    for (int i = 0; i < 32; ++i) {
        if (HIGH_CONTROLS[i] == c) {
            return 0x80 + i;
        }
    }
    return -1;
}

int to_utf8(char32_t c, char* out) {
    const int length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    static constexpr unsigned char LEAD_MARK[] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (int i = length - 1; i > 0; --i) {
        out[i] = static_cast<char>(0x80 | (c & 0x3F));
        c >>= 6;
    }
    out[0] = static_cast<char>(LEAD_MARK[length] | c);
    return length;
}

int utf8_length(unsigned char byte) {
    return byte < 0x80 ? 1 : byte < 0xC2 ? 0 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : byte < 0xF5 ? 4 : 0;
}

bool utf8_follows(const unsigned char* bytes, int i) {
    const unsigned char lead = bytes[0];
    // After E0 and F0 a lower second byte is an overlong form; after ED a
    // higher one a surrogate, after F4 beyond U+10FFFF.
    const unsigned char low = i == 1 && lead == 0xE0 ? 0xA0 : i == 1 && lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = i == 1 && lead == 0xED ? 0x9F : i == 1 && lead == 0xF4 ? 0x8F : 0xBF;
    return bytes[i] >= low && bytes[i] <= high;
}

int decode_char(const unsigned char* bytes, int available, char32_t& c) {
    const int length = utf8_length(bytes[0]);
    bool well_formed = length > 1 && length <= available;
    for (int i = 1; well_formed && i < length; ++i) {
        well_formed = utf8_follows(bytes, i);
    }
    if (!well_formed) {
        c = from_windows_1252(bytes[0]);
        return 1;
    }
    static constexpr unsigned char LEAD_BITS[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    c = bytes[0] & LEAD_BITS[length];
    for (int i = 1; i < length; ++i) {
        c = (c << 6) | (bytes[i] & 0x3F);
    }
    return length;
}

char32_t join_units(int unit, int next, bool& took) {
    took = unit == '\r' ? next == '\n' : joins_next(unit) && next >= 0xDC00 && next <= 0xDFFF;
    if (took) {
        return unit == '\r' ? U'\n' : 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
    }
    return unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : static_cast<char32_t>(unit);
}

const char* split_at_hole(const char* format, char (&head)[MESSAGE]) {
    const char* hole = std::strstr(format, "%s");
    const std::size_t length = hole != nullptr ? static_cast<std::size_t>(hole - format) : std::strlen(format);
    std::snprintf(head, sizeof head, "%.*s", static_cast<int>(length), format);
    return hole != nullptr ? hole + 2 : nullptr;
}

bool is_utf8(const unsigned char* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size;) {
        char32_t c = 0;
        const int taken = decode_char(bytes + i, static_cast<int>(size - i), c);
        if (taken == 1 && bytes[i] >= 0x80) {
            return false;  // a byte that begins no well-formed sequence
        }
        i += static_cast<std::size_t>(taken);
    }
    return true;
}

int decode_name(const char* bytes, int size, char32_t* characters, int capacity) {
    const auto* at = reinterpret_cast<const unsigned char*>(bytes);
    int length = 0;
    for (int i = 0; i < size && length < capacity; ++length) {
        const int taken = decode_char(at + i, size - i, characters[length]);
        if (taken == 1 && at[i] >= 0x80 && at[i] < 0xA0) {
            characters[length] = at[i];
        }
        i += taken;
    }
    return length;
}

int from_utf16(const wchar_t* units, int count, char32_t* characters, int capacity) {
    int length = 0;
    for (int i = 0; i < count && length < capacity; ++i) {
        bool took = false;
        characters[length++] = join_units(units[i], units[i] != '\r' && i + 1 < count ? units[i + 1] : -1, took);
        i += took ? 1 : 0;
    }
    return length;
}

}  // namespace quadrivo
