// What the first block of originale.txt says the file is: signatures and shares of zero bytes.
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

const Kind kinds[] = {
    {"a calendar", "1a giornata\nLupi - Orsi 2-1\n", SourceKind::text},
    {"UTF-8 with its mark", "\xEF\xBB\xBFLupi - Orsi\n", SourceKind::text},
    {"a few NUL bytes in a line", "Lupi\0 - Orsi\0 2-1\nOrsi - Lupi\n"s, SourceKind::text},
    {"text beginning with PK", "PK Lupi - Orsi 2-1\n", SourceKind::text},
    {"text beginning with MZ", "MZ Lupi - Orsi 2-1, " + std::string(80, 'x') + "\n", SourceKind::text},
    {"text beginning with %PDF", "%PDF, Lupi - Orsi\n", SourceKind::text},
    {"UTF-16LE with its mark", "\xFF\xFE" + wide(LINE, 2), SourceKind::utf16},
    {"UTF-16BE with its mark", "\xFE\xFF" + wide(LINE, 2, true), SourceKind::utf16},
    {"UTF-16LE without a mark, symbols and dashes", wide(LINE + LINE, 2), SourceKind::utf16},
    {"UTF-16BE without a mark", wide(LINE + LINE, 2, true), SourceKind::utf16},
    {"UTF-16 beginning with a dash", wide(U"\u2013 Lupi - Orsi\r\n", 2), SourceKind::utf16},
    {"UTF-32LE with its mark, not UTF-16", "\xFF\xFE\0\0"s + wide(LINE, 4), SourceKind::utf32},
    {"UTF-32BE with its mark", "\0\0\xFE\xFF"s + wide(LINE, 4, true), SourceKind::utf32},
    {"UTF-32LE without a mark", wide(LINE, 4), SourceKind::utf32},
    {"UTF-32BE without a mark", wide(LINE, 4, true), SourceKind::utf32},
    {"xlsx", zip_with("[Content_Types].xml"), SourceKind::document},
    {"ods", zip_with("mimetype"), SourceKind::document},
    {"docx by Word", zip_with("_rels/.rels"), SourceKind::document},
    {"xlsx by Excel", zip_with("docProps/app.xml"), SourceKind::document},
    {"old Office file", "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"s + std::string(100, '\0'), SourceKind::document},
    {"xlsx saved by openpyxl", office_file("calendario.xlsx"), SourceKind::document},
    {"docx saved by python-docx", office_file("calendario.docx"), SourceKind::document},
    {"ods saved by odfpy", office_file("calendario.ods"), SourceKind::document},
    {"odt saved by odfpy", office_file("calendario.odt"), SourceKind::document},
    {"xls saved by xlwt", office_file("calendario.xls"), SourceKind::document},
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
