// The committed fold table against Unicode's own data, UnicodeData.txt.
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "fold.hpp"

namespace {

const char* const UNICODE_DATA = "/usr/share/unicode/UnicodeData.txt";
// The Unicode version of the UnicodeData.txt that tools/make-fold-table read.
const char* const TABLE_UNICODE = "15.0.0";

// This machine's Unicode version (its ReadMe.txt) when it is older than the
// table's, as Debian 11's 13.0.0: characters the table knows are missing there.
std::string older_unicode_data() {
    std::ifstream readme("/usr/share/unicode/ReadMe.txt");
    for (std::string line; std::getline(readme, line);) {
        const auto at = line.find("for Version ");
        int here[3] = {};
        int table[3] = {};
        if (at != std::string::npos &&
            std::sscanf(line.c_str() + at, "for Version %d.%d.%d", &here[0], &here[1], &here[2]) == 3 &&
            std::sscanf(TABLE_UNICODE, "%d.%d.%d", &table[0], &table[1], &table[2]) == 3) {
            const bool older = std::tie(here[0], here[1], here[2]) < std::tie(table[0], table[1], table[2]);
            return older ? std::to_string(here[0]) + "." + std::to_string(here[1]) + "." + std::to_string(here[2]) : "";
        }
    }
    return "";
}

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
    if (const std::string version = older_unicode_data(); !version.empty()) {
        GTEST_SKIP() << "Skipped here: this machine's Unicode data (" << version << ") is older than the fold table's ("
                     << TABLE_UNICODE << ").";
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
    if (const std::string version = older_unicode_data(); !version.empty()) {
        GTEST_SKIP() << "Skipped here: this machine's Unicode data (" << version << ") is older than the fold table's ("
                     << TABLE_UNICODE << ").";
    }
    for (const auto& [code, fields] : read_rows()) {
        const bool invisible = code == 0xAD || (code >= 0x200B && code <= 0x200D) || code == 0x2060 || code == 0xFEFF;
        const bool untypable = fields[2] == "Mn" || (fields[2] == "Zs" && code != 0x20) || invisible;
        EXPECT_EQ(quadrivo::is_typable(code), !untypable) << std::hex << static_cast<unsigned>(code);
    }
}

}  // namespace
