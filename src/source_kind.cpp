// What the first block tells of a file: the signatures of the kinds that get
// their own words, UTF-16 and UTF-32 by their structure, and then a rule for
// text (no NUL byte, few controls) that refuses any other binary file. A byte
// pattern at the start decides only where it is a format's own signature;
// text that merely begins with "PK" or "%PDF" stays text.
#include "source_kind.hpp"

#include <cstring>

namespace quadrivo {

namespace {

constexpr std::size_t NOT_TEXT_SHARE = 20;  // more controls than one byte in this many: no text

// Tells whether the bytes begin with the signature of length bytes.
bool begins(const unsigned char* bytes, std::size_t size, const char* signature, std::size_t length) {
    return size >= length && std::memcmp(bytes, signature, length) == 0;
}

// The little-endian 16-bit value at offset.
unsigned le16(const unsigned char* at) {
    return at[0] | (at[1] << 8u);
}

// Tells whether a zip's first entry names an office document's part:
// Office Open XML's [Content_Types].xml, _rels/, docProps/ or a part of the
// workbook, document or presentation itself; OpenDocument's mimetype.
bool office_zip(const unsigned char* bytes, std::size_t size) {
    constexpr std::size_t NAME_AT = 30;  // after the local file header's fixed fields
    if (size < NAME_AT) {
        return false;
    }
    const std::size_t length = le16(bytes + 26);
    const char* name = reinterpret_cast<const char*>(bytes + NAME_AT);
    const std::size_t room = size - NAME_AT < length ? size - NAME_AT : length;
    const auto is = [&](const char* part) { return room == std::strlen(part) && std::memcmp(name, part, room) == 0; };
    const auto under = [&](const char* folder) {
        return room >= std::strlen(folder) && std::memcmp(name, folder, std::strlen(folder)) == 0;
    };
    return is("[Content_Types].xml") || is("mimetype") || under("_rels/") || under("docProps/") || under("xl/") ||
           under("word/") || under("ppt/");
}

// The 16-bit or 32-bit unit at index i, little- or big-endian.
unsigned long unit_at(const unsigned char* bytes, std::size_t i, int width, bool big) {
    unsigned long unit = 0;
    for (int k = 0; k < width; ++k) {
        const unsigned long byte = bytes[i * width + (big ? k : width - 1 - k)];
        unit = (unit << 8) | byte;
    }
    return unit;
}

// Tells whether a unit is a line feed, a carriage return or a blank: text
// has them, and a binary file's zeros seldom fall so.
bool spacing(unsigned long unit) {
    return unit == 0x0A || unit == 0x0D || unit == 0x20;
}

// Tells whether the bytes are well-formed UTF-16 with at least two spacing
// units: surrogates paired (one cut by the block's end is fine), no U+0000.
// Any text fits, whatever its letters; a binary file's zeros make U+0000.
bool utf16(const unsigned char* bytes, std::size_t size, bool big) {
    const std::size_t units = size / 2;
    std::size_t spacings = 0;
    for (std::size_t i = 0; i < units; ++i) {
        const unsigned long unit = unit_at(bytes, i, 2, big);
        if (unit == 0 || (unit >= 0xDC00 && unit <= 0xDFFF)) {
            return false;  // U+0000, or a low surrogate alone
        }
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const unsigned long low = unit_at(bytes, ++i, 2, big);
            if (low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
        }
        spacings += spacing(unit) ? 1 : 0;
    }
    return spacings >= 2;
}

// The same for UTF-32: each unit a character, no surrogate, no U+0000.
bool utf32(const unsigned char* bytes, std::size_t size, bool big) {
    const std::size_t units = size / 4;
    std::size_t spacings = 0;
    for (std::size_t i = 0; i < units; ++i) {
        const unsigned long unit = unit_at(bytes, i, 4, big);
        if (unit == 0 || unit > 0x10FFFF || (unit >= 0xD800 && unit <= 0xDFFF)) {
            return false;
        }
        spacings += spacing(unit) ? 1 : 0;
    }
    return spacings >= 2;
}

// The controls that text does not hold, a bit each: all of C0 but tab, line
// feed, vertical tab, form feed, carriage return, escape (colours) and 0x1A
// (the end mark of old DOS editors).
constexpr unsigned long FOREIGN_CONTROLS = 0xFFFFFFFFul & ~(0x3Eul << 8) & ~(0x3ul << 0x1A);

// Tells whether more than one byte in NOT_TEXT_SHARE is a foreign control.
bool many_controls(const unsigned char* bytes, std::size_t size) {
    std::size_t controls = 0;
    for (std::size_t i = 0; i < size; ++i) {
        controls += bytes[i] < 0x20 ? (FOREIGN_CONTROLS >> bytes[i]) & 1 : 0;
    }
    return controls * NOT_TEXT_SHARE > size;
}

}  // namespace

SourceKind recognise(const unsigned char* bytes, std::size_t size) {
    if (begins(bytes, size, "\xFF\xFE\0\0", 4) || begins(bytes, size, "\0\0\xFE\xFF", 4)) {
        return SourceKind::utf32;
    }
    if (begins(bytes, size, "\xFF\xFE", 2) || begins(bytes, size, "\xFE\xFF", 2)) {
        return SourceKind::utf16;
    }
    if ((begins(bytes, size, "PK\3\4", 4) && office_zip(bytes, size)) ||
        begins(bytes, size, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) || begins(bytes, size, "{\\rtf", 5)) {
        return SourceKind::document;
    }
    if (begins(bytes, size, "%PDF-", 5) && size > 5 && bytes[5] >= '0' && bytes[5] <= '9') {
        return SourceKind::pdf;
    }
    // UTF-16 and UTF-32 have zero bytes in their blanks and line ends; any other file with one is no text.
    if (std::memchr(bytes, 0, size) != nullptr) {
        if (utf32(bytes, size, false) || utf32(bytes, size, true)) {
            return SourceKind::utf32;
        }
        return utf16(bytes, size, false) || utf16(bytes, size, true) ? SourceKind::utf16 : SourceKind::binary;
    }
    return many_controls(bytes, size) ? SourceKind::binary : SourceKind::text;
}

}  // namespace quadrivo
