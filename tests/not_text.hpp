// Files that are no calendar, made small for the tests: a zip's first entry,
// text in UTF-16 or UTF-32, the first bytes of a program, an archive, random
// bytes from a fixed seed.
#pragma once

#include <random>
#include <string>

using namespace std::string_literals;

// A zip whose first entry has the given name: its local file header, then the name.
inline std::string zip_with(const std::string& name) {
    std::string header = "PK\3\4"s + std::string(22, '\0');
    header += static_cast<char>(name.size()) + "\0\0\0"s;
    return header + name + "<?xml version=\"1.0\"?>";
}

// Text in UTF-16 (width 2; a letter beyond 16 bits a surrogate pair) or
// UTF-32 (width 4), little- or big-endian.
inline std::string wide(const std::u32string& text, int width, bool big_endian = false) {
    std::string bytes;
    const auto add = [&](char32_t unit) {
        for (int i = 0; i < width; ++i) {
            const int shift = 8 * (big_endian ? width - 1 - i : i);
            bytes += static_cast<char>((unit >> shift) & 0xFF);
        }
    };
    for (const char32_t c : text) {
        if (width == 2 && c > 0xFFFF) {
            add(0xD800 + ((c - 0x10000) >> 10));
            add(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            add(c);
        }
    }
    return bytes;
}

// The characters of well-formed UTF-8 text.
inline std::u32string from_utf8(const std::string& utf8) {
    std::u32string text;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (int k = 1; k < length; ++k) {
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        text += c;
        i += static_cast<std::size_t>(length);
    }
    return text;
}

// A Windows program's first bytes: MZ, the PE header's offset at 0x3C, the header there.
inline std::string windows_program() {
    std::string exe = "MZ" + std::string(0x3A, '\x90') + "\x80\0\0\0"s + std::string(0x40, '\0');
    return exe + "PE\0\0"s + std::string(20, '\0');
}

// Calendars of letters whose UTF-16 units have no zero byte, or one at either place.
inline const std::u32string BOXES = U"\u250C\u2500\u2500\u2510\r\n\u2502 Lupi \u2502\r\n\u2514\u2500\u2500\u2518\r\n";
inline const std::u32string GREEK =
    U"\u039F\u03BB\u03C5\u03BC\u03C0\u03B9\u03B1\u03BA\u03CC\u03C2 - \u0391\u0395\u039A 2-1\r\n";
inline const std::u32string CYRILLIC =
    U"\u0421\u043F\u0430\u0440\u0442\u0430\u043A - \u0417\u0435\u043D\u0438\u0442 1-0\r\n";
inline const std::u32string CJK = U"\u7B2C1\u7BC0\r\n\u6D66\u548C\u5BFE\u9E7F\u5CF6\r\n";

// Bytes from a fixed seed (minstd_rand's sequence is the same everywhere);
// with nonzero, none is a zero byte.
inline std::string random_bytes(std::size_t count, unsigned seed, bool nonzero = false) {
    std::minstd_rand next(seed);
    std::string bytes;
    while (bytes.size() < count) {
        const auto byte = static_cast<char>(next() & 0xFF);
        if (!nonzero || byte != '\0') {
            bytes += byte;
        }
    }
    return bytes;
}

// A file format's first bytes, then zeros and a line holding "Lupi": what
// such files hold after their header.
inline std::string header_then_zeros(const std::string& header) {
    return header + std::string(8, '\0') + "Lupi - Orsi 2-1\n" + std::string(8, '\0');
}

// A tar archive holding a calendar: a 512-byte header (the name, zeros, the
// ustar mark), then the member's text.
inline std::string tar_with(const std::string& name, const std::string& text) {
    std::string header = name + std::string(100 - name.size(), '\0') + "0000644\0"s + std::string(8 * 3, '0');
    header += std::string(257 - header.size(), '\0') + "ustar\0"s + "00";
    return header + std::string(512 - header.size(), '\0') + text;
}

// A Windows-1252 copy of UTF-8 text whose characters are all Latin-1 but the
// round marker, which the code page lacks: the guillemet stands for it.
inline std::string as_windows_1252(const std::u32string& text) {
    std::string bytes;
    for (const char32_t c : text) {
        bytes += static_cast<char>(c == U'\u25AA' ? 0xBB : c);
    }
    return bytes;
}
