// A minded file goes when a signal ends the run; a signal that does not end
// it (ignored, or handled by the code the file layer runs in) leaves the file
// and its handler as they were. Each case runs in a child process.
#include <gtest/gtest.h>

#include "case_name.hpp"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "file_primitives.hpp"

namespace {

enum class Before { by_default, ignored, handled };

struct Signalled {
    const char* what;
    int signal_number;
    Before before;
};

void PrintTo(const Signalled& c, std::ostream* os) {
    *os << c.what;
}

const Signalled signalleds[] = {
    {"SIGTERM by default ends the run and removes the file", SIGTERM, Before::by_default},
    {"SIGALRM by default ends the run and removes the file", SIGALRM, Before::by_default},
    {"SIGHUP ignored leaves the file", SIGHUP, Before::ignored},
    {"SIGALRM handled, a fuzzer's timer, stays handled", SIGALRM, Before::handled},
    {"SIGUSR1 handled stays handled", SIGUSR1, Before::handled},
};

volatile sig_atomic_t g_handled = 0;  // the count a handler can keep

extern "C" void count(int) {
    g_handled = g_handled + 1;
}

// Minds the file, raises the signal twice, minded and no longer minded;
// exits with how many times the earlier handler ran.
[[noreturn]] void child(const Signalled& c, const char* name) {
    struct sigaction earlier {};
    earlier.sa_handler = c.before == Before::handled ? count : c.before == Before::ignored ? SIG_IGN : SIG_DFL;
    sigaction(c.signal_number, &earlier, nullptr);
    quadrivo::FileInfo info;
    if (quadrivo::look(name, false, info)) {
        _exit(100);
    }
    quadrivo::mind(quadrivo::Minded::new_file, name, info);
    raise(c.signal_number);
    quadrivo::unmind(quadrivo::Minded::new_file);
    raise(c.signal_number);
    _exit(g_handled);
}

class MindedFile : public ::testing::TestWithParam<Signalled> {};

TEST_P(MindedFile, GoesOnlyWhenTheSignalEndsTheRun) {
    const Signalled& c = GetParam();
    const std::string name = ::testing::TempDir() + "minded-" + std::to_string(getpid());
    std::ofstream(name) << "new calendar";
    const pid_t pid = fork();
    ASSERT_NE(pid, -1);
    if (pid == 0) {
        child(c, name.c_str());
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    const bool removed = std::remove(name.c_str()) != 0;
    if (c.before == Before::by_default) {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal_number) << status;
        EXPECT_TRUE(removed);
    } else {
        EXPECT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), c.before == Before::handled ? 2 : 0);
        EXPECT_FALSE(removed);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, MindedFile, ::testing::ValuesIn(signalleds), case_name<Signalled>);

}  // namespace

#else
TEST(MindedFile, GoesOnlyWhenTheSignalEndsTheRun) {
    GTEST_SKIP() << "POSIX signals; the Windows console handler is built but Wine cannot send its events";
}
#endif
