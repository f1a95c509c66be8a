// What the command line asks for, read in order, where the program's own
// table (program_test.cpp) does not reach; and when an error keeps the console
// window open.
#include <vector>

#include <gtest/gtest.h>

#include "case_name.hpp"
#include "command_line.hpp"

namespace {

using quadrivo::Request;

struct Line {
    const char* what;
    std::vector<const char*> args;  // after the program's name
    Request request;
    const char* refused;  // nullptr: none
};

void PrintTo(const Line& c, std::ostream* os) {
    *os << c.what;
}

const Line lines[] = {
    {"nothing", {}, Request::dialogue, nullptr},
    {"an option after an argument still counts", {"mio.txt", "-V"}, Request::version, nullptr},
    {"an unknown option before help", {"--verbose", "--help"}, Request::unknown_option, "--verbose"},
    {"an unknown option after an argument", {"mio.txt", "-x"}, Request::unknown_option, "-x"},
    {"the first of two arguments", {"uno", "due"}, Request::argument, "uno"},
    {"a lone dash is an argument", {"-"}, Request::argument, "-"},
    {"a double dash alone ends the options", {"--"}, Request::dialogue, nullptr},
    {"after a double dash help is an argument", {"--", "--help"}, Request::argument, "--help"},
    {"options are whole words", {"--helpx"}, Request::unknown_option, "--helpx"},
};

class CommandLineRead : public ::testing::TestWithParam<Line> {};

TEST_P(CommandLineRead, DecidesInOrder) {
    const Line& c = GetParam();
    std::vector<const char*> argv{"quadrivo"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const quadrivo::CommandLine line = quadrivo::read_command_line(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(line.request, c.request);
    EXPECT_STREQ(line.refused, c.refused);
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineRead, ::testing::ValuesIn(lines), case_name<Line>);

// The console's process count: 0 without a console, 1 the program's own window
// (Explorer), 2 or more a window shared with cmd or PowerShell.
TEST(ErrorWaits, OnlyInAWindowOfItsOwn) {
    EXPECT_FALSE(quadrivo::waits_for_enter(0));
    EXPECT_TRUE(quadrivo::waits_for_enter(1));
    EXPECT_FALSE(quadrivo::waits_for_enter(2));
    EXPECT_FALSE(quadrivo::waits_for_enter(3));
}

}  // namespace
