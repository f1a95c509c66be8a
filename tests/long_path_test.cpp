// The long form of full Windows paths, as the Windows program names its files.
#include <string>

#include <gtest/gtest.h>

#include "case_name.hpp"
#include "long_path.hpp"

namespace {

// A folder of 258 characters in all, the longest a program can start in.
const std::u16string LONGEST = u"C:\\" + std::u16string(255, u'd');

struct Path {
    const char* what;
    std::u16string full;
    std::u16string long_form;  // empty: does not fit
    int capacity;
};

void PrintTo(const Path& c, std::ostream* os) {
    *os << c.what;
}

const Path paths[] = {
    {"a file in the longest folder", LONGEST + u"\\calendario.txt", u"\\\\?\\" + LONGEST + u"\\calendario.txt", 1024},
    {"a drive's root", u"C:\\originale.txt", u"\\\\?\\C:\\originale.txt", 1024},
    {"a share", u"\\\\server\\share\\Calendari\\originale.txt", u"\\\\?\\UNC\\server\\share\\Calendari\\originale.txt",
     1024},
    {"a long form already", u"\\\\?\\C:\\x\\originale.txt", u"\\\\?\\C:\\x\\originale.txt", 1024},
    {"just fits", u"C:\\ab", u"\\\\?\\C:\\ab", 10},
    {"does not fit", u"C:\\abc", u"", 10},
};

class LongForm : public ::testing::TestWithParam<Path> {};

TEST_P(LongForm, PassesMaxPath) {
    const Path& c = GetParam();
    char16_t out[1024];
    const int length = quadrivo::long_form(c.full.data(), static_cast<int>(c.full.size()), out, c.capacity);
    EXPECT_EQ(length < 0 ? std::u16string() : std::u16string(out), c.long_form);
    EXPECT_EQ(length, c.long_form.empty() ? -1 : static_cast<int>(c.long_form.size()));
}

INSTANTIATE_TEST_SUITE_P(Cases, LongForm, ::testing::ValuesIn(paths), case_name<Path>);

}  // namespace
