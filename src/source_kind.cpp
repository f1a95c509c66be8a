// Signatures and the shares of zero bytes that tell a calendar from a file
// that is no text. A byte pattern at the start decides only where it is a
// format's own signature; text that merely begins with "PK" or "MZ" stays text.
#include "source_kind.hpp"

#include <cstring>

namespace quadrivo {

namespace {

// Tells whether the bytes begin with the signature of length bytes.
bool begins(const unsigned char* bytes, std::size_t size, const char* signature, std::size_t length) {
    return size >= length && std::memcmp(bytes, signature, length) == 0;
}

// The little-endian 16-bit and 32-bit values at offset.
unsigned le16(const unsigned char* at) {
    return at[0] | (at[1] << 8u);
}
unsigned long le32(const unsigned char* at) {
    return le16(at) | (static_cast<unsigned long>(le16(at + 2)) << 16);
}

// Tells whether a zip's first entry names an office document's part:
// Office Open XML's [Content_Types].xml, _rels/ or docProps/, OpenDocument's mimetype.
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
    return is("[Content_Types].xml") || is("mimetype") || under("_rels/") || under("docProps/");
}

// Tells whether the bytes are a Windows program: MZ, and "PE\0\0" where the
// value at 0x3C points.
bool windows_program(const unsigned char* bytes, std::size_t size) {
    if (!begins(bytes, size, "MZ", 2) || size < 0x40) {
        return false;
    }
    const unsigned long at = le32(bytes + 0x3C);
    return at <= size - 4 && std::memcmp(bytes + at, "PE\0\0", 4) == 0;
}

// Counts the zero bytes at each position modulo 4, and the bytes there.
struct ZeroShares {
    std::size_t zeros[4] = {};
    std::size_t bytes[4] = {};

    // Text has few zero bytes or none: they are found by memchr, which looks
    // at many bytes a step, and the bytes at each place are counted, not looked at.
    ZeroShares(const unsigned char* at, std::size_t size) {
        for (std::size_t i = 0; i < 4; ++i) {
            bytes[i] = size / 4 + (i < size % 4 ? 1 : 0);
        }
        for (const void* zero = std::memchr(at, 0, size); zero != nullptr;) {
            const auto i = static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - at);
            ++zeros[i % 4];
            zero = i + 1 < size ? std::memchr(at + i + 1, 0, size - i - 1) : nullptr;
        }
    }
    // Zeros and bytes at even (parity 0) or odd (parity 1) positions.
    std::size_t zeros_at(int parity) const { return zeros[parity] + zeros[parity + 2]; }
    std::size_t bytes_at(int parity) const { return bytes[parity] + bytes[parity + 2]; }
};

// Tells whether count of total is at least a quarter, or under a tenth.
bool many(std::size_t count, std::size_t total) {
    return 4 * count >= total && total > 0;
}
bool few(std::size_t count, std::size_t total) {
    return 10 * count < total;
}

// UTF-16 without a mark: most characters of a calendar have a zero high
// byte, at even places (big-endian) or odd ones (little-endian); symbols such
// as dashes have none, so a share decides, never every byte.
bool utf16_unmarked(const ZeroShares& z) {
    return (many(z.zeros_at(0), z.bytes_at(0)) && few(z.zeros_at(1), z.bytes_at(1))) ||
           (many(z.zeros_at(1), z.bytes_at(1)) && few(z.zeros_at(0), z.bytes_at(0)));
}

// UTF-32 without a mark: of each four bytes, the highest is always zero and
// the lowest almost never.
bool utf32_unmarked(const ZeroShares& z) {
    const bool little = z.zeros[3] == z.bytes[3] && many(z.zeros[2], z.bytes[2]) && few(z.zeros[0], z.bytes[0]);
    const bool big = z.zeros[0] == z.bytes[0] && many(z.zeros[1], z.bytes[1]) && few(z.zeros[3], z.bytes[3]);
    return little || big;
}

}  // namespace

SourceKind recognise(const unsigned char* bytes, std::size_t size) {
    if (begins(bytes, size, "\xFF\xFE\0\0", 4) || begins(bytes, size, "\0\0\xFE\xFF", 4)) {
        return SourceKind::utf32;
    }
    if (begins(bytes, size, "\xFF\xFE", 2) || begins(bytes, size, "\xFE\xFF", 2)) {
        return SourceKind::utf16;
    }
    const bool zip = begins(bytes, size, "PK\3\4", 4);
    if ((zip && office_zip(bytes, size)) || begins(bytes, size, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) ||
        begins(bytes, size, "{\\rtf", 5)) {
        return SourceKind::document;
    }
    if (begins(bytes, size, "%PDF-", 5) && size > 5 && bytes[5] >= '0' && bytes[5] <= '9') {
        return SourceKind::pdf;
    }
    if (zip || begins(bytes, size, "\x1F\x8B", 2) || begins(bytes, size, "7z\xBC\xAF\x27\x1C", 6) ||
        begins(bytes, size, "\x89PNG\r\n\x1A\n", 8) || begins(bytes, size, "\xFF\xD8\xFF", 3) ||
        begins(bytes, size, "GIF87a", 6) || begins(bytes, size, "GIF89a", 6) || windows_program(bytes, size) ||
        begins(bytes, size,
               "\x7F"
               "ELF",
               4)) {
        return SourceKind::binary;
    }
    if (size < 4) {
        return SourceKind::text;  // too little to count shares of
    }
    const ZeroShares shares(bytes, size);
    if (size >= 8 && utf32_unmarked(shares)) {
        return SourceKind::utf32;
    }
    return utf16_unmarked(shares) ? SourceKind::utf16 : SourceKind::text;
}

}  // namespace quadrivo
