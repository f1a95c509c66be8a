// Which names look like originale.txt, and the advice each gets with
// extensions shown (Linux) and hidden (Windows Explorer).
#include <string>

#include <gtest/gtest.h>

#include "case_name.hpp"
#include "telling.hpp"

namespace {

using quadrivo::Cause;
using quadrivo::Likeness;

struct Named {
    const char* what;
    std::u32string name;
    Likeness likeness;
    Cause shown;  // the cause where extensions show
    Cause hidden;  // where Explorer hides them
};

void PrintTo(const Named& c, std::ostream* os) {
    *os << c.what;
}

const Cause RENAME = Cause::look_alike;
const Cause SAVE = Cause::look_alike_document;
const Cause STEM = Cause::look_alike_txt;
const Cause SHOW = Cause::look_alike_extension;
const Cause NONE = Cause::none;

const Named nameds[] = {
    {"the stem alone", U"originale", Likeness::stem, RENAME, RENAME},
    {"a hidden .txt, capitals", U"ORIGINALE.TXT.txt", Likeness::stem, RENAME, STEM},
    {"another extension", U"originale.csv", Likeness::stem, RENAME, SHOW},
    {"a workbook", U"originale.XLSX", Likeness::stem, SAVE, SAVE},
    {"a browser's copy", U"originale (1).txt", Likeness::copy, RENAME, STEM},
    {"a number without a blank", U"originale(12).csv", Likeness::copy, RENAME, SHOW},
    {"Windows' copy, no extension", U"originale - Copia", Likeness::copy, RENAME, RENAME},
    {"a copy's copy, a document", U"originale - copy (3).docx", Likeness::copy, SAVE, SAVE},
    {"no digits", U"originale ().txt", Likeness::none, NONE, NONE},
    {"a number not closed", U"originale (1", Likeness::none, NONE, NONE},
    {"more after the number", U"originale (1)x.txt", Likeness::none, NONE, NONE},
    {"a copy of a copy's name", U"originale (1) - Copia.txt", Likeness::none, NONE, NONE},
    {"a name the user chose", U"originale_vecchio.txt", Likeness::none, NONE, NONE},
    {"a shortcut", U"originale.lnk", Likeness::none, NONE, NONE},
    {"Windows' shortcut to it", U"originale.txt - Collegamento.lnk", Likeness::none, NONE, NONE},
    {"a copy's shortcut, capitals", U"Originale - Copia.LNK", Likeness::none, NONE, NONE},
    {"shorter than the stem", U"origina", Likeness::none, NONE, NONE},
    {"a letter beyond ASCII after the stem", U"originale\u00E8.txt", Likeness::none, NONE, NONE},
};

class Names : public ::testing::TestWithParam<Named> {};

TEST_P(Names, LookAlikeAndAdvice) {
    const Named& c = GetParam();
    const int length = static_cast<int>(c.name.size());
    EXPECT_EQ(quadrivo::likeness(c.name.data(), length), c.likeness);
    if (c.likeness != Likeness::none) {
        quadrivo::LookAlike found;
        c.name.copy(found.name, c.name.size());
        found.length = length;
        EXPECT_EQ(quadrivo::look_alike_cause(found, false), c.shown);
        EXPECT_EQ(quadrivo::look_alike_cause(found, true), c.hidden);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Names, ::testing::ValuesIn(nameds), case_name<Named>);

}  // namespace
