// What the first block of originale.txt says the file is: signatures, the
// structure of UTF-16 and UTF-32, and the rule for text.
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "case_name.hpp"
#include "not_text.hpp"
#include "source_kind.hpp"

namespace {

using quadrivo::SourceKind;
struct Kind {
    const char* what;
    std::string bytes;
    SourceKind kind;
};

void PrintTo(const Kind& c, std::ostream* os) {
    *os << c.what;
}

const std::u32string LINE = U"\u25AA 1a giornata \u2013 Lupi Rossi - Orsi 2-1\r\n";
// The first block the pass reads of the project's copy of a real calendar.
std::string serie_a() {
    std::ifstream file(QUADRIVO_SERIEA, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str().substr(0, 8192);
}
const std::u32string SERIE_A = from_utf8(serie_a());

const Kind kinds[] = {
    {"a calendar", "1a giornata\nLupi - Orsi 2-1\n", SourceKind::text},
    {"UTF-8 with its mark", "\xEF\xBB\xBFLupi - Orsi\n", SourceKind::text},
    {"a NUL byte in a line", "Lupi\0 - Orsi 2-1\nOrsi - Lupi\n"s, SourceKind::binary},
    {"NUL bytes before two blanks read as UTF-16BE", "Lupi\0 - Orsi\0 2-1\nOrsi - Lupi\n"s, SourceKind::utf16},
    {"only zero bytes", std::string(8000, '\0'), SourceKind::binary},
    {"one control in 20 bytes", std::string(19, 'a') + "\x01", SourceKind::text},
    {"two controls in 20 bytes", std::string(18, 'a') + "\x01\x7F\x1F", SourceKind::binary},
    {"random bytes", random_bytes(8000, 31), SourceKind::binary},
    {"400 random bytes, none zero", random_bytes(400, 31, true), SourceKind::binary},
    {"xz",
     header_then_zeros("\xFD"
                       "7zXZ\0\0\x04\xE6\xD6\xB4\x46"s),
     SourceKind::binary},
    {"bzip2", "BZh91AY&SY" + random_bytes(2000, 7), SourceKind::binary},
    {"tar holding a calendar", tar_with("calendario.txt", "Lupi - Orsi 2-1\n"), SourceKind::binary},
    {"SQLite", header_then_zeros("SQLite format 3\0\x10\0\x01\x01\0\x40\x20\x20"s), SourceKind::binary},
    {"WebP", header_then_zeros("RIFF\x24\0\0\0WEBPVP8 "s), SourceKind::binary},
    {"BMP", header_then_zeros("BM\x36\0\0\0\0\0\0\0\x36\0\0\0"s), SourceKind::binary},
    {"TIFF", header_then_zeros("II*\0\x08\0\0\0"s), SourceKind::binary},
    {"HEIC",
     header_then_zeros("\0\0\0\x18"
                       "ftypheic\0\0\0\0mif1heic"s),
     SourceKind::binary},
    {"MP4",
     header_then_zeros("\0\0\0\x20"
                       "ftypisom\0\0\x02\0isomiso2avc1mp41"s),
     SourceKind::binary},
    {"MP3", header_then_zeros("ID3\x04\0\0\0\0\x01\0\xFF\xFB\x90\x64"s), SourceKind::binary},
    {"Java class", header_then_zeros("\xCA\xFE\xBA\xBE\0\0\0\x41"s), SourceKind::binary},
    {"Mach-O program", header_then_zeros("\xCF\xFA\xED\xFE\x0C\0\0\x01"s), SourceKind::binary},
    {"Windows shortcut", header_then_zeros("L\0\0\0\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0F"s), SourceKind::binary},
    {"a real calendar", serie_a(), SourceKind::text},
    {"a real calendar in Windows-1252", as_windows_1252(SERIE_A), SourceKind::text},
    {"dense Latin-1", std::string(40, '\xE0') + "\xC8\xC9\xCC\xD2\xD9 - Citt\xE0\n", SourceKind::text},
    {"tabs, vertical tabs and form feeds", "Lupi\t-\tOrsi\v2-1\f\r\n\f", SourceKind::text},
    {"a DOS file ending in Ctrl-Z", "Lupi - Orsi 2-1\r\n\x1A", SourceKind::text},
    {"colour escapes", "\x1B[1;31mLupi\x1B[0m - Orsi\n", SourceKind::text},
    {"text beginning with PK", "PK Lupi - Orsi 2-1\n", SourceKind::text},
    {"text beginning with MZ", "MZ Lupi - Orsi 2-1, " + std::string(80, 'x') + "\n", SourceKind::text},
    {"text beginning with %PDF", "%PDF, Lupi - Orsi\n", SourceKind::text},
    {"UTF-16LE with its mark", "\xFF\xFE" + wide(LINE, 2), SourceKind::utf16},
    {"UTF-16BE with its mark", "\xFE\xFF" + wide(LINE, 2, true), SourceKind::utf16},
    {"UTF-16LE without a mark, symbols and dashes", wide(LINE + LINE, 2), SourceKind::utf16},
    {"UTF-16BE without a mark", wide(LINE + LINE, 2, true), SourceKind::utf16},
    {"UTF-16 beginning with a dash", wide(U"\u2013 Lupi - Orsi\r\n", 2), SourceKind::utf16},
    {"UTF-16LE box drawing without a mark", wide(BOXES, 2), SourceKind::utf16},
    {"UTF-16BE box drawing without a mark", wide(BOXES, 2, true), SourceKind::utf16},
    {"UTF-16LE Greek without a mark", wide(GREEK, 2), SourceKind::utf16},
    {"UTF-16BE Greek without a mark", wide(GREEK, 2, true), SourceKind::utf16},
    {"UTF-16LE Cyrillic without a mark", wide(CYRILLIC, 2), SourceKind::utf16},
    {"UTF-16BE Cyrillic without a mark", wide(CYRILLIC, 2, true), SourceKind::utf16},
    {"UTF-16LE CJK without a mark", wide(CJK, 2), SourceKind::utf16},
    {"UTF-16BE CJK without a mark", wide(CJK, 2, true), SourceKind::utf16},
    {"UTF-16, a pair cut by the block's end", wide(LINE, 2) + "\x3D\xD8", SourceKind::utf16},
    {"UTF-16, an odd last byte", wide(LINE, 2) + "x", SourceKind::utf16},
    {"UTF-16, a lone low surrogate", wide(LINE, 2) + "\0\xDC"s + wide(LINE, 2), SourceKind::binary},
    {"a stray NUL beside a blank",
     "Lupi - Orsi \0"
     "2-1\n"s,
     SourceKind::binary},
    {"UTF-32BE Greek without a mark", wide(GREEK, 4, true), SourceKind::utf32},
    {"UTF-32LE beyond U+10FFFF", wide(LINE, 4) + "\0\0\x11\0"s, SourceKind::binary},
    {"UTF-32LE with its mark, not UTF-16", "\xFF\xFE\0\0"s + wide(LINE, 4), SourceKind::utf32},
    {"UTF-32BE with its mark", "\0\0\xFE\xFF"s + wide(LINE, 4, true), SourceKind::utf32},
    {"UTF-32LE without a mark", wide(LINE, 4), SourceKind::utf32},
    {"UTF-32BE without a mark", wide(LINE, 4, true), SourceKind::utf32},
    {"xlsx", zip_with("[Content_Types].xml"), SourceKind::document},
    {"ods", zip_with("mimetype"), SourceKind::document},
    {"docx by Word", zip_with("_rels/.rels"), SourceKind::document},
    {"xlsx by Excel", zip_with("docProps/app.xml"), SourceKind::document},
    {"xlsx, a sheet first", zip_with("xl/workbook.xml"), SourceKind::document},
    {"docx, the document first", zip_with("word/document.xml"), SourceKind::document},
    {"pptx", zip_with("ppt/presentation.xml"), SourceKind::document},
    {"old Office file", "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"s + std::string(100, '\0'), SourceKind::document},
    {"RTF", "{\\rtf1\\ansi Lupi - Orsi}", SourceKind::document},
    {"PDF", "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n", SourceKind::pdf},
    {"another zip", zip_with("calendario.txt"), SourceKind::binary},
    {"gzip", "\x1F\x8B\x08\0"s, SourceKind::binary},
    {"7z", "7z\xBC\xAF\x27\x1C\0\x04"s, SourceKind::binary},
    {"PNG", "\x89PNG\r\n\x1A\n\0\0\0\rIHDR"s, SourceKind::binary},
    {"JPEG", "\xFF\xD8\xFF\xE0\0\x10JFIF"s, SourceKind::binary},
    {"GIF", "GIF89a\x01\0\x01\0"s, SourceKind::binary},
    {"Windows program", windows_program(), SourceKind::binary},
    {"ELF program",
     "\x7F"
     "ELF\x02\x01\x01\0"s,
     SourceKind::binary},
};

class Recognised : public ::testing::TestWithParam<Kind> {};

TEST_P(Recognised, FromTheFirstBlock) {
    const Kind& c = GetParam();
    EXPECT_EQ(quadrivo::recognise(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size()), c.kind);
}

INSTANTIATE_TEST_SUITE_P(Cases, Recognised, ::testing::ValuesIn(kinds), case_name<Kind>);

}  // namespace
