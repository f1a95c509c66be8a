// The built program end to end, in a temporary folder: console output, errors,
// calendar files and exit status, byte for byte.
//
// QUADRIVO_COMMAND, when set, replaces the program (a Windows build under Wine);
// QUADRIVO_CRLF=1 then expects CR LF wherever the program writes a line end.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "case_name.hpp"

namespace {

namespace fs = std::filesystem;

const std::string FORMAT_Q =
    "In quale formato vuoi che venga salvato il calendario?"
    "(scrivi t per file di testo,w per Word,x per Ecxel e poi premi invio)\n";
const std::string WRONG = "Hai inserito un valore non corretto!\n";
const std::string NAME_Q = "Inserisci il nome della tua squadra e poi premi invio\n";
const std::string TOO_LONG = "Il nome inserito \xE8 troppo lungo: al massimo 19 caratteri!\n";
const std::string DONE = "\t- Quadrivo successfully executed - Congratulations by Zanfiro -\n";
const std::string DONE_TXT = "Complimenti! Il tuo calendario \xE8 pronto nel file calendario_txt\n";
const std::string DONE_DOC = "Complimenti! Il tuo calendario \xE8 pronto nel file calendario_doc\n";
const std::string DONE_XLS = "Complimenti! Il tuo calendario \xE8 pronto nel file calendario_xls\n";
const std::string RESTART_Q =
    "\nVoui ricominciare?(y/n)\n"
    "NB:Scegliendo lo stesso formato di prima, il vecchio file verr\xE0 perso\n";

const std::string CANNOT_READ = "Impossibile leggere il file originale.txt!\n";
std::string cannot_write(const std::string& file) { return "Impossibile scrivere il file " + file + "!\n"; }

// A small calendar; the lines holding "Delfini" and "Lupi" are listed below.
const std::string CALENDAR =
    "Campionato delle Valli\n"
    "1a giornata\n"
    "Delfini - Lupi 2-1\n"
    "Orsi - Falchi 0-0\n"
    "2a giornata\n"
    "Falchi - Delfini 1-1\n"
    "Lupi - Orsi 3-0\n";
const std::string DELFINI_LINES = "Delfini - Lupi 2-1\n\nFalchi - Delfini 1-1\n\n";
const std::string LUPI_LINES = "Delfini - Lupi 2-1\n\nLupi - Orsi 3-0\n\n";

bool windows_build() {
    const char* crlf = std::getenv("QUADRIVO_CRLF");
    return crlf != nullptr && std::string(crlf) == "1";
}

// What the program writes for text: on Windows each line end goes out as CR LF.
std::string as_written(const std::string& text) {
    if (!windows_build()) {
        return text;
    }
    std::string crlf;
    for (char c : text) {
        if (c == '\n') {
            crlf += '\r';
        }
        crlf += c;
    }
    return crlf;
}

// The bytes of a file; empty when it cannot be read.
std::string bytes_of(const fs::path& file_path) {
    std::ifstream file(file_path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

struct Result {
    std::string out;
    std::string err;
    int status;
};

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quadrivo-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        fs::create_directory(root_ / "work");
        fs::create_directory(root_ / "io");
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path path(const std::string& name) const { return root_ / "work" / name; }

    void put(const std::string& name, const std::string& content) const {
        std::ofstream(path(name), std::ios::binary) << content;
    }

    // The file's bytes, or "<missing>".
    std::string get(const std::string& name) const {
        return fs::exists(path(name)) ? bytes_of(path(name)) : "<missing>";
    }

    // Runs the program in the work folder with the given console input and locale.
    // With merged, standard error goes into out too, to check their order;
    // stdout_file sends standard output elsewhere.
    Result run(const std::string& input, const char* locale = "C", bool merged = false,
               const std::string& stdout_file = "") const {
        const fs::path io = root_ / "io";
        std::ofstream(io / "in", std::ios::binary) << input;
        const char* command = std::getenv("QUADRIVO_COMMAND");
        const std::string line = "cd '" + (root_ / "work").string() + "' && LC_ALL=" + locale + " timeout 60 " +
                                 (command != nullptr ? command : QUADRIVO_PROGRAM) + " < '" + (io / "in").string() +
                                 "' > '" + (stdout_file.empty() ? (io / "out").string() : stdout_file) + "' " +
                                 (merged ? "2>&1" : "2> '" + (io / "err").string() + "'");
        const int status = std::system(line.c_str());
        return {bytes_of(io / "out"), merged ? "" : bytes_of(io / "err"), WIFEXITED(status) ? WEXITSTATUS(status) : -1};
    }

    fs::path root_;
};

// One whole session: console input, and what it must produce.
struct Session {
    const char* what;
    std::string input;
    std::string out;
    std::string txt;  // calendar files afterwards, or "<missing>"
    std::string doc;
    std::string xls;
};

void PrintTo(const Session& c, std::ostream* os) { *os << c.what; }

const std::string NONE = "<missing>";

const Session sessions[] = {
    {"T makes the text file", "T\nDelfini\nn\n", FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, DELFINI_LINES, NONE,
     NONE},
    {"X makes the Excel file", "X\nDelfini\nn\n", FORMAT_Q + NAME_Q + DONE + DONE_XLS + RESTART_Q, NONE, NONE,
     DELFINI_LINES},
    {"w makes the Word file", "w\nLupi\nN\n", FORMAT_Q + NAME_Q + DONE + DONE_DOC + RESTART_Q, NONE, LUPI_LINES, NONE},
    {"wrong letter asks again", "q\nt\nDelfini\nn\n", FORMAT_Q + WRONG + FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q,
     DELFINI_LINES, NONE, NONE},
    {"tx leaves the line end as an empty name", "tx\nDelfini\n", FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, "",
     NONE, NONE},
    {"lone line end reads one out of step", "\nt\nxt\nDelfini\nn\n",
     FORMAT_Q + WRONG + FORMAT_Q + WRONG + FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, DELFINI_LINES, NONE, NONE},
    {"y starts again, same file rewritten", "t\nDelfini\ny\nt\nLupi\nn\n",
     FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q + FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, LUPI_LINES,
     NONE, NONE},
    {"Y starts again, other file kept", "t\nDelfini\nY\nx\nLupi\nn\n",
     FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q + FORMAT_Q + NAME_Q + DONE + DONE_XLS + RESTART_Q, DELFINI_LINES,
     NONE, LUPI_LINES},
    {"yes takes s as the next format answer", "t\nDelfini\nyes\nw\nLupi\nn\n",
     FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q + FORMAT_Q + WRONG + FORMAT_Q + NAME_Q + DONE + DONE_DOC +
         RESTART_Q,
     DELFINI_LINES, LUPI_LINES, NONE},
    {"empty restart answer ends", "t\nDelfini\n\nt\n", FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, DELFINI_LINES,
     NONE, NONE},
    {"name not found leaves an empty file", "t\nAquile\nn\n", FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, "", NONE,
     NONE},
    {"case matters in the name", "t\ndelfini\nn\n", FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, "", NONE, NONE},
    {"CR LF console input", "t\r\nDelfini\r\nn\r\n", FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, DELFINI_LINES,
     NONE, NONE},
    {"20-character name asked again", "t\nDelfini e Lupi Rossi\nDelfini\nn\n",
     FORMAT_Q + NAME_Q + TOO_LONG + NAME_Q + DONE + DONE_TXT + RESTART_Q, DELFINI_LINES, NONE, NONE},
    {"very long name discarded whole", "t\n" + std::string(300, 'L') + "y\nLupi\nn\n",
     FORMAT_Q + NAME_Q + TOO_LONG + NAME_Q + DONE + DONE_TXT + RESTART_Q, LUPI_LINES, NONE, NONE},
    {"no input at all", "", FORMAT_Q, NONE, NONE, NONE},
    {"input ends at the format answer after a wrong one", "q\n", FORMAT_Q + WRONG + FORMAT_Q, NONE, NONE, NONE},
    {"input ends at the pause", "t", FORMAT_Q + NAME_Q, "", NONE, NONE},
    {"input ends before the name", "t\n", FORMAT_Q + NAME_Q, "", NONE, NONE},
    {"input ends inside the name", "t\nLupi", FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, LUPI_LINES, NONE, NONE},
    {"input ends at the restart answer", "t\nLupi\n", FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, LUPI_LINES,
     NONE, NONE},
    {"input ends after a too long name", "t\nDelfini e Lupi Rossi",
     FORMAT_Q + NAME_Q + TOO_LONG + NAME_Q, "", NONE, NONE},
};

class Dialogue : public Program, public ::testing::WithParamInterface<Session> {};

TEST_P(Dialogue, ConsoleAndFilesAreExact) {
    const Session& s = GetParam();
    put("originale.txt", CALENDAR);
    const Result r = run(s.input);
    EXPECT_EQ(r.out, as_written(s.out)) << s.what;
    EXPECT_EQ(r.err, "") << s.what;
    EXPECT_EQ(r.status, 0) << s.what;
    for (const auto& [file, expected] : {std::pair{"calendario.txt", s.txt}, std::pair{"calendario.doc", s.doc},
                                         std::pair{"calendario.xls", s.xls}}) {
        EXPECT_EQ(get(file), expected == NONE ? NONE : as_written(expected)) << s.what << ": " << file;
    }
}

INSTANTIATE_TEST_SUITE_P(Sessions, Dialogue, ::testing::ValuesIn(sessions), case_name<Session>);

TEST_F(Program, NineteenCharacterNameIsAcceptedWhole) {
    put("originale.txt", "Polisportiva Aurora - Lupi\nPolisportiva Auror - Orsi\n");
    const Result r = run("t\nPolisportiva Aurora\nn\n");
    EXPECT_EQ(r.out, as_written(FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q));
    EXPECT_EQ(get("calendario.txt"), as_written("Polisportiva Aurora - Lupi\n\n"));
}

TEST_F(Program, WindowsCalendarWithCrLfAndAccentedName) {
    put("originale.txt", "Orsi - S\xFC" "dtirol\r\nOrsi - Lupi\r\nS\xFC" "dtirol - Lupi");
    const Result r = run("t\nS\xFC" "dtirol\nn\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(get("calendario.txt"), as_written("Orsi - S\xFC" "dtirol\n\nS\xFC" "dtirol - Lupi\n\n"));
}

// The messages' accented letters (0xE8, 0xE0) in UTF-8, as a UTF-8 console needs them.
std::string in_utf8(const std::string& text) {
    std::string utf8;
    for (const char c : text) {
        if (c == '\xE8') {
            utf8 += "\xC3\xA8";
        } else if (c == '\xE0') {
            utf8 += "\xC3\xA0";
        } else {
            utf8 += c;
        }
    }
    return utf8;
}

TEST_F(Program, MessagesFollowTheLocaleCalendarBytesDoNot) {
    const std::string calendar = "Orsi - Citt\xE0 di Mont\xE8 2-1\nOrsi - Lupi\n";
    const std::string dialogue = FORMAT_Q + NAME_Q + TOO_LONG + NAME_Q + DONE + DONE_TXT + RESTART_Q;
    const std::string input = "t\nCitt\xE0 di Mont\xE8 e Lupi\nCitt\xE0 di Mont\xE8\nn\n";
    put("originale.txt", calendar);
    for (const char* locale : {"C", "POSIX", "C.UTF-8"}) {
        const bool utf8 = std::string(locale) == "C.UTF-8" && !windows_build();
        const Result r = run(input, locale);
        EXPECT_EQ(r.out, as_written(utf8 ? in_utf8(dialogue) : dialogue)) << locale;
        EXPECT_EQ(get("calendario.txt"), as_written("Orsi - Citt\xE0 di Mont\xE8 2-1\n\n")) << locale;
    }
}

TEST_F(Program, OnlyTheFirst120LinesAreExamined) {
    std::string calendar;
    for (int i = 1; i <= 130; ++i) {
        calendar += "Lupi - giornata " + std::to_string(i) + "\n";
    }
    put("originale.txt", calendar);
    run("t\nLupi\nn\n");
    const std::string written = get("calendario.txt");
    EXPECT_NE(written.find(as_written("Lupi - giornata 120\n\n")), std::string::npos);
    EXPECT_EQ(written.find("giornata 121"), std::string::npos);
}

// Each failure: the message on standard error, no success lines, exit status 1.
enum class Blocker { none, folder, full_disk };

struct Failure {
    const char* what;
    const char* blocked;  // the file put out of use, as a folder or a link to a full disk
    Blocker how;
    bool with_source;
    std::string input;
    std::string out;
    std::string err;
};

void PrintTo(const Failure& c, std::ostream* os) { *os << c.what; }

class Failures : public Program, public ::testing::WithParamInterface<Failure> {};

const Failure failures[] = {
    {"calendar file is a folder", "calendario.txt", Blocker::folder, true, "t\nn\n", FORMAT_Q + RESTART_Q,
     cannot_write("calendario.txt")},
    {"calendar file is a full disk", "calendario.xls", Blocker::full_disk, true, "x\nDelfini\nn\n",
     FORMAT_Q + NAME_Q + RESTART_Q, cannot_write("calendario.xls")},
    {"source calendar missing", "", Blocker::none, false, "t\nDelfini\nn\n", FORMAT_Q + NAME_Q + RESTART_Q,
     CANNOT_READ},
    {"source calendar is a folder", "originale.txt", Blocker::folder, false, "t\nDelfini\nn\n",
     FORMAT_Q + NAME_Q + RESTART_Q, CANNOT_READ},
};

TEST_P(Failures, ReportedNamingTheFile) {
    const Failure& f = GetParam();
    if (f.how == Blocker::full_disk) {
        if (windows_build()) {
            GTEST_SKIP() << "needs /dev/full";
        }
        fs::create_symlink("/dev/full", path(f.blocked));
    } else if (f.how == Blocker::folder) {
        fs::create_directory(path(f.blocked));
    }
    if (f.with_source) {
        put("originale.txt", CALENDAR);
    }
    const Result r = run(f.input);
    EXPECT_EQ(r.out, as_written(f.out));
    EXPECT_EQ(r.err, as_written(f.err));
    EXPECT_EQ(r.status, 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, Failures, ::testing::ValuesIn(failures), case_name<Failure>);

TEST_F(Program, SourceMissingLeavesTheCalendarEmptyAndClosed) {
    const Result r = run("t\nDelfini\nn\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(get("calendario.txt"), "");
}

TEST_F(Program, ErrorAppearsInOrderWithTheDialogue) {
    const Result r = run("t\nDelfini\nn\n", "C", true);
    EXPECT_EQ(r.out, as_written(FORMAT_Q + NAME_Q + CANNOT_READ + RESTART_Q));
}

TEST_F(Program, ConsoleThatCannotBeWrittenIsAFailure) {
    if (windows_build()) {
        GTEST_SKIP() << "needs /dev/full";
    }
    put("originale.txt", CALENDAR);
    EXPECT_EQ(run("t\nDelfini\nn\n", "C", false, "/dev/full").status, 1);
    EXPECT_EQ(get("calendario.txt"), DELFINI_LINES);
}

TEST_F(Program, FailedPassKeepsStatusOneAfterALaterSuccess) {
    put("originale.txt", CALENDAR);
    fs::create_directory(path("calendario.doc"));
    const Result r = run("w\ny\nt\nLupi\nn\n");
    EXPECT_EQ(r.out, as_written(FORMAT_Q + RESTART_Q + FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q));
    EXPECT_EQ(r.err, as_written(cannot_write("calendario.doc")));
    EXPECT_EQ(get("calendario.txt"), as_written(LUPI_LINES));
    EXPECT_EQ(r.status, 1);
}

}  // namespace
