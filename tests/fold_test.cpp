// The committed fold table against Unicode's own data, UnicodeData.txt.
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fold.hpp"

namespace {

const char* const UNICODE_DATA = "/usr/share/unicode/UnicodeData.txt";

// The fields of each row of UnicodeData.txt, by code point.
std::map<char32_t, std::vector<std::string>> read_rows() {
    std::map<char32_t, std::vector<std::string>> rows;
    std::ifstream file(UNICODE_DATA);
    for (std::string row; std::getline(file, row);) {
        std::vector<std::string> fields;
        std::istringstream cells(row);
        for (std::string field; std::getline(cells, field, ';');) {
            fields.push_back(field);
        }
        rows[static_cast<char32_t>(std::stoul(fields[0], nullptr, 16))] = fields;
    }
    return rows;
}

TEST(Fold, TableIsUnicodesLowerCaseOfTheBaseLetter) {
    if (!std::ifstream(UNICODE_DATA)) {
        GTEST_SKIP() << UNICODE_DATA << " missing: install unicode-data";
    }
    const auto rows = read_rows();
    for (char32_t code = 0; code < quadrivo::FOLD_TABLE_SIZE; ++code) {
        const std::vector<std::string>& fields = rows.at(code);
        char32_t base = code;  // a canonical decomposition, followed down to its first character
        while (!rows.at(base)[5].empty() && rows.at(base)[5][0] != '<') {
            base = static_cast<char32_t>(std::stoul(rows.at(base)[5], nullptr, 16));
        }
        const std::string& lower = rows.at(base)[13];
        const char32_t expected = lower.empty() ? base : static_cast<char32_t>(std::stoul(lower, nullptr, 16));
        EXPECT_EQ(quadrivo::fold(code), expected) << std::hex << static_cast<unsigned>(code);
        EXPECT_EQ(quadrivo::is_word_character(code),
                  std::string("LMN").find(fields[2][0]) != std::string::npos || code == 0xAD)  // the soft hyphen
            << std::hex << static_cast<unsigned>(code);
    }
}

TEST(Fold, UntypableAreMarksOddSpacesAndInvisibles) {
    if (!std::ifstream(UNICODE_DATA)) {
        GTEST_SKIP() << UNICODE_DATA << " missing: install unicode-data";
    }
    for (const auto& [code, fields] : read_rows()) {
        const bool invisible = code == 0xAD || (code >= 0x200B && code <= 0x200D) || code == 0x2060 || code == 0xFEFF;
        const bool untypable = fields[2] == "Mn" || (fields[2] == "Zs" && code != 0x20) || invisible;
        EXPECT_EQ(quadrivo::is_typable(code), !untypable) << std::hex << static_cast<unsigned>(code);
    }
}

}  // namespace
