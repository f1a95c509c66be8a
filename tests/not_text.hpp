// Files that are no calendar, made small for the tests: a zip's first entry,
// text in UTF-16 or UTF-32, the first bytes of a Windows program; and office
// documents made by the libraries that write them (tests/office).
#pragma once

#include <fstream>
#include <sstream>
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

// The bytes of an office document in tests/office (QUADRIVO_OFFICE), made by a
// library that writes such files; empty when it cannot be read.
inline std::string office_file(const std::string& name) {
    std::ifstream file(std::string(QUADRIVO_OFFICE) + "/" + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}
