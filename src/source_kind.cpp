// Signatures first, then UTF-16 and UTF-32 by their structure, then the rule
// for text. A byte pattern at the start decides only where it is a format's own
// signature: text that merely begins with "PK" or "%PDF" stays text.
#include "source_kind.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quadrivo {

namespace {

constexpr std::size_t NOT_TEXT_SHARE = 20;  // more controls than one byte in this many: no text

// Tells whether the bytes begin with the signature of length bytes.
bool begins(const unsigned char* bytes, std::size_t size, const char* signature, std::size_t length) {
    return size >= length && std::memcmp(bytes, signature, length) == 0;
}

// Tells whether a zip's first entry names an office document's part:
// Office Open XML's [Content_Types].xml, _rels/, docProps/ or a part of the
// workbook, document or presentation itself; OpenDocument's mimetype.
bool office_zip(const unsigned char* bytes, std::size_t size) {
    constexpr std::size_t NAME_AT = 30;  // after the local file header's fixed fields
    if (size < NAME_AT) {
        return false;
    }
    const std::size_t length = bytes[26] | (bytes[27] << 8u);  // the name's, little-endian
    const std::string_view name(reinterpret_cast<const char*>(bytes + NAME_AT), std::min(size - NAME_AT, length));
    const auto under = [&](std::string_view folder) { return name.substr(0, folder.size()) == folder; };
    return name == "[Content_Types].xml" || name == "mimetype" || under("_rels/") || under("docProps/") ||
           under("xl/") || under("word/") || under("ppt/");
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

// Tells whether the bytes are well-formed UTF-16 (width 2) or UTF-32 (width 4)
// with at least two spacings and no U+0000: UTF-16's surrogates paired
// (one cut by the block's end is fine), none in UTF-32, nothing past U+10FFFF.
// Any text fits, whatever its letters; a binary file's zeros make U+0000.
bool unicode(const unsigned char* bytes, std::size_t size, int width, bool big) {
    const std::size_t units = size / width;
    std::size_t spacings = 0;
    for (std::size_t i = 0; i < units; ++i) {
        const unsigned long unit = unit_at(bytes, i, width, big);
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        if (unit == 0 || unit > 0x10FFFF || (unit >= 0xDC00 && unit <= 0xDFFF) || (high && width == 4)) {
            return false;  // U+0000, or a surrogate alone
        }
        if (high && i + 1 < units) {
            const unsigned long low = unit_at(bytes, ++i, 2, big);
            if (low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
        }
        // Line feeds, carriage returns and blanks: text has them, and a binary file's zeros seldom fall so.
        spacings += unit == 0x0A || unit == 0x0D || unit == 0x20 ? 1 : 0;
    }
    return spacings >= 2;
}

// The controls that text does not hold, a bit each: all of C0 but tab, line
// feed, vertical tab, form feed, carriage return, escape (colours) and 0x1A
// (the end mark of old DOS editors).
constexpr unsigned long FOREIGN_CONTROLS = 0xFFFFFFFFul & ~(0x3Eul << 8) & ~(0x3ul << 0x1A);

// Counts the foreign controls among the bytes.
std::size_t controls_in(const unsigned char* bytes, std::size_t size) {
    std::size_t controls = 0;
    for (std::size_t i = 0; i < size; ++i) {
        controls += bytes[i] < 0x20 ? (FOREIGN_CONTROLS >> bytes[i]) & 1 : 0;
    }
    return controls;
}

// Tells whether more than one byte in NOT_TEXT_SHARE is a foreign control.
// Eight bytes are tested at once, since text holds a control (its line end)
// only every few dozen bytes: a word with no byte below 0x20 costs a few steps.
bool many_controls(const unsigned char* bytes, std::size_t size) {
    constexpr std::uint64_t SPACES = 0x2020202020202020ull, HIGH = 0x8080808080808080ull;
    std::size_t controls = 0;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        if (((word - SPACES) & ~word & HIGH) != 0) {  // some byte below 0x20
            controls += controls_in(bytes + i, 8);
        }
    }
    controls += controls_in(bytes + i, size - i);
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
        if (unicode(bytes, size, 4, false) || unicode(bytes, size, 4, true)) {
            return SourceKind::utf32;
        }
        return unicode(bytes, size, 2, false) || unicode(bytes, size, 2, true) ? SourceKind::utf16 : SourceKind::binary;
    }
    return many_controls(bytes, size) ? SourceKind::binary : SourceKind::text;
}

}  // namespace quadrivo
