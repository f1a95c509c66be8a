// The selection pass on temporary streams: which lines reach the calendar, and how.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "case_name.hpp"

#include "selection.hpp"

namespace {

using quadrivo::NAME;
using quadrivo::SelectionResult;
using namespace std::string_literals;

// What a pass did, as the tests see it.
struct Pass {
    std::string written;
    int selected;
    bool more_lines;
};

// Runs the pass with the name (its characters) on the given source bytes.
Pass select(const std::u32string& name, const std::string& source) {
    char32_t nome[NAME];
    std::copy(name.begin(), name.end(), nome);
    nome[name.size()] = '\n';
    std::FILE* read1 = std::tmpfile();
    std::fwrite(source.data(), 1, source.size(), read1);
    std::rewind(read1);
    quadrivo::SourceLines lines(read1);
    EXPECT_TRUE(lines.start());
    auto calendar = std::make_unique<quadrivo::CalendarText>();
    auto read = std::make_unique<quadrivo::ReadLines>();
    const quadrivo::SelectionReport report =
        quadrivo::select_team_lines(lines, *calendar, *read, quadrivo::TeamName(nome, static_cast<int>(name.size())));
    EXPECT_EQ(report.result, SelectionResult::ok);
    std::fclose(read1);
    // The lines kept for the hint are those the pass cut, whatever it selected.
    std::string kept;
    for (int m = 0; m < read->count(); ++m) {
        kept += read->line(m);
    }
    if (source.find_first_of("\r\x1A") == std::string::npos && !source.empty() && source.back() == '\n') {
        EXPECT_EQ(kept, source.substr(0, kept.size()));
    }
    return {std::string(calendar->data(), calendar->size()), report.selected, report.more_lines};
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
    std::u32string name;
    std::string source;
    std::string expected;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.what;
}

const std::string a195(195, 'a');
const std::string a196(196, 'a');
const std::string a198(198, 'a');
const std::string b46(46, 'b');

// What comes before a block boundary: 3896 bytes of short lines, then 4096 - 3896 = 200 bytes
// up to the end of the first block, so that a whole piece ends there.
const std::string before_last_piece = lines(40, std::string(95, 'h') + "\n") + std::string(55, 'h') + "\n";
const std::string y94(94, 'y');

const Case cases[] = {
    {"plain match", U"Delfini", "Delfini - Lupi\n", "Delfini - Lupi\n\n"},
    {"case matters", U"Delfini", "delfini - lupi\nDELFINI - LUPI\n", ""},
    {"only matching lines, in order", U"Lupi", "Orsi - Lupi\nOrsi - Falchi\nLupi - Falchi\n",
     "Orsi - Lupi\n\nLupi - Falchi\n\n"},
    {"written once when found twice", U"Lupi", "Lupi - Lupi\n", "Lupi - Lupi\n\n"},
    {"name right before the line end", U"Lupi", "Orsi - Lupi\n", "Orsi - Lupi\n\n"},
    {"overlapping false start", U"aab", "aaab\n", "aaab\n\n"},
    {"name longer than the line", U"Delfini", "Delf\n", ""},
    {"name never spans two lines", U"ab", "a\nb\n", ""},
    {"empty line never selected", U"x", "\n\n", ""},
    {"empty name selects nothing", U"", "Lupi\n\nx\n", ""},
    {"blanks must match", U"Lupi Rossi", "Lupi Rossi - Orsi\nLupi  Rossi - Orsi\nLupiRossi\n", "Lupi Rossi - Orsi\n\n"},
    {"19-character name", U"Polisportiva Aurora", "Polisportiva Aurora - Lupi\n", "Polisportiva Aurora - Lupi\n\n"},
    {"120th line is examined", U"Lupi", lines(119, "Orsi\n") + "Lupi\n", "Lupi\n\n"},
    {"121st line is not", U"Lupi", lines(120, "Orsi\n") + "Lupi\n", ""},
    {"source with fewer lines", U"Lupi", "Lupi\n", "Lupi\n\n"},
    {"empty source", U"Lupi", "", ""},
    {"last line without line end", U"Lupi", "Orsi\nLupi - Orsi", "Lupi - Orsi\n\n"},
    {"unselected last line without line end", U"Lupi", "Lupi\nOrsi", "Lupi\n\n"},
    {"250-character line, name in the first piece", U"Lupi", "Lupi" + a196 + b46 + "cccc\n", "Lupi" + a196 + "\n"},
    {"250-character line, name in the second piece", U"Lupi", a196 + "cccc" + b46 + "Lupi\n", b46 + "Lupi\n\n"},
    {"name ending exactly at the 200th character", U"Lupi", a196 + "Lupi" + b46 + "cccc\n", a196 + "Lupi\n"},
    {"name across the 200th character", U"Lupi", a198 + "Lupi" + b46 + "cc\n", ""},
    {"200 characters then the line end", U"Lupi", a196 + "Lupi\nLupi\n", a196 + "Lupi\n" + "Lupi\n\n"},
    {"200-character piece at the end of the file", U"Lupi", a196 + "Lupi", a196 + "Lupi\n"},
    {"pieces count toward the 120", U"Lupi", lines(119, "Orsi\n") + a196 + "cccc" + "Lupi\n", ""},
    {"CR LF read as the line end", U"Lupi", "Orsi - Lupi\r\nOrsi\r\n", "Orsi - Lupi\n\n"},
    {"CR of CR LF not counted toward 200", U"Lupi", a195 + "Lupi\r\nLupi\r\n", a195 + "Lupi\n\n" + "Lupi\n\n"},
    {"lone CR is an ordinary character", U"i\rL", "Orsi\rLupi\n", "Orsi\rLupi\n\n"},
    {"CR CR LF keeps the first CR", U"Lupi", "Lupi\r\r\n", "Lupi\r\n\n"},
    {"NUL bytes inside line and name", U"a\0b"s,
     "x\0a\0b\n"s
     "xa\0c\n"s,
     "x\0a\0b\n\n"s},
    {"high bytes",
     U"S\u00FC"
     "dtirol",
     "\xFF S\xFC"
     "dtirol\nSudtirol\n",
     "\xFF S\xFC"
     "dtirol\n\n"},
    // Accented names are found in either encoding; the lines go out as their bytes stand.
    {"accented name in a Windows-1252 line", U"Libert\u00E0 Calvisano", "Libert\xE0 Calvisano - Orsi\n",
     "Libert\xE0 Calvisano - Orsi\n\n"},
    {"accented name in a UTF-8 line", U"Libert\u00E0 Calvisano", "Libert\xC3\xA0 Calvisano - Orsi\n",
     "Libert\xC3\xA0 Calvisano - Orsi\n\n"},
    {"accented name in CR LF lines", U"Citt\u00E0", "Orsi - Citt\xE0\r\nOrsi\r\nCitt\xC3\xA0 - Orsi\r\n",
     "Orsi - Citt\xE0\n\nCitt\xC3\xA0 - Orsi\n\n"},
    {"accent must match", U"Citt\u00E0", "Citta\nCitt\xE8\nCitt\xC3\xA8\n", ""},
    {"name only UTF-8 can hold", U"\u0141\u00F3d\u017A",
     "LKS \xC5\x81\xC3\xB3"
     "d\xC5\xBA\nLKS L\xF3"
     "dz\n",
     "LKS \xC5\x81\xC3\xB3"
     "d\xC5\xBA\n\n"},
    {"euro sign in both forms", U"\u20AC 5", "Biglietti \x80 5\nBiglietti \xE2\x82\xAC 5\n",
     "Biglietti \x80 5\n\nBiglietti \xE2\x82\xAC 5\n\n"},
    {"unassigned byte typed",
     U"a\u0081"
     "b",
     "a\x81"
     "b\na\xC2\x81"
     "b\nab\n",
     "a\x81"
     "b\n\na\xC2\x81"
     "b\n\n"},
    {"19 accented characters", std::u32string(19, U'\u00E8'),
     std::string(19, '\xE8') + "\n" + std::string(18, '\xE8') + "\n", std::string(19, '\xE8') + "\n\n"},
    {"19 accented characters in UTF-8", std::u32string(19, U'\u00E8'), lines(19, "\xC3\xA8") + "\n",
     lines(19, "\xC3\xA8") + "\n\n"},
    {"38 UTF-8 bytes kept within a piece", std::u32string(19, U'\u00E8'), a198 + lines(19, "\xC3\xA8") + "\n", ""},
    // Where block reading meets the line rules.
    {"line across a block boundary", U"Lupi", lines(20, std::string(199, 'x') + "\n") + y94 + "Lupi\n",
     y94 + "Lupi\n\n"},
    {"CR LF across a block boundary", U"Lupi",
     lines(20, std::string(199, 'x') + "\n") + std::string(91, 'y') + "Lupi\r\n", std::string(91, 'y') + "Lupi\n\n"},
    {"piece ending at the end of a block", U"Lupi", before_last_piece + a196 + "Lupi" + b46 + "cccc\n",
     a196 + "Lupi\n"},
    {"CR of a piece at the end of a block, LF in the next", U"Lupi", before_last_piece + a195 + "Lupi\r\nLupi\n",
     a195 + "Lupi\n\n" + "Lupi\n\n"},
    // A 0x1A is data, but for the very last byte of the file.
    {"0x1A last in the file dropped", U"Lupi", "Lupi\x1A", "Lupi\n\n"},
    {"0x1A ending a block, more after", U"Lupi",
     lines(40, std::string(95, 'h') + "\n") + std::string(254, 'h') + "\n" + "\x1ALupi\n", "\x1ALupi\n\n"},
    {"0x1A ending a block, nothing after", U"Lupi",
     lines(40, std::string(95, 'h') + "\n") + std::string(254, 'h') + "\n" + "Lupi\x1A", "Lupi\n\n"},
};

class Selection : public ::testing::TestWithParam<Case> {};

TEST_P(Selection, WritesExactlyTheLinesHoldingTheName) {
    const Case& c = GetParam();
    EXPECT_EQ(select(c.name, c.source).written, c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, Selection, ::testing::ValuesIn(cases), case_name<Case>);

// How many lines a pass selected, and whether the source went on after its 120th line.
struct Count {
    const char* what;
    std::string source;
    int selected;
    bool more_lines;
};

void PrintTo(const Count& c, std::ostream* os) {
    *os << c.what;
}

const Count counts[] = {
    {"nothing selected", "Orsi\nFalchi\n", 0, false},
    {"two selected", "Lupi\nOrsi\nLupi - Orsi", 2, false},
    {"exactly 120 lines", lines(120, "Lupi\n"), 120, false},
    {"120 lines, the last without its line end", lines(119, "Lupi\n") + "Lupi", 120, false},
    {"120 lines with CR LF", lines(120, "Lupi\r\n"), 120, false},
    {"121 lines", lines(121, "Lupi\n"), 120, true},
    {"an empty line after 120 lines", lines(120, "Lupi\n") + "\n", 120, false},
    {"blanks, tabs and CR LF after 120 lines", lines(120, "Lupi\n") + " \t\r\n  \n\r\n", 120, false},
    {"a letter after blank lines after 120 lines", lines(120, "Lupi\n") + "\n \r\n\tx", 120, true},
    {"a letter after blanks that fill a block", lines(120, "Lupi\n") + std::string(9000, ' ') + "x", 120, true},
    {"a dot after 120 lines", lines(120, "Lupi\n") + ".", 120, true},
    {"the 120th line a piece of a longer one", lines(119, "Orsi\n") + a196 + "Lupi" + "cc\n", 1, true},
    {"the 120th line a piece, then only its line end", lines(119, "Orsi\n") + a196 + "Lupi\n", 1, false},
    {"the 120th line a piece, then only its CR LF", lines(119, "Orsi\n") + a196 + "Lupi\r\n", 1, false},
    {"the 120th line a piece, then a CR", lines(119, "Orsi\n") + a196 + "Lupi\rx", 1, true},
    {"the 120th line a piece, its line end, an empty line", lines(119, "Orsi\n") + a196 + "Lupi\n\n", 1, false},
    {"the 120th line a piece, then blanks", lines(119, "Orsi\n") + a196 + "Lupi   \n", 1, false},
    {"the 120th line ending at a block boundary, more after",
     lines(119, std::string(67, 'O') + "\n") + std::string(99, 'O') + "\nLupi\n", 0, true},
    {"the 120th line ending at a block boundary, nothing after",
     lines(119, std::string(67, 'O') + "\n") + std::string(99, 'O') + "\n", 0, false},
};

class Counting : public ::testing::TestWithParam<Count> {};

TEST_P(Counting, TellsWhatThePassSelectedAndLeft) {
    const Count& c = GetParam();
    const Pass pass = select(U"Lupi", c.source);
    EXPECT_EQ(pass.selected, c.selected) << c.what;
    EXPECT_EQ(pass.more_lines, c.more_lines) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, Counting, ::testing::ValuesIn(counts), case_name<Count>);

// The largest calendar a pass can make, 120 pieces of 200 bytes each with its
// line end, fits the calendar's storage whole.
TEST(Selection, FullestCalendarFits) {
    const std::string piece = "Lupi" + std::string(196, '-');
    const Pass pass = select(U"Lupi", lines(120, piece) + "\n");  // one line, cut in 120 pieces
    EXPECT_EQ(pass.selected, 120);
    EXPECT_EQ(pass.written, lines(120, piece + "\n"));
    EXPECT_EQ(pass.written.size(), 120u * 201u);
}

const char32_t LUPI[NAME] = U"Lupi\n";

TEST(SelectionFailures, ReadErrorIsReported) {
    std::FILE* read1 = std::fopen(".", "r");  // a folder: opens, but every read fails
    ASSERT_NE(read1, nullptr);
    quadrivo::SourceLines lines(read1);
    EXPECT_FALSE(lines.start());
    auto calendar = std::make_unique<quadrivo::CalendarText>();
    auto read = std::make_unique<quadrivo::ReadLines>();
    EXPECT_EQ(quadrivo::select_team_lines(lines, *calendar, *read, quadrivo::TeamName(LUPI, 4)).result,
              SelectionResult::read_failed);
    std::fclose(read1);
}

}  // namespace
