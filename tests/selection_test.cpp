// The selection pass on temporary streams: which lines reach the calendar, and how.
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "case_name.hpp"

#include "selection.hpp"

namespace {

using quadrivo::NAME;
using quadrivo::SelectionResult;
using namespace std::string_literals;

// Runs the pass with the name on the given source bytes; returns what it wrote.
std::string select(const std::string& name, const std::string& source) {
    char nome[NAME];
    std::memcpy(nome, name.data(), name.size());
    nome[name.size()] = '\n';
    std::FILE* read1 = std::tmpfile();
    std::FILE* write1 = std::tmpfile();
    std::fwrite(source.data(), 1, source.size(), read1);
    std::rewind(read1);
    EXPECT_EQ(quadrivo::select_team_lines(read1, write1, nome, static_cast<int>(name.size())), SelectionResult::ok);
    std::rewind(write1);
    std::string written;
    for (int c; (c = std::getc(write1)) != EOF;) {
        written += static_cast<char>(c);
    }
    std::fclose(read1);
    std::fclose(write1);
    return written;
}

std::string lines(int count, const std::string& line) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += line;
    }
    return text;
}

struct Case {
    const char* what;
    std::string name;
    std::string source;
    std::string expected;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

const std::string a195(195, 'a');
const std::string a196(196, 'a');
const std::string a198(198, 'a');
const std::string b46(46, 'b');

const Case cases[] = {
    {"plain match", "Delfini", "Delfini - Lupi\n", "Delfini - Lupi\n\n"},
    {"case matters", "Delfini", "delfini - lupi\nDELFINI - LUPI\n", ""},
    {"only matching lines, in order", "Lupi", "Orsi - Lupi\nOrsi - Falchi\nLupi - Falchi\n",
     "Orsi - Lupi\n\nLupi - Falchi\n\n"},
    {"written once when found twice", "Lupi", "Lupi - Lupi\n", "Lupi - Lupi\n\n"},
    {"name right before the line end", "Lupi", "Orsi - Lupi\n", "Orsi - Lupi\n\n"},
    {"overlapping false start", "aab", "aaab\n", "aaab\n\n"},
    {"name longer than the line", "Delfini", "Delf\n", ""},
    {"name never spans two lines", "ab", "a\nb\n", ""},
    {"empty line never selected", "x", "\n\n", ""},
    {"empty name selects nothing", "", "Lupi\n\nx\n", ""},
    {"blanks must match", "Lupi Rossi", "Lupi Rossi - Orsi\nLupi  Rossi - Orsi\nLupiRossi\n",
     "Lupi Rossi - Orsi\n\n"},
    {"19-character name", "Polisportiva Aurora", "Polisportiva Aurora - Lupi\n", "Polisportiva Aurora - Lupi\n\n"},
    {"120th line is examined", "Lupi", lines(119, "Orsi\n") + "Lupi\n", "Lupi\n\n"},
    {"121st line is not", "Lupi", lines(120, "Orsi\n") + "Lupi\n", ""},
    {"source with fewer lines", "Lupi", "Lupi\n", "Lupi\n\n"},
    {"empty source", "Lupi", "", ""},
    {"last line without line end", "Lupi", "Orsi\nLupi - Orsi", "Lupi - Orsi\n\n"},
    {"unselected last line without line end", "Lupi", "Lupi\nOrsi", "Lupi\n\n"},
    {"250-character line, name in the first piece", "Lupi", "Lupi" + a196 + b46 + "cccc\n",
     "Lupi" + a196 + "\n"},
    {"250-character line, name in the second piece", "Lupi", a196 + "cccc" + b46 + "Lupi\n", b46 + "Lupi\n\n"},
    {"name ending exactly at the 200th character", "Lupi", a196 + "Lupi" + b46 + "cccc\n", a196 + "Lupi\n"},
    {"name across the 200th character", "Lupi", a198 + "Lupi" + b46 + "cc\n", ""},
    {"200 characters then the line end", "Lupi", a196 + "Lupi\nLupi\n", a196 + "Lupi\n" + "Lupi\n\n"},
    {"200-character piece at the end of the file", "Lupi", a196 + "Lupi", a196 + "Lupi\n"},
    {"pieces count toward the 120", "Lupi", lines(119, "Orsi\n") + a196 + "cccc" + "Lupi\n", ""},
    {"CR LF read as the line end", "Lupi", "Orsi - Lupi\r\nOrsi\r\n", "Orsi - Lupi\n\n"},
    {"CR of CR LF not counted toward 200", "Lupi", a195 + "Lupi\r\nLupi\r\n", a195 + "Lupi\n\n" + "Lupi\n\n"},
    {"lone CR is an ordinary character", "i\rL", "Orsi\rLupi\n", "Orsi\rLupi\n\n"},
    {"CR CR LF keeps the first CR", "Lupi", "Lupi\r\r\n", "Lupi\r\n\n"},
    {"NUL bytes inside line and name", "a\0b"s, "x\0a\0b\n"s "xa\0c\n"s, "x\0a\0b\n\n"s},
    {"high bytes", "S\xFC" "dtirol", "\xFF S\xFC" "dtirol\nSudtirol\n", "\xFF S\xFC" "dtirol\n\n"},
};

class Selection : public ::testing::TestWithParam<Case> {};

TEST_P(Selection, WritesExactlyTheLinesHoldingTheName) {
    const Case& c = GetParam();
    EXPECT_EQ(select(c.name, c.source), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, Selection, ::testing::ValuesIn(cases), case_name<Case>);

TEST(SelectionFailures, ReadErrorIsReported) {
    char nome[NAME] = "Lupi\n";
    std::FILE* read1 = std::fopen(".", "r");  // a folder: opens, but every read fails
    ASSERT_NE(read1, nullptr);
    std::FILE* write1 = std::tmpfile();
    EXPECT_EQ(quadrivo::select_team_lines(read1, write1, nome, 4), SelectionResult::read_failed);
    std::fclose(read1);
    std::fclose(write1);
}

TEST(SelectionFailures, WriteErrorIsReported) {
    char nome[NAME] = "Lupi\n";
    std::FILE* read1 = std::tmpfile();
    std::fputs("Lupi\n", read1);
    std::rewind(read1);
    std::FILE* write1 = std::fopen("/dev/full", "w");
    ASSERT_NE(write1, nullptr);
    std::setvbuf(write1, nullptr, _IONBF, 0);
    EXPECT_EQ(quadrivo::select_team_lines(read1, write1, nome, 4), SelectionResult::write_failed);
    std::fclose(read1);
    std::fclose(write1);
}

}  // namespace
