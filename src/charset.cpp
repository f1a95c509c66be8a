#include "charset.hpp"

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

namespace {

// The bytes 0x80 to 0x9F by their characters, sorted, for a binary search:
// the spelling hint asks this of every character it may offer.
struct ByCharacter {
    char32_t character[32];
    unsigned char byte[32];
};

constexpr ByCharacter sorted_high_controls() {
    ByCharacter table{};
    for (int i = 0; i < 32; ++i) {
        int at = i;  // insertion sort, at compile time
        while (at > 0 && table.character[at - 1] > HIGH_CONTROLS[i]) {
            table.character[at] = table.character[at - 1];
            table.byte[at] = table.byte[at - 1];
            --at;
        }
        table.character[at] = HIGH_CONTROLS[i];
        table.byte[at] = static_cast<unsigned char>(0x80 + i);
    }
    return table;
}

constexpr ByCharacter BY_CHARACTER = sorted_high_controls();

}  // namespace

int to_windows_1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<int>(c);
    }
    int low = 0;
    int high = 32;
    while (low < high) {
        const int middle = (low + high) / 2;
        if (BY_CHARACTER.character[middle] < c) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low < 32 && BY_CHARACTER.character[low] == c ? BY_CHARACTER.byte[low] : -1;
}

int to_utf8(char32_t c, char* out) {
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    int length = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    static constexpr unsigned char LEAD_MARK[] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (int i = length - 1; i > 0; --i) {
        out[i] = static_cast<char>(0x80 | (c & 0x3F));
        c >>= 6;
    }
    out[0] = static_cast<char>(LEAD_MARK[length] | c);
    return length;
}

Utf8Lead utf8_lead(unsigned char byte) {
    if (byte < 0x80) {
        return {1, 0, 0};
    }
    if (byte >= 0xC2 && byte <= 0xDF) {
        return {2, 0x80, 0xBF};
    }
    if (byte >= 0xE0 && byte <= 0xEF) {
        // E0 would allow overlong forms below A0; ED would reach the surrogates from A0.
        return {3, static_cast<unsigned char>(byte == 0xE0 ? 0xA0 : 0x80),
                static_cast<unsigned char>(byte == 0xED ? 0x9F : 0xBF)};
    }
    if (byte >= 0xF0 && byte <= 0xF4) {
        // F0 would allow overlong forms below 90; F4 would pass U+10FFFF from 90.
        return {4, static_cast<unsigned char>(byte == 0xF0 ? 0x90 : 0x80),
                static_cast<unsigned char>(byte == 0xF4 ? 0x8F : 0xBF)};
    }
    return {0, 0, 0};  // a continuation byte, C0, C1, or F5 and above
}

char32_t utf8_decode(const unsigned char* bytes, int length) {
    static constexpr unsigned char LEAD_BITS[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t c = bytes[0] & LEAD_BITS[length];
    for (int i = 1; i < length; ++i) {
        c = (c << 6) | (bytes[i] & 0x3F);
    }
    return c;
}

int decode_char(const unsigned char* bytes, int available, char32_t& c) {
    const Utf8Lead lead = utf8_lead(bytes[0]);
    bool well_formed =
        lead.length > 1 && lead.length <= available && bytes[1] >= lead.second_min && bytes[1] <= lead.second_max;
    for (int i = 2; well_formed && i < lead.length; ++i) {
        well_formed = bytes[i] >= 0x80 && bytes[i] <= 0xBF;
    }
    if (!well_formed) {
        c = from_windows_1252(bytes[0]);
        return 1;
    }
    c = utf8_decode(bytes, lead.length);
    return lead.length;
}

bool is_utf8(const unsigned char* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size;) {
        const Utf8Lead lead = utf8_lead(bytes[i]);
        const auto length = static_cast<std::size_t>(lead.length);
        if (length == 0 || length > size - i ||
            (length > 1 && (bytes[i + 1] < lead.second_min || bytes[i + 1] > lead.second_max))) {
            return false;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if (bytes[i + k] < 0x80 || bytes[i + k] > 0xBF) {
                return false;
            }
        }
        i += length;
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
        char32_t c = static_cast<char32_t>(units[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(units[++i]) - 0xDC00);
        }
        characters[length++] = c;
    }
    return length;
}

}  // namespace quadrivo
