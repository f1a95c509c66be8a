// The spelling hint over a small calendar: typed name, the hint or none.
#include <cstdio>
#include <memory>
#include <string>

using namespace std::string_literals;

#include <gtest/gtest.h>

#include "case_name.hpp"
#include "charset.hpp"
#include "selection.hpp"
#include "spelling.hpp"

namespace {

using quadrivo::NAME;

// Windows-1252 and UTF-8 lines side by side, as calendars mix them.
const std::string CALENDAR =
    "Citt\xE0 di Montefiore - Lupi Rossi\n"
    "Lupi Rossi - S\xC3\xBC"
    "dtirol\r\n"
    "Sampdoria - Orsi\n"
    "Inter  Club - Juventus\n"
    "Juventus - Lupi Rossi\n"
    "LKS \xC5\x81\xC3\xB3"
    "d\xC5\xBA - Orsi\n"
    "Z                   Y - Orsi\n"
    "Aquila - Cervo\n"
    "Aquile - Cerva\n"
    "Aquile - Orsi\tNeri\n"
    "Citt\xE0 S\xC3\xBC"
    "d - Orsi\n"
    "Lazio - Roma FC\xC2\xA0"
    "Club\n"
    "Mu\xCC\x88"
    "nchen - Orsi\n"
    "Bo\xE2\x80\x8B"
    "russia - Orsi\n"
    "Cremonese - Parma\n"
    "Orsi - Gazzella\n"
    "Fioren\xC2\xAD"
    "tina - Orsi\n"
    "Citta\xCC\x80 di Castelnuovo - Orsi\n" +
    std::string(187, 'w') + " Zebratonelloxxxxxxxxx - Orsi\n";

struct Hint {
    const char* what;
    std::u32string typed;
    std::u32string hint;  // empty: none
    bool any_character = true;
};

void PrintTo(const Hint& c, std::ostream* os) {
    *os << c.what;
}

const Hint hints[] = {
    {"case", U"juventus", U"Juventus"},
    {"accent in Windows-1252", U"citta di montefiore", U"Citt\u00E0 di Montefiore"},
    {"accent in UTF-8", U"Sudtirol", U"S\u00FCdtirol"},
    {"letter with a stroke", U"lks lodz", U"LKS \u0141\u00F3d\u017A"},
    {"letter the console cannot show", U"lks lodz", U"", false},
    {"run of blanks", U"inter club", U"Inter  Club"},
    {"blanks at the ends", U"  Juventus ", U"Juventus"},
    {"a letter wrong", U"Juventos", U"Juventus"},
    {"a letter missing", U"Juvntus", U"Juventus"},
    {"a letter extra", U"Juvenntus", U"Juventus"},
    {"neighbours swapped", U"Juevntus", U"Juventus"},
    {"neighbours swapped across two pieces", U"Juvnetus", U"Juventus"},
    {"two swaps at pieces' edges", U"Lpui Rsosi", U"Lupi Rossi"},
    {"a no-break space", U"Roma FC Club", U"Roma FC\u00A0Club"},
    {"a combining accent", U"Munchen", U"Mu\u0308nchen"},
    {"a zero-width space", U"Borussia", U"Bo\u200Brussia"},
    {"no typo under 5 letters", U"Orso", U""},
    {"two typos from 10 letters", U"Lupy Rosso", U"Lupi Rossi"},
    {"two typos under 10 letters", U"Jvuentos", U""},
    {"whole word first", U"Sampdora", U"Sampdoria"},
    {"most lines next", U"Aquilx", U"Aquile"},
    {"first in the file last", U"Cervx", U"Cervo"},
    {"longer than 19 characters", U"z y", U""},
    {"a tab inside", U"orsi neri", U""},
    {"encodings mixed", U"citta sud", U""},
    {"nothing near", U"Barcellona", U""},
    {"blanks only", U"   ", U""},
    {"NUL typed", U"Juve\0tus"s, U"Juventus"},
    {"an extra first letter", U"XCremonese", U"Cremonese"},
    {"a name only inside words", U"arm", U""},
    {"a name of two letters", U"Pa", U""},
    {"words ending at the line's end", U"Gazzell", U"Gazzella"},
    {"a soft hyphen inside a word", U"Fiorentina", U"Fioren\u00ADtina"},
    {"a decomposed accent past 19 characters, never cut in a word", U"citta di castelnuov", U"Citta\u0300 di"},
    {"a word cut at 200 bytes", U"Zebratone", U""},
    {"a blank typed is one typo", U"Juven tus", U"Juventus"},
    {"a blank for a letter is two", U"Samp oria", U""},
    {"a blank swapped with a letter is two", U"RomaF C", U""},
    {"a letter for a blank, two typos allowed", U"LupixRossi", U"Lupi Rossi"},
};

class Spelling : public ::testing::TestWithParam<Hint> {};

// The hint for the typed name over the calendar's lines, as the pass keeps them; empty for none.
std::u32string hint_in(const std::string& calendar, const Hint& c) {
    char32_t nome[NAME];
    c.typed.copy(nome, c.typed.size());
    std::FILE* read1 = std::tmpfile();
    std::fwrite(calendar.data(), 1, calendar.size(), read1);
    std::rewind(read1);
    quadrivo::SourceLines lines(read1);
    EXPECT_TRUE(lines.start());
    auto read = std::make_unique<quadrivo::ReadLines>();
    char riga[quadrivo::ROW];
    for (int len; (len = lines.next(riga)) > 0;) {
        read->add(riga, len);
    }
    quadrivo::Spelling found;
    const bool hinted = quadrivo::find_spelling(*read, nome, static_cast<int>(c.typed.size()), c.any_character, found);
    std::fclose(read1);
    return hinted ? std::u32string(found.text, static_cast<std::size_t>(found.length)) : U"";
}

TEST_P(Spelling, HintIsTheFilesOwnSpelling) {
    const Hint& c = GetParam();
    EXPECT_EQ(hint_in(CALENDAR, c), c.hint);
}

INSTANTIATE_TEST_SUITE_P(Cases, Spelling, ::testing::ValuesIn(hints), case_name<Hint>);

// The hint over a real calendar, as users typed the names.
std::string serie_a() {
    std::FILE* file = std::fopen(QUADRIVO_SERIEA, "rb");
    std::string text;
    for (int c; file != nullptr && (c = std::fgetc(file)) != EOF;) {
        text += static_cast<char>(c);
    }
    if (file != nullptr) {
        std::fclose(file);
    }
    return text;
}

const Hint real_hints[] = {
    {"Cremona", U"Cremona", U"Cremonese"},
    {"Inter and a blank", U"Inter ", U"Internazionale"},
    {"napol", U"napol", U"Napoli"},
    {"sassuol", U"sassuol", U"Sassuolo"},
    {"juve", U"juve", U"Juventus"},
    {"Xnapoli", U"Xnapoli", U"Napoli"},
    {"Rma", U"Rma", U""},
    {"Lan", U"Lan", U""},
    {"ca", U"ca", U""},
    {"internazionale mila", U"internazionale mila", U"Internazionale"},
    {"Monza is no date", U"Monza", U""},
    {"a letter for a blank", U"HellasxVerona", U"Hellas Verona"},
    {"a blank left out", U"ACMilan", U"AC Milan"},
};

class RealSpelling : public ::testing::TestWithParam<Hint> {};

TEST_P(RealSpelling, HintIsWholeWordsOfTheFile) {
    const Hint& c = GetParam();
    EXPECT_EQ(hint_in(serie_a(), c), c.hint);
}

INSTANTIATE_TEST_SUITE_P(SerieA, RealSpelling, ::testing::ValuesIn(real_hints), case_name<Hint>);

// A UTF-8 mark at the file's start is no part of a word, whatever the console shows.
const Hint marked[] = {
    {"any character", U"juventus", U"Juventus"},
    {"Windows-1252 only", U"juventus", U"Juventus", false},
    {"a typo", U"juventos", U"Juventus", false},
};

class MarkedSpelling : public ::testing::TestWithParam<Hint> {};

TEST_P(MarkedSpelling, HintLeavesTheMarkOut) {
    EXPECT_EQ(hint_in("\xEF\xBB\xBFJuventus v Parma\nParma - Lecce\n", GetParam()), GetParam().hint);
}

INSTANTIATE_TEST_SUITE_P(Mark, MarkedSpelling, ::testing::ValuesIn(marked), case_name<Hint>);

}  // namespace
