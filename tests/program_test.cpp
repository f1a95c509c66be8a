// The built program end to end, in a temporary folder: console output, errors,
// calendar files and exit status, byte for byte.
//
// QUADRIVO_COMMAND, when set, replaces the program (a Windows build under Wine);
// QUADRIVO_CRLF=1 then expects CR LF wherever the program writes a line end.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "case_name.hpp"
#include "not_text.hpp"
#include "terminal.hpp"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const std::string FORMAT_Q =
    "In quale formato vuoi che venga salvato il calendario?"
    "(scrivi t per file di testo,w per Word,x per Ecxel e poi premi invio)\n";
// Before a program run under strace: LeakSanitizer cannot work under ptrace,
// and would fail the sanitized build's run at its end.
constexpr const char* UNDER_STRACE = "env ASAN_OPTIONS=detect_leaks=0 ";
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

// A failure's line; "<DIR>" stands for the work folder, as the program names it.
std::string cannot_read(const std::string& cause) {
    return "Impossibile leggere il file originale.txt: " + cause + ".\n";
}
std::string cannot_write(const std::string& file, const std::string& cause) {
    return "Impossibile scrivere il file " + file + ": " + cause + ".\n";
}
const std::string MISSING = cannot_read("non si trova nella cartella <DIR>");
const std::string A_FOLDER = "\xE8 una cartella";
const std::string READ_ONLY = "\xE8 di sola lettura";
const std::string TOO_BIG = "il file supera la dimensione massima consentita";
const std::string ONLY_120 =
    "Attenzione: sono state esaminate solo le prime 120 righe di originale.txt; "
    "le righe successive non sono state lette.\n";
std::string nothing_in(const std::string& file, const std::string& lines = "Nessuna riga") {
    return lines +
           " di originale.txt contiene il nome inserito "
           "(contano maiuscole, minuscole e spazi): " +
           file + " \xE8 vuoto.\n";
}
const std::string NOTHING_TXT = nothing_in("calendario.txt");  // a source shorter than 120 lines
const std::string NOTHING_IN_120 = nothing_in("calendario.txt", "Nessuna delle prime 120 righe");
std::string hint(const std::string& spelling) {
    return "Forse intendevi \xAB" + spelling + "\xBB: in originale.txt \xE8 scritto cos\xEC.\n";
}
// A hint that cannot be typed, the spelling in the bytes it is shown in;
// wrap, when given, turns the rest of the line into the console's bytes.
std::string hint_to_copy(const std::string& spelling, std::string (*wrap)(const std::string&) = nullptr) {
    const std::string head = "Forse intendevi \xAB";
    const std::string tail =
        "\xBB: in originale.txt \xE8 scritto cos\xEC, ma con caratteri speciali; copialo da l\xEC e incollalo.\n";
    return (wrap != nullptr ? wrap(head) : head) + spelling + (wrap != nullptr ? wrap(tail) : tail);
}

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
const std::string EARLIER = "Delfini - Lupi 2-1\n\n";  // a calendar an earlier pass made

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
    void TearDown() override {
        if (!mounted_.empty()) {
            umount(mounted_.c_str());
        }
        fs::remove_all(root_);
    }

    fs::path path(const std::string& name) const { return root_ / "work" / name; }

    void put(const std::string& name, const std::string& content) const {
        std::ofstream(path(name), std::ios::binary) << content;
    }

    // The file's bytes, "<missing>", or "<not a file>" (never opened: it may be a FIFO).
    std::string get(const std::string& name) const {
        const fs::file_status status = fs::symlink_status(path(name));
        return !fs::exists(status) ? "<missing>" : fs::is_regular_file(status) ? bytes_of(path(name)) : "<not a file>";
    }

    // Names in the work folder of temporary files that a run left behind.
    std::string left_behind() const {
        std::string names;
        for (const auto& entry : fs::directory_iterator(root_ / "work")) {
            names +=
                entry.path().filename().string().rfind(".calendario", 0) == 0 ? entry.path().filename().string() : "";
        }
        return names;
    }

    // Runs the program in the work folder with the given console input and locale
    // (an empty one: no locale variable set at all).
    // With merged, standard error goes into out too, to check their order;
    // stdout_file sends standard output elsewhere.
    // stdin_file, when given, is read instead of the input.
    Result run(const std::string& input, const char* locale = "C", bool merged = false,
               const std::string& stdout_file = "", const std::string& stdin_file = "") const {
        const fs::path io = root_ / "io";
        std::ofstream(io / "in", std::ios::binary) << input;
        const char* command = std::getenv("QUADRIVO_COMMAND");
        const std::string settings =
            *locale == '\0' ? "unset LANG LC_ALL LC_CTYPE && " : "LC_ALL=" + std::string(locale);
        const std::string line = "cd '" + (root_ / "work").string() + "' && " + prefix_ + settings + wrapper_ +
                                 " timeout 60 " + (command != nullptr ? command : program_) + args_ + " < '" +
                                 (stdin_file.empty() ? (io / "in").string() : stdin_file) + "' > '" +
                                 (stdout_file.empty() ? (io / "out").string() : stdout_file) + "' " +
                                 (merged ? "2>&1" : "2> '" + (io / "err").string() + "'");
        const int status = std::system(line.c_str());
        return {bytes_of(io / "out"), merged ? "" : bytes_of(io / "err"), WIFEXITED(status) ? WEXITSTATUS(status) : -1};
    }

    // The text with "<DIR>" replaced by the work folder as the program names it.
    std::string in_folder(std::string text) const {
        std::string folder = path("").parent_path().string();
        if (windows_build()) {
            folder = "Z:" + folder;
            std::replace(folder.begin(), folder.end(), '/', '\\');
        }
        const std::size_t at = text.find("<DIR>");
        return at == std::string::npos ? text : text.replace(at, 5, folder);
    }

    // Runs the program as the user nobody, from a copy it may run, the work
    // folder's files still root's. Returns false where the tests do not run as
    // root: no other user can be had.
    bool as_another_user() {
        if (geteuid() != 0 || windows_build()) {
            return false;
        }
        fs::permissions(root_, fs::perms(0755));
        fs::copy_file(QUADRIVO_PROGRAM, root_ / "io" / "quadrivo");
        program_ = (root_ / "io" / "quadrivo").string();
        wrapper_ = " setpriv --reuid=65534 --regid=65534 --clear-groups";
        return true;
    }

    fs::path root_;
    fs::path mounted_;  // a file system mounted for the test, unmounted after
    std::string prefix_;  // shell commands run first: limits, umask
    std::string wrapper_;  // a command the program runs under: another user
    std::string args_;  // the program's arguments, each with a blank before it
    std::string program_ = QUADRIVO_PROGRAM;
};

// One whole session: console input, and what it must produce.
struct Session {
    const char* what;
    std::string input;
    std::string out;
    std::string txt;  // calendar files afterwards, or "<missing>"
    std::string doc;
    std::string xls;
    std::string err = "";  // standard error
};

void PrintTo(const Session& c, std::ostream* os) {
    *os << c.what;
}

const std::string NONE = "<missing>";

const Session sessions[] = {
    {"T makes the text file", "T\nDelfini\nn\n", FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, DELFINI_LINES, NONE,
     NONE},
    {"X makes the Excel file", "X\nDelfini\nn\n", FORMAT_Q + NAME_Q + DONE + DONE_XLS + RESTART_Q, NONE, NONE,
     DELFINI_LINES},
    {"w makes the Word file", "w\nLupi\nN\n", FORMAT_Q + NAME_Q + DONE + DONE_DOC + RESTART_Q, NONE, LUPI_LINES, NONE},
    {"wrong letter asks again", "q\nt\nDelfini\nn\n",
     FORMAT_Q + WRONG + FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, DELFINI_LINES, NONE, NONE},
    {"tx leaves the line end, no name: asked again", "tx\nDelfini\nn\n",
     FORMAT_Q + NAME_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, DELFINI_LINES, NONE, NONE},
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
     NONE, NOTHING_TXT},
    {"case matters in the name, the file's spelling hinted", "t\ndelfini\nn\n",
     FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, "", NONE, NONE, NOTHING_TXT + hint("Delfini")},
    {"one blank too many, the file's spelling hinted", "x\nDelfini  \nn\n",
     FORMAT_Q + NAME_Q + DONE + DONE_XLS + RESTART_Q, NONE, NONE, "", nothing_in("calendario.xls") + hint("Delfini")},
    {"a typo hinted", "t\nFlachi\nn\n", FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, "", NONE, NONE,
     NOTHING_TXT + hint("Falchi")},
    {"empty name asked again", "t\n\nDelfini\nn\n", FORMAT_Q + NAME_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q,
     DELFINI_LINES, NONE, NONE},
    {"empty name then the end of input", "t\n\n", FORMAT_Q + NAME_Q + NAME_Q, NONE, NONE, NONE},
    {"a name of two blanks is a name", "t\n  \nn\n", FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, "", NONE, NONE,
     NOTHING_TXT},
    {"one line selected, no notice", "w\nOrsi - Falchi\nn\n", FORMAT_Q + NAME_Q + DONE + DONE_DOC + RESTART_Q, NONE,
     "Orsi - Falchi 0-0\n\n", NONE},
    {"CR LF console input", "t\r\nDelfini\r\nn\r\n", FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, DELFINI_LINES,
     NONE, NONE},
    {"20-character name asked again", "t\nDelfini e Lupi Rossi\nDelfini\nn\n",
     FORMAT_Q + NAME_Q + TOO_LONG + NAME_Q + DONE + DONE_TXT + RESTART_Q, DELFINI_LINES, NONE, NONE},
    {"very long name discarded whole", "t\n" + std::string(300, 'L') + "y\nLupi\nn\n",
     FORMAT_Q + NAME_Q + TOO_LONG + NAME_Q + DONE + DONE_TXT + RESTART_Q, LUPI_LINES, NONE, NONE},
    {"no input at all", "", FORMAT_Q, NONE, NONE, NONE},
    {"input ends at the format answer after a wrong one", "q\n", FORMAT_Q + WRONG + FORMAT_Q, NONE, NONE, NONE},
    {"input ends at the pause", "t", FORMAT_Q + NAME_Q, NONE, NONE, NONE},
    {"input ends before the name", "t\n", FORMAT_Q + NAME_Q, NONE, NONE, NONE},
    {"input ends inside the name", "t\nLupi", FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, LUPI_LINES, NONE, NONE},
    {"input ends at the restart answer", "t\nLupi\n", FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, LUPI_LINES, NONE,
     NONE},
    {"input ends after a too long name", "t\nDelfini e Lupi Rossi", FORMAT_Q + NAME_Q + TOO_LONG + NAME_Q, NONE, NONE,
     NONE},
};

class Dialogue : public Program, public ::testing::WithParamInterface<Session> {};

TEST_P(Dialogue, ConsoleAndFilesAreExact) {
    const Session& s = GetParam();
    put("originale.txt", CALENDAR);
    const Result r = run(s.input);
    EXPECT_EQ(r.out, as_written(s.out)) << s.what;
    EXPECT_EQ(r.err, as_written(s.err)) << s.what;
    EXPECT_EQ(r.status, 0) << s.what;
    for (const auto& [file, expected] :
         {std::pair{"calendario.txt", s.txt}, std::pair{"calendario.doc", s.doc}, std::pair{"calendario.xls", s.xls}}) {
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
    put("originale.txt",
        "Orsi - S\xFC"
        "dtirol\r\nOrsi - Lupi\r\nS\xFC"
        "dtirol - Lupi");
    const Result r =
        run("t\nS\xFC"
            "dtirol\nn\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(get("calendario.txt"), as_written("Orsi - S\xFC"
                                                "dtirol\n\nS\xFC"
                                                "dtirol - Lupi\n\n"));
}

// Windows-1252 text from 0xA0 up (the messages' and the sample's letters) in
// UTF-8, as a UTF-8 console shows it and a UTF-8 editor saves it.
std::string in_utf8(const std::string& text) {
    std::string utf8;
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0xA0) {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
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
    for (const char* locale : {"C", "POSIX", "C.UTF-8", ""}) {
        const bool utf8 = std::string(locale) == "C.UTF-8" && !windows_build();
        const Result r = run(input, locale);
        EXPECT_EQ(r.out, as_written(utf8 ? in_utf8(dialogue) : dialogue)) << locale;
        EXPECT_EQ(get("calendario.txt"), as_written("Orsi - Citt\xE0 di Mont\xE8 2-1\n\n")) << locale;
        const std::string hinted = NOTHING_TXT + hint("Citt\xE0 di Mont\xE8");
        EXPECT_EQ(run("t\ncitta di monte\nn\n", locale).err, as_written(utf8 ? in_utf8(hinted) : hinted)) << locale;
    }
}

// A hint that holds a character no keyboard types tells the user to copy it.
struct Special {
    const char* what;
    std::string line;  // the calendar's line, in its own bytes
    std::string typed;  // in the locale's bytes
    const char* locale;
    std::string hinted;  // the line on standard error after the no-match notice
};

void PrintTo(const Special& c, std::ostream* os) {
    *os << c.what;
}

class SpecialHint : public Program, public ::testing::WithParamInterface<Special> {};

const Special specials[] = {
    {"a no-break space, Windows-1252",
     "Juventus\xA0"
     "FC - Lupi\n",
     "Juventus FC", "C",
     hint_to_copy("Juventus\xA0"
                  "FC")},
    {"a combining accent, UTF-8",
     "Su\xCC\x88"
     "dtirol - Lupi\n",
     "Sudtirol", "C.UTF-8",
     hint_to_copy("Su\xCC\x88"
                  "dtirol",
                  in_utf8)},
    {"a zero-width space, UTF-8",
     "Bo\xE2\x80\x8B"
     "russia - Lupi\n",
     "Borussia", "C.UTF-8",
     hint_to_copy("Bo\xE2\x80\x8B"
                  "russia",
                  in_utf8)},
    {"plain letters keep the usual line", "Borussia - Lupi\n", "borussia", "C", hint("Borussia")},
    {"a UTF-8 mark at the start, C", "\xEF\xBB\xBFJuventus - Parma\n", "juventus", "C", hint("Juventus")},
    {"a UTF-8 mark at the start, UTF-8", "\xEF\xBB\xBFJuventus - Parma\n", "juventus", "C.UTF-8",
     in_utf8(hint("Juventus"))},
};

TEST_P(SpecialHint, SaysToCopyIt) {
    const Special& c = GetParam();
    if (windows_build() && std::string(c.locale) != "C") {
        GTEST_SKIP() << "a redirected Windows stream shows Windows-1252 only";
    }
    put("originale.txt", c.line);
    const Result r = run("t\n" + c.typed + "\nn\n", c.locale);
    const std::string notice = std::string(c.locale) == "C" ? NOTHING_TXT : in_utf8(NOTHING_TXT);
    EXPECT_EQ(r.err, as_written(notice + c.hinted));
    // Pasted back, the hint selects its line.
    EXPECT_EQ(run("t\n" + c.line.substr(0, c.line.find(" - ")) + "\nn\n", c.locale).err, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, SpecialHint, ::testing::ValuesIn(specials), case_name<Special>);

// The hint over a real calendar, typed names to the line after the notices ("" for none).
struct RealHint {
    const char* what;
    std::string typed;
    std::string hinted;
};

void PrintTo(const RealHint& c, std::ostream* os) {
    *os << c.what;
}

class RealCalendarHint : public Program, public ::testing::WithParamInterface<RealHint> {};

const RealHint real_hints[] = {
    {"a letter for a blank joins no words", "Monza", ""},
    {"a letter for a blank is two typos", "HellasxVerona", hint("Hellas Verona")},
    {"a blank left out is one", "ACMilan", hint("AC Milan")},
};

TEST_P(RealCalendarHint, IsTheTeamsName) {
    put("originale.txt", bytes_of(QUADRIVO_SERIEA));
    EXPECT_EQ(run("t\n" + GetParam().typed + "\nn\n").err, as_written(ONLY_120 + NOTHING_IN_120 + GetParam().hinted));
}

INSTANTIATE_TEST_SUITE_P(SerieA, RealCalendarHint, ::testing::ValuesIn(real_hints), case_name<RealHint>);

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
enum class Blocker {
    none,
    folder,
    fifo,
    unreadable,
    others,
    closed_folder,
    utf16_unmarked,
    dangling_link,
    link_loop,
    socket,
    link_in_closed_folder,
    immutable,
    append_only,
    running_program
};

struct Failure {
    const char* what;
    const char* blocked;  // the file put out of use
    Blocker how;
    bool with_source;
    std::string input;
    std::string out;
    std::string err;
};

void PrintTo(const Failure& c, std::ostream* os) {
    *os << c.what;
}

class Failures : public Program, public ::testing::WithParamInterface<Failure> {};

const std::string UTF16 =
    "Impossibile leggere il file originale.txt: \xE8 salvato in UTF-16 (Unicode). Salvalo come UTF-8 o ANSI e "
    "riprova.\n";

const std::string LEADS_NOWHERE = "\xE8 un collegamento che non porta a nessun file";
const std::string NOT_A_FILE = "non \xE8 un file normale";

const Failure failures[] = {
    {"calendar file is a folder", "calendario.txt", Blocker::folder, true, "t\nn\n", FORMAT_Q + RESTART_Q,
     cannot_write("calendario.txt", A_FOLDER)},
    {"calendar file is a FIFO, never opened", "calendario.xls", Blocker::fifo, true, "x\nn\n", FORMAT_Q + RESTART_Q,
     cannot_write("calendario.xls", "non \xE8 un file normale")},
    {"another user's calendar", "calendario.txt", Blocker::others, true, "t\nn\n", FORMAT_Q + RESTART_Q,
     cannot_write("calendario.txt", "non hai il permesso di scriverlo")},
    {"a folder that refuses new files", "calendario.doc", Blocker::closed_folder, true, "w\nn\n", FORMAT_Q + RESTART_Q,
     cannot_write("calendario.doc", "non hai il permesso di scrivere nella cartella <DIR>")},
    {"source calendar missing", "", Blocker::none, false, "t\nDelfini\nn\n", FORMAT_Q + NAME_Q + RESTART_Q, MISSING},
    {"source calendar is a folder", "originale.txt", Blocker::folder, false, "t\nDelfini\nn\n",
     FORMAT_Q + NAME_Q + RESTART_Q, cannot_read(A_FOLDER)},
    {"source calendar unreadable", "originale.txt", Blocker::unreadable, true, "t\nDelfini\nn\n",
     FORMAT_Q + NAME_Q + RESTART_Q, cannot_read("non hai il permesso di leggerlo")},
    {"source in UTF-16 without a mark", "originale.txt", Blocker::utf16_unmarked, false, "t\nLupi\nn\n",
     FORMAT_Q + NAME_Q + RESTART_Q, UTF16},
    {"source a link to a missing file", "originale.txt", Blocker::dangling_link, false, "t\nLupi\nn\n",
     FORMAT_Q + NAME_Q + RESTART_Q, cannot_read(LEADS_NOWHERE)},
    {"source a link to itself", "originale.txt", Blocker::link_loop, false, "t\nLupi\nn\n",
     FORMAT_Q + NAME_Q + RESTART_Q, cannot_read(LEADS_NOWHERE)},
    {"source a socket", "originale.txt", Blocker::socket, false, "t\nLupi\nn\n", FORMAT_Q + NAME_Q + RESTART_Q,
     cannot_read(NOT_A_FILE)},
    {"calendar a socket", "calendario.txt", Blocker::socket, true, "t\nn\n", FORMAT_Q + RESTART_Q,
     cannot_write("calendario.txt", NOT_A_FILE)},
    {"a link at the calendar's name, new files refused", "calendario.txt", Blocker::link_in_closed_folder, true,
     "t\nn\n", FORMAT_Q + RESTART_Q,
     cannot_write("calendario.txt", "non hai il permesso di scrivere nella cartella <DIR>")},
    {"an immutable calendar", "calendario.txt", Blocker::immutable, true, "t\nn\n", FORMAT_Q + RESTART_Q,
     cannot_write("calendario.txt", "il sistema non permette di modificarlo")},
    {"an append-only calendar", "calendario.txt", Blocker::append_only, true, "t\nn\n", FORMAT_Q + RESTART_Q,
     cannot_write("calendario.txt", "il sistema non permette di modificarlo")},
    // The probe writes nothing, so a running program's file is no refusal: the new calendar takes its name.
    {"a calendar in use as a running program", "calendario.txt", Blocker::running_program, true, "t\nLupi\nn\n",
     FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q, ""},
};

// Makes a Unix socket at path; returns its descriptor, which keeps it bound.
int bound_socket(const fs::path& at) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", at.c_str());
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

TEST_P(Failures, ReportedNamingTheFileAndTheCause) {
    const Failure& f = GetParam();
    const bool permissions = f.how == Blocker::unreadable || f.how == Blocker::others ||
                             f.how == Blocker::closed_folder || f.how == Blocker::link_in_closed_folder;
    const bool posix_only = f.how != Blocker::none && f.how != Blocker::folder && f.how != Blocker::utf16_unmarked;
    if (windows_build() && posix_only) {
        GTEST_SKIP() << "FIFOs, sockets, links, attributes, permission bits and limits are a POSIX matter";
    }
    if (f.with_source) {
        put("originale.txt", CALENDAR);
    }
    int socket_fd = -1;
    pid_t running = -1;
    if (f.how == Blocker::fifo) {
        ASSERT_EQ(mkfifo(path(f.blocked).c_str(), 0666), 0);
    } else if (f.how == Blocker::folder) {
        fs::create_directory(path(f.blocked));
    } else if (f.how == Blocker::utf16_unmarked) {
        put(f.blocked, "L\0u\0p\0i\0\r\0\n\0"s);
    } else if (f.how == Blocker::dangling_link || f.how == Blocker::link_loop) {
        fs::create_symlink(f.how == Blocker::link_loop ? f.blocked : "nowhere.txt", path(f.blocked));
    } else if (f.how == Blocker::socket) {
        socket_fd = bound_socket(path(f.blocked));
    } else if (f.how == Blocker::immutable || f.how == Blocker::append_only) {
        put(f.blocked, EARLIER);
        const std::string attribute = f.how == Blocker::immutable ? "+i" : "+a";
        if (std::system(("chattr " + attribute + " '" + path(f.blocked).string() + "' 2>/dev/null").c_str()) != 0) {
            GTEST_SKIP() << "chattr needs root and a file system with attributes";
        }
    } else if (f.how == Blocker::running_program) {
        fs::copy_file("/bin/sleep", path(f.blocked));
        running = fork();
        if (running == 0) {
            execl(path(f.blocked).c_str(), "sleep", "60", static_cast<char*>(nullptr));
            _exit(127);
        }
        usleep(200000);
    } else if (permissions) {
        if (f.how == Blocker::others) {
            put(f.blocked, EARLIER);
        } else if (f.how == Blocker::link_in_closed_folder) {
            fs::create_symlink("elsewhere.txt", path(f.blocked));
        }
        if (!as_another_user()) {
            GTEST_SKIP() << "needs another user: the tests run as root to have one";
        }
        if (f.how == Blocker::unreadable || f.how == Blocker::others) {
            ASSERT_EQ(chmod(path(f.blocked).c_str(), f.how == Blocker::unreadable ? 0 : 0644), 0);
        }
        const bool closed = f.how == Blocker::closed_folder || f.how == Blocker::link_in_closed_folder;
        fs::permissions(path(""), fs::perms(closed ? 0555 : 0777));
    }
    const Result r = run(f.input);
    fs::permissions(path(""), fs::perms::owner_all);
    if (f.how == Blocker::immutable || f.how == Blocker::append_only) {
        std::system(("chattr -i -a '" + path(f.blocked).string() + "'").c_str());
        EXPECT_EQ(get(f.blocked), EARLIER);
    }
    if (running > 0) {
        kill(running, SIGKILL);
        waitpid(running, nullptr, 0);
    }
    if (socket_fd >= 0) {
        close(socket_fd);
    }
    EXPECT_EQ(r.out, as_written(f.out));
    EXPECT_EQ(r.err, as_written(in_folder(f.err)));
    EXPECT_EQ(r.status, f.err.empty() ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, Failures, ::testing::ValuesIn(failures), case_name<Failure>);

TEST_F(Program, SourceMissingLeavesNoCalendar) {  // none was there: the failed pass leaves none
    const Result r = run("t\nDelfini\nn\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(get("calendario.txt"), NONE);
}

TEST_F(Program, ErrorAppearsInOrderWithTheDialogue) {
    const Result r = run("t\nDelfini\nn\n", "C", true);
    EXPECT_EQ(r.out, as_written(FORMAT_Q + NAME_Q + in_folder(MISSING) + RESTART_Q));
}

// A pass leaves an earlier calendar as it was unless it can replace it.
enum class Source { calendar, missing, folder, utf16, bytes };
enum class Streams { usual, stdin_folder, stdout_full };

struct Keep {
    const char* what;
    Source source;
    Streams streams;
    std::string input;
    std::string out;
    std::string err;
    int status;
    std::string bytes = "";  // originale.txt, for Source::bytes
};

void PrintTo(const Keep& c, std::ostream* os) {
    *os << c.what;
}

class KeptCalendar : public Program, public ::testing::WithParamInterface<Keep> {};

const std::string CONSOLE_IN = "Impossibile leggere lo standard input!\n";
const std::string CONSOLE_OUT = "Impossibile scrivere sullo standard output!\n";

const std::string NOT_TEXT = cannot_read("non \xE8 un file di testo");
const std::string DOCUMENT =
    "Impossibile leggere il file originale.txt: \xE8 un documento di Excel, Word o LibreOffice, non un file di testo. "
    "Aprilo e salvalo come testo (.txt), poi riprova.\n";
const std::string PDF =
    "Impossibile leggere il file originale.txt: \xE8 un PDF, non un file di testo. "
    "Copia il calendario dal PDF in un file di testo, poi riprova.\n";
const std::string UTF32 =
    "Impossibile leggere il file originale.txt: \xE8 salvato in UTF-32 (Unicode). Salvalo come UTF-8 o ANSI e "
    "riprova.\n";
const std::u32string SERIE_A = from_utf8(bytes_of(QUADRIVO_SERIEA));  // symbols and dashes among its letters
const std::string REFUSED = FORMAT_Q + NAME_Q + RESTART_Q;

const Keep keeps[] = {
    {"an Excel workbook renamed", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, DOCUMENT, 1,
     zip_with("[Content_Types].xml") + "Lupi"},
    {"a workbook saved by openpyxl renamed", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, DOCUMENT, 1,
     office_file("calendario.xlsx")},
    {"a document saved by python-docx renamed", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, DOCUMENT, 1,
     office_file("calendario.docx")},
    {"a spreadsheet saved by odfpy renamed", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, DOCUMENT, 1,
     office_file("calendario.ods")},
    {"an old workbook saved by xlwt renamed", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, DOCUMENT, 1,
     office_file("calendario.xls")},
    {"a PDF renamed", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, PDF, 1, "%PDF-1.4\nLupi\n"},
    {"a Windows program renamed", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, NOT_TEXT, 1,
     windows_program() + "Lupi\n"},
    {"a real calendar in UTF-16LE without a mark", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, UTF16, 1,
     wide(SERIE_A, 2)},
    {"a real calendar in UTF-16BE without a mark", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, UTF16, 1,
     wide(SERIE_A, 2, true)},
    {"a real calendar in UTF-32 without a mark", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, UTF32, 1,
     wide(SERIE_A, 4)},
    {"8,000 zero bytes", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, NOT_TEXT, 1, std::string(8000, '\0')},
    {"random bytes, then a line", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, NOT_TEXT, 1,
     random_bytes(8000, 31) + "\nLupi - Orsi\n"},
    {"400 random bytes, none zero", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, NOT_TEXT, 1,
     "Lupi\n" + random_bytes(400, 31, true)},
    {"a tar holding a calendar", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, NOT_TEXT, 1,
     tar_with("originale.txt", CALENDAR)},
    {"a Windows shortcut renamed", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, NOT_TEXT, 1,
     header_then_zeros("L\0\0\0\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0F"s)},
    {"an xlsx whose first entry is a sheet", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, DOCUMENT, 1,
     zip_with("xl/worksheets/sheet1.xml") + "Lupi"},
    {"box drawing in UTF-16LE without a mark", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, UTF16, 1,
     wide(BOXES, 2)},
    {"Greek in UTF-16BE without a mark", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, UTF16, 1,
     wide(GREEK, 2, true)},
    {"Cyrillic in UTF-16LE without a mark", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, UTF16, 1,
     wide(CYRILLIC, 2)},
    {"CJK in UTF-16BE without a mark", Source::bytes, Streams::usual, "t\nLupi\nn\n", REFUSED, UTF16, 1,
     wide(CJK, 2, true)},
    {"empty name, then the end of input", Source::calendar, Streams::usual, "t\n\n", FORMAT_Q + NAME_Q + NAME_Q, "", 0},
    {"source missing after an earlier pass", Source::missing, Streams::usual, "t\nLupi\nn\n",
     FORMAT_Q + NAME_Q + RESTART_Q, MISSING, 1},
    {"source a folder after an earlier pass", Source::folder, Streams::usual, "t\nLupi\nn\n",
     FORMAT_Q + NAME_Q + RESTART_Q, cannot_read(A_FOLDER), 1},
    {"source saved in UTF-16", Source::utf16, Streams::usual, "t\nLupi\nn\n", FORMAT_Q + NAME_Q + RESTART_Q, UTF16, 1},
    {"console closed at the pause", Source::calendar, Streams::usual, "t", FORMAT_Q + NAME_Q, "", 0},
    {"console closed before the name", Source::calendar, Streams::usual, "t\n", FORMAT_Q + NAME_Q, "", 0},
    {"console closed after a too long name", Source::calendar, Streams::usual, "t\nDelfini e Lupi Rossi\n",
     FORMAT_Q + NAME_Q + TOO_LONG + NAME_Q, "", 0},
    {"standard input a folder", Source::calendar, Streams::stdin_folder, "", FORMAT_Q, CONSOLE_IN, 1},
    {"standard output a full device", Source::calendar, Streams::stdout_full, "t\nLupi\nn\n", "", CONSOLE_OUT, 1},
};

TEST_P(KeptCalendar, UntilThePassCanReplaceIt) {
    const Keep& k = GetParam();
    if (k.streams == Streams::stdout_full && windows_build()) {
        GTEST_SKIP() << "needs /dev/full";
    }
    put("calendario.txt", EARLIER);
    if (k.source == Source::calendar) {
        put("originale.txt", CALENDAR);
    } else if (k.source == Source::folder) {
        fs::create_directory(path("originale.txt"));
    } else if (k.source == Source::utf16) {
        put("originale.txt", "\xFF\xFEL\0u\0p\0i\0\r\0\n\0"s);
    } else if (k.source == Source::bytes) {
        put("originale.txt", k.bytes);
    }
    const Result r = run(k.input, "C", false, k.streams == Streams::stdout_full ? "/dev/full" : "",
                         k.streams == Streams::stdin_folder ? path("").string() : "");
    if (k.streams != Streams::stdout_full) {
        EXPECT_EQ(r.out, as_written(k.out));
    }
    EXPECT_EQ(r.err, as_written(in_folder(k.err)));
    EXPECT_EQ(r.status, k.status);
    EXPECT_EQ(get("calendario.txt"), EARLIER);
    EXPECT_EQ(left_behind(), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, KeptCalendar, ::testing::ValuesIn(keeps), case_name<Keep>);

// A calendar longer than 120 lines is read only so far, and the user is told.
struct Length {
    const char* what;
    std::string source;
    std::string name;
    std::string err;
};

void PrintTo(const Length& c, std::ostream* os) {
    *os << c.what;
}

class LongSource : public Program, public ::testing::WithParamInterface<Length> {};

std::string numbered(int count, const std::string& last_end = "\n") {
    std::string text;
    for (int i = 1; i <= count; ++i) {
        text += "Lupi - giornata " + std::to_string(i) + (i < count ? "\n" : last_end);
    }
    return text;
}

const Length lengths[] = {
    {"120 lines", numbered(120), "Lupi", ""},
    {"120 lines, the last without its line end", numbered(120, ""), "Lupi", ""},
    {"121 lines", numbered(121), "Lupi", ONLY_120},
    {"120 lines and an empty one", numbered(120) + "\n", "Lupi", ""},
    {"120 lines, then blank lines with blanks", numbered(120) + " \r\n\t\n\n", "Lupi", ""},
    {"120 lines, a blank line, then one more", numbered(120) + "\n\nx\n", "Lupi", ONLY_120},
    {"121 lines, nothing selected", numbered(121), "Orsi", ONLY_120 + NOTHING_IN_120},
    {"120 lines, nothing selected", numbered(120), "Orsi", NOTHING_IN_120},
    {"119 lines, nothing selected", numbered(119), "Orsi", NOTHING_TXT},
};

TEST_P(LongSource, NoticeOnlyWhenLinesWereLeft) {
    const Length& l = GetParam();
    put("originale.txt", l.source);
    const Result r = run("t\n" + l.name + "\nn\n", "C", true);
    EXPECT_EQ(r.out, as_written(FORMAT_Q + NAME_Q + l.err + DONE + DONE_TXT + RESTART_Q));
    EXPECT_EQ(r.status, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, LongSource, ::testing::ValuesIn(lengths), case_name<Length>);

// A pass puts a whole new calendar in place of the earlier one, or leaves it as it was.
enum class Around {
    earlier,
    link,
    dangling_link,
    private_mode,
    no_calendar,
    read_only_file,
    read_only_folder,
    full_disk,
    read_only_folder_full_disk,
    read_only_for_root,
    full_tmpfs
};

struct Replace {
    const char* what;
    Around around;
    std::string source;
    std::string txt;  // calendario.txt afterwards
    std::string err;
    int mode;  // calendario.txt's permission bits afterwards
};

void PrintTo(const Replace& c, std::ostream* os) {
    *os << c.what;
}

class Replacing : public Program, public ::testing::WithParamInterface<Replace> {};

const std::string OUTSIDE = "not the program's\n";

const Replace replacements[] = {
    {"earlier calendar replaced", Around::earlier, CALENDAR, LUPI_LINES, "", 0644},
    {"planted link replaced, its file untouched", Around::link, CALENDAR, LUPI_LINES, "", 0644},
    {"dangling link replaced, nothing made outside", Around::dangling_link, CALENDAR, LUPI_LINES, "", 0644},
    {"earlier permission bits kept", Around::private_mode, CALENDAR, LUPI_LINES, "", 0640},
    {"new calendar gets the usual bits", Around::no_calendar, CALENDAR, LUPI_LINES, "", 0644},
    {"read-only file refused", Around::read_only_file, CALENDAR, EARLIER, cannot_write("calendario.txt", READ_ONLY),
     0444},
    {"read-only folder: rewritten in place", Around::read_only_folder, CALENDAR, LUPI_LINES, "", 0644},
    {"size limit mid-write: earlier kept", Around::full_disk, numbered(100), EARLIER,
     cannot_write("calendario.txt", TOO_BIG), 0644},
    {"read-only folder, size limit: earlier kept", Around::read_only_folder_full_disk, numbered(100), EARLIER,
     cannot_write("calendario.txt", TOO_BIG), 0644},
    {"no write bit: refused to root too", Around::read_only_for_root, CALENDAR, EARLIER,
     cannot_write("calendario.txt", READ_ONLY), 0444},
    {"disk full: earlier kept", Around::full_tmpfs, numbered(100), EARLIER,
     cannot_write("calendario.txt", "il disco \xE8 pieno"), 0644},
    {"0x1A inside the source is data", Around::earlier, "Lupi\x1A - Orsi\nOrsi\nLupi\n", "Lupi\x1A - Orsi\n\nLupi\n\n",
     "", 0644},
    {"0x1A last in the source dropped", Around::earlier, "Orsi\nLupi - Orsi\x1A", "Lupi - Orsi\n\n", "", 0644},
    {"only the very last 0x1A dropped", Around::earlier, "Lupi\n\x1ALupi\x1A\x1A", "Lupi\n\n\x1ALupi\x1A\n\n", "",
     0644},
    {"tabs and form feeds are text", Around::earlier, "Lupi\t-\tOrsi\f\nOrsi\n", "Lupi\t-\tOrsi\f\n\n", "", 0644},
    {"colour escapes are text", Around::earlier, "\x1B[31mLupi\x1B[0m\nOrsi\n", "\x1B[31mLupi\x1B[0m\n\n", "", 0644},
    {"dense Latin-1 is text", Around::earlier, "\xC0\xC8\xC9\xCC\xD2\xD9\xE0\xE8 Lupi\n",
     "\xC0\xC8\xC9\xCC\xD2\xD9\xE0\xE8 Lupi\n\n", "", 0644},
};

TEST_P(Replacing, WholeOrNotAtAll) {
    const Replace& c = GetParam();
    const bool posix_only =
        c.around != Around::earlier && c.around != Around::read_only_file && c.around != Around::read_only_for_root;
    if (windows_build() && posix_only) {
        GTEST_SKIP() << "links, modes, folders and limits as POSIX has them";
    }
    if (c.around == Around::full_tmpfs) {
        // Two pages: the source and the earlier calendar fill them.
        if (geteuid() != 0 ||
            std::system(("mount -t tmpfs -o size=8k tmpfs '" + path("").string() + "'").c_str()) != 0) {
            GTEST_SKIP() << "needs root to mount a small tmpfs; the size-limit rows stand for a full disk";
        }
        mounted_ = path("");
    }
    put("originale.txt", c.source);
    if (c.around != Around::no_calendar && c.around != Around::link && c.around != Around::dangling_link) {
        put("calendario.txt", EARLIER);
    }
    const fs::path outside = root_ / "io" / "outside.txt";
    if (c.around == Around::link || c.around == Around::dangling_link) {
        if (c.around == Around::link) {
            std::ofstream(outside) << OUTSIDE;
        }
        fs::create_symlink(outside, path("calendario.txt"));
    }
    // Permissions hold for root only through another user, who owns the calendar.
    const bool folder_read_only =
        c.around == Around::read_only_folder || c.around == Around::read_only_folder_full_disk;
    if (c.around == Around::read_only_file || folder_read_only) {
        fs::permissions(path(""), fs::perms(folder_read_only ? 0555 : 0777));
        ASSERT_EQ(chmod(path("calendario.txt").c_str(), c.mode), 0);
        if (as_another_user()) {
            ASSERT_EQ(chown(path("calendario.txt").c_str(), 65534, 65534), 0);
        }
    }
    if (c.around == Around::private_mode || c.around == Around::read_only_for_root) {
        ASSERT_EQ(chmod(path("calendario.txt").c_str(), c.mode), 0);
    }
    if (c.around == Around::full_disk || c.around == Around::read_only_folder_full_disk) {
        prefix_ = "trap '' XFSZ; ulimit -f 1; ";  // 512 bytes, then every write fails
    }
    prefix_ += windows_build() ? "" : "umask 022; ";
    const Result r = run("t\nLupi\nn\n");
    fs::permissions(path(""), fs::perms::owner_all);
    const bool refused = c.around == Around::read_only_file || c.around == Around::read_only_for_root;
    EXPECT_EQ(r.out, as_written(refused ? FORMAT_Q + RESTART_Q
                                        : FORMAT_Q + NAME_Q + (c.err.empty() ? DONE + DONE_TXT : "") + RESTART_Q));
    EXPECT_EQ(r.err, as_written(c.err));
    EXPECT_EQ(r.status, c.err.empty() ? 0 : 1);
    EXPECT_EQ(get("calendario.txt"), c.txt == EARLIER ? EARLIER : as_written(c.txt));
    EXPECT_EQ(left_behind(), "");
    if (!windows_build()) {
        EXPECT_EQ(static_cast<int>(fs::status(path("calendario.txt")).permissions()) & 0777, c.mode);
        EXPECT_EQ(fs::exists(outside) ? bytes_of(outside) : "<missing>",
                  c.around == Around::link ? OUTSIDE : "<missing>");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Replacing, ::testing::ValuesIn(replacements), case_name<Replace>);

// A file a killed run may have left beside the calendar: the format answer
// removes the new file of a run that has ended, and nothing else.
struct Leftover {
    const char* what;
    std::string name;  // %d: the id of a run that has ended; %l: a live run's (this test's)
    bool removed;
};

void PrintTo(const Leftover& c, std::ostream* os) {
    *os << c.what;
}

class Leftovers : public Program, public ::testing::WithParamInterface<Leftover> {};

const Leftover leftovers[] = {
    {"an ended run's new file", ".calendario.txt.%d-0", true},
    {"an ended run's later attempt", ".calendario.txt.%d-17", true},
    {"a live run's new file kept", ".calendario.txt.%l-0", false},
    {"no attempt: not a new file", ".calendario.txt.%d", false},
    {"more after the attempt: not a new file", ".calendario.txt.%d-0x", false},
    {"a sign before the run: not a new file", ".calendario.txt.+%d-0", false},
    {"another calendar's new file kept", ".calendario.doc.%d-0", false},
    {"a random suffix kept", ".calendario.txt.Ab3dEf", false},
};

TEST_P(Leftovers, AnEndedRunsFileGoesAtTheFormatAnswer) {
    const Leftover& c = GetParam();
    if (windows_build()) {
        GTEST_SKIP() << "the ids of Linux processes, not of Wine's";
    }
    const pid_t ended = fork();
    if (ended == 0) {
        _exit(0);
    }
    ASSERT_EQ(waitpid(ended, nullptr, 0), ended);
    std::string name = c.name;
    for (const auto& [hole, run] : {std::pair{"%d", ended}, std::pair{"%l", getpid()}}) {
        if (const std::size_t at = name.find(hole); at != std::string::npos) {
            name.replace(at, 2, std::to_string(run));
        }
    }
    put("originale.txt", CALENDAR);
    put("calendario.txt", EARLIER);
    put(name, "x");
    EXPECT_EQ(run("t\nLupi\nn\n").status, 0);
    EXPECT_EQ(fs::exists(path(name)), !c.removed);
    EXPECT_EQ(get("calendario.txt"), LUPI_LINES);
}

INSTANTIATE_TEST_SUITE_P(Cases, Leftovers, ::testing::ValuesIn(leftovers), case_name<Leftover>);

// Excel and Word read text without a mark in the ANSI code page: a UTF-8
// calendar for them begins with the UTF-8 mark; any other stays as read.
struct Marking {
    const char* what;
    std::string format;  // the format answer
    std::string source;
    std::string file;  // the calendar made
    std::string content;
};

void PrintTo(const Marking& c, std::ostream* os) {
    *os << c.what;
}

class OfficeMark : public Program, public ::testing::WithParamInterface<Marking> {};

const std::string SUDTIROL =
    "FC S\xC3\xBC"
    "dtirol - Lupi\n";
const std::string MARK = "\xEF\xBB\xBF";

const Marking markings[] = {
    {"UTF-8 for Excel: marked", "x", SUDTIROL + "Orsi\n", "calendario.xls", MARK + SUDTIROL + "\n"},
    {"UTF-8 for Word: marked", "w", SUDTIROL, "calendario.doc", MARK + SUDTIROL + "\n"},
    {"UTF-8 as text: as read", "t", SUDTIROL, "calendario.txt", SUDTIROL + "\n"},
    {"Windows-1252 for Excel: as read", "x",
     "FC S\xFC"
     "dtirol - Lupi\n",
     "calendario.xls",
     "FC S\xFC"
     "dtirol - Lupi\n\n"},
    {"ASCII for Excel: as read", "x", "Lupi - Orsi\nFalchi - S\xC3\xBC\n", "calendario.xls", "Lupi - Orsi\n\n"},
    {"marked already: one mark", "x", MARK + SUDTIROL, "calendario.xls", MARK + SUDTIROL + "\n"},
    {"UTF-8 and Windows-1252 mixed: as read", "w", SUDTIROL + "Lupi - Citt\xE0\n", "calendario.doc",
     SUDTIROL + "\nLupi - Citt\xE0\n\n"},
    {"nothing selected: empty", "x", SUDTIROL, "calendario.xls", ""},
};

TEST_P(OfficeMark, OnlyWhereOfficeNeedsIt) {
    const Marking& c = GetParam();
    put("originale.txt", c.source);
    const bool none = c.content.empty();
    const Result r = run(c.format + (none ? "\nOrsi\nn\n" : "\nLupi\nn\n"));
    EXPECT_EQ(r.err, none ? as_written(nothing_in("calendario.xls")) : "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(get(c.file), as_written(c.content));
}

INSTANTIATE_TEST_SUITE_P(Cases, OfficeMark, ::testing::ValuesIn(markings), case_name<Marking>);

// The command line: help and version before any question, anything else refused.
enum class Where { both, windows, posix };

struct Arguments {
    const char* what;
    std::string args;
    Where where;
    std::string out;
    std::string err = "";
    int status = 0;
    bool out_closed = false;
};

void PrintTo(const Arguments& c, std::ostream* os) {
    *os << c.what;
}

class CommandLine : public Program, public ::testing::WithParamInterface<Arguments> {};

// The help, as this platform's program prints it.
std::string usage() {
    return std::string(windows_build() ? "Uso: quadrivo [/? | -h | --help | -V | --version]\n"
                                       : "Uso: quadrivo [-h | --help | -V | --version]\n") +
           "Ricava il calendario della tua squadra dal calendario completo di un\n"
           "campionato: il file di testo originale.txt, nella cartella da cui avvii il\n"
           "programma. Il programma chiede il formato del calendario: t file di testo\n"
           "(calendario.txt), w Word (calendario.doc), x Excel (calendario.xls); poi il\n"
           "nome della squadra, da scrivere come nel file (maiuscole, accenti e spazi\n"
           "contano). Ogni riga, fra le prime 120, che contiene il nome va nel calendario.\n\n" +
           (windows_build() ? "  /?, -h, --help   mostra questo aiuto\n" : "  -h, --help       mostra questo aiuto\n") +
           "  -V, --version    mostra la versione\n\n" +
           (windows_build() ? "Per saperne di pi\xF9: leggi LEGGIMI.txt, accanto a quadrivo.exe.\n"
                            : "Per saperne di pi\xF9: man quadrivo\n");
}

const std::string USAGE = "<usage>";
const std::string VERSION = "quadrivo 1.1.0\n";

// Where the help is, after a refusal.
std::string help_hint() {
    return windows_build() ? "Per un aiuto: quadrivo /?\n" : "Per un aiuto: quadrivo --help\n";
}
std::string unknown(const std::string& option) {
    return "quadrivo: opzione sconosciuta \xAB" + option + "\xBB.\n" + help_hint();
}
std::string no_arguments(const std::string& argument) {
    return "quadrivo: il programma non prende argomenti (\xAB" + argument +
           "\xBB): legge sempre originale.txt nella cartella da cui parte.\n" + help_hint();
}

const Arguments arguments[] = {
    {"help", " --help", Where::both, USAGE},
    {"h", " -h", Where::both, USAGE},
    {"help with more after it", " --help x --version", Where::both, USAGE},
    {"help extra", " --help extra", Where::both, USAGE},
    {"help extra, standard output closed", " --help extra", Where::both, "", CONSOLE_OUT, 1, true},
    {"version", " --version", Where::both, VERSION},
    {"V", " -V", Where::both, VERSION},
    {"version, standard output closed", " --version", Where::both, "", CONSOLE_OUT, 1, true},
    {"version then help: the first wins", " --version --help", Where::both, VERSION},
    {"version then help, standard output closed", " --version --help", Where::both, "", CONSOLE_OUT, 1, true},
    {"help after an argument", " altro --help", Where::both, USAGE},
    {"verbose", " --verbose", Where::both, "", unknown("--verbose"), 2},
    {"verbose, standard output closed", " --verbose", Where::both, "", unknown("--verbose"), 2, true},
    {"lower-case v", " -v", Where::both, "", unknown("-v"), 2},
    {"lower-case v, standard output closed", " -v", Where::both, "", unknown("-v"), 2, true},
    {"x", " -x", Where::both, "", unknown("-x"), 2},
    {"x, standard output closed", " -x", Where::both, "", unknown("-x"), 2, true},
    {"an unknown option before help", " --colore --help", Where::both, "", unknown("--colore"), 2},
    {"a file name", " mio.txt", Where::both, "", no_arguments("mio.txt"), 2},
    {"a file name, standard output closed", " mio.txt", Where::both, "", no_arguments("mio.txt"), 2, true},
    {"a control character shows as a question mark", " \"$(printf 'a\\033[2Jb')\"", Where::posix, "",
     no_arguments("a?[2Jb"), 2},
    {"a control character, standard output closed", " \"$(printf 'a\\033[2Jb')\"", Where::posix, "",
     no_arguments("a?[2Jb"), 2, true},
    {"a long argument is cut", " " + std::string(200, 'a'), Where::both, "",
     no_arguments(std::string(128, 'a') + "..."), 2},
    {"after a double dash help is an argument", " -- --help", Where::both, "", no_arguments("--help"), 2},
    {"a slash is a path on POSIX", " /x", Where::posix, "", no_arguments("/x"), 2},
    {"a dash and a question mark on POSIX", " -?", Where::posix, "", unknown("-?"), 2},
    {"a slash and a question mark on Windows", " /?", Where::windows, USAGE},
    {"a dash and a question mark on Windows", " -?", Where::windows, USAGE},
    {"an upper-case slash h on Windows", " /H", Where::windows, USAGE},
    {"a slash help in any case on Windows", " /Help", Where::windows, USAGE},
    {"an upper-case slash v on Windows", " /V", Where::windows, VERSION},
    {"a slash version on Windows", " /version", Where::windows, VERSION},
    {"an unknown slash switch on Windows", " /x", Where::windows, "", unknown("/x"), 2},
};

TEST_P(CommandLine, AnswersBeforeAnyQuestion) {
    const Arguments& c = GetParam();
    if ((c.where == Where::windows && !windows_build()) || (c.where == Where::posix && windows_build())) {
        GTEST_SKIP() << "another platform's command line";
    }
    if (c.out_closed && windows_build()) {
        GTEST_SKIP() << "a closed standard output is a POSIX matter";
    }
    args_ = c.args;
    if (c.out_closed) {
        wrapper_ = " sh -c 'exec \"$0\" \"$@\" >&-'";  // after the run's own redirections
    }
    const Result r = run("t\nDelfini\nn\n");  // answers that would make a calendar, were a question asked
    EXPECT_EQ(r.out, c.out_closed ? "" : as_written(c.out == USAGE ? usage() : c.out));
    EXPECT_EQ(r.err, as_written(c.err));
    EXPECT_EQ(r.status, c.status);
    for (const char* name : {"calendario.txt", "calendario.doc", "calendario.xls"}) {
        EXPECT_EQ(get(name), NONE) << name;
    }
}

// The help fits an 80-column terminal, names every option in its first line,
// and goes out in one write: a reader that takes the first line and goes
// leaves the program no second write to die of (status 0 under pipefail).
TEST_F(Program, HelpFitsAndSurvivesHead) {
    std::size_t start = 0;
    const std::string help = usage();
    for (std::size_t end = help.find('\n'); end != std::string::npos; end = help.find('\n', start = end + 1)) {
        EXPECT_LE(end - start, 79u) << help.substr(start, end - start);
    }
    std::string first = help.substr(0, help.find('\n'));
    std::replace_if(
        first.begin(), first.end(), [](char c) { return c == '[' || c == ']'; }, ' ');
    for (const char* option : {"-h", "--help", "-V", "--version"}) {
        EXPECT_NE(first.find(std::string(" ") + option + " "), std::string::npos) << option;
    }
    if (windows_build()) {
        GTEST_SKIP() << "a pipe that closes early is a POSIX matter";
    }
    for (const char* locale : {"C", "C.UTF-8"}) {
        const std::string line = "set -o pipefail; LC_ALL=" + std::string(locale) + " '" + QUADRIVO_PROGRAM +
                                 "' --help | head -n 1 > '" + path("first").string() + "'";
        const std::string command = "bash -c \"" + line + "\"";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << locale << " status " << status;
        EXPECT_EQ(get("first"), "Uso: quadrivo [-h | --help | -V | --version]\n") << locale;
    }
    // The pipe above may be read whole before head goes; the writes themselves tell for sure.
    const std::string trace = path("trace").string();
    if (std::system("strace -o /dev/null true 2>/dev/null") != 0) {
        GTEST_SKIP() << "strace missing or not allowed here: the help's writes not counted";
    }
    const std::string traced = "LC_ALL=C.UTF-8 " + std::string(UNDER_STRACE) + "strace -e trace=write -o '" + trace +
                               "' '" + QUADRIVO_PROGRAM + "' --help > /dev/null";
    ASSERT_EQ(std::system(traced.c_str()), 0);
    std::ifstream lines(trace);
    int writes = 0;
    for (std::string line; std::getline(lines, line);) {
        writes += line.rfind("write(1,", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(writes, 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLine, ::testing::ValuesIn(arguments), case_name<Arguments>);

// A missing originale.txt beside a file whose name looks like it (a hidden
// extension, another case): the message points at it.
struct Alike {
    const char* what;
    std::vector<std::string> names;  // files made in the folder; a trailing / makes a folder
    std::string err;
    bool case_blind;  // Windows finds it by itself: its names ignore case
    std::string windows_err = "";  // the Windows program's, where it differs: Explorer hides extensions
};

void PrintTo(const Alike& c, std::ostream* os) {
    *os << c.what;
}

class LookAlike : public Program, public ::testing::WithParamInterface<Alike> {};

std::string there_is(const std::string& name, const std::string& advice) {
    return cannot_read("non si trova nella cartella <DIR>, ma c'\xE8 \xAB" + name + "\xBB: " + advice);
}
std::string rename_it(const std::string& name) {
    return there_is(name, "rinominalo in originale.txt e riprova");
}
std::string save_it(const std::string& name) {
    return there_is(name, "aprilo e salvalo come testo con il nome originale.txt, poi riprova");
}
// On Windows: the stem alone typed over a name ending in .txt, or extensions shown first.
std::string type_the_stem(const std::string& name) {
    return there_is(name, "rinominalo scrivendo solo originale (l'estensione .txt rimane), poi riprova");
}
std::string show_extensions(const std::string& name) {
    return there_is(name,
                    "rinominalo in originale.txt, dopo aver attivato \xAB"
                    "Estensioni nomi file\xBB nel menu Visualizza di Esplora file, poi riprova");
}

const Alike alikes[] = {
    {"a hidden extension",
     {"originale.txt.txt"},
     rename_it("originale.txt.txt"),
     false,
     type_the_stem("originale.txt.txt")},
    {"another case", {"Originale.TXT"}, rename_it("Originale.TXT"), true},
    {"a csv", {"originale.csv"}, rename_it("originale.csv"), false, show_extensions("originale.csv")},
    {"no extension", {"ORIGINALE"}, rename_it("ORIGINALE"), false},
    {"a workbook", {"originale.xlsx"}, save_it("originale.xlsx"), false},
    {"a PDF in capitals", {"originale.PDF"}, save_it("originale.PDF"), false},
    {"several: the first in name order",
     {"originale.xlsx", "originale.csv", "originale.txt.txt"},
     rename_it("originale.csv"),
     false,
     show_extensions("originale.csv")},
    {"a folder skipped",
     {"originale.a/", "originale.b"},
     rename_it("originale.b"),
     false,
     show_extensions("originale.b")},
    {"a control character shown as ?", {"originale.\x1B[31m"}, rename_it("originale.?[31m"), false},
    {"not a look-alike", {"originale_vecchio.txt"}, MISSING, false},
    {"a browser's second download",
     {"originale (1).txt"},
     rename_it("originale (1).txt"),
     false,
     type_the_stem("originale (1).txt")},
    {"a number without a blank",
     {"originale(2).txt"},
     rename_it("originale(2).txt"),
     false,
     type_the_stem("originale(2).txt")},
    {"a copy made by Windows",
     {"originale - Copia.txt"},
     rename_it("originale - Copia.txt"),
     false,
     type_the_stem("originale - Copia.txt")},
    {"a copy's copy, a workbook", {"originale - Copia (2).xlsx"}, save_it("originale - Copia (2).xlsx"), false},
    {"a copy in English, no extension", {"originale - Copy"}, rename_it("originale - Copy"), false},
    {"today's kinds before copies",
     {"originale (1).txt", "originale.csv"},
     rename_it("originale.csv"),
     false,
     show_extensions("originale.csv")},
    {"copies in name order",
     {"originale - Copia.txt", "originale (2).txt"},
     rename_it("originale (2).txt"),
     false,
     type_the_stem("originale (2).txt")},
    {"a blank at the end shows", {"originale.txt "}, rename_it("originale.txt "), true},
    {"a shortcut is never one", {"originale.txt - Collegamento.lnk", "originale.lnk"}, MISSING, false},
    {"a shortcut skipped for a copy",
     {"originale.lnk", "originale (1).csv"},
     rename_it("originale (1).csv"),
     false,
     show_extensions("originale (1).csv")},
    {"an empty number is no copy", {"originale ().txt"}, MISSING, false},
    {"a copy's words then another name", {"originale - Copia di prova.txt"}, MISSING, false},
};

TEST_P(LookAlike, PointsAtTheFileMeant) {
    const Alike& c = GetParam();
    if (windows_build() && (c.case_blind || c.what == std::string("a control character shown as ?"))) {
        GTEST_SKIP() << "Windows names ignore case and hold no control characters nor a blank at the end";
    }
    for (const std::string& name : c.names) {
        if (name.back() == '/') {
            fs::create_directory(path(name.substr(0, name.size() - 1)));
        } else {
            put(name, CALENDAR);
        }
    }
    const Result r = run("t\nLupi\nn\n");
    const std::string& err = windows_build() && !c.windows_err.empty() ? c.windows_err : c.err;
    EXPECT_EQ(r.err, as_written(in_folder(err)));
    EXPECT_EQ(r.status, 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, LookAlike, ::testing::ValuesIn(alikes), case_name<Alike>);

// Answers files as editors save them: a byte order mark at the start.
struct Marked {
    const char* what;
    std::string input;
    std::string calendar;  // its lines, for the name in the answers
};

void PrintTo(const Marked& c, std::ostream* os) {
    *os << c.what;
}

class MarkedAnswers : public Program, public ::testing::WithParamInterface<Marked> {};

const Marked markeds[] = {
    {"UTF-8 with its mark", "\xEF\xBB\xBFt\nLupi\nn\n", "Delfini - Lupi 2-1\n\n"},
    {"UTF-8 with its mark, CR LF", "\xEF\xBB\xBFt\r\nLupi\r\nn\r\n", "Delfini - Lupi 2-1\n\n"},
    {"UTF-16LE, an accented name", "\xFF\xFE" + wide(U"t\r\nCitt\u00E0 di Mont\u00E8\r\nn\r\n", 2),
     "Orsi - Citt\xE0 di Mont\xE8 2-1\n\n"},
    {"UTF-16BE, an accented name", "\xFE\xFF" + wide(U"t\nCitt\u00E0 di Mont\u00E8\nn\n", 2, true),
     "Orsi - Citt\xE0 di Mont\xE8 2-1\n\n"},
    {"UTF-16LE, a letter holding the byte 1A", "\xFF\xFE" + wide(U"t\r\n\u021Aara Noua\r\nn\r\n", 2),
     "Orsi - \xC8\x9A"
     "ara Noua\n\n"},
    {"UTF-16LE, a letter beyond 16 bits", "\xFF\xFE" + wide(U"t\r\nFalchi \U0001F43A\r\nn\r\n", 2),
     "Orsi - Falchi \xF0\x9F\x90\xBA\n\n"},
};

TEST_P(MarkedAnswers, AreReadAsSaved) {
    const Marked& c = GetParam();
    put("originale.txt",
        "Delfini - Lupi 2-1\nOrsi - Citt\xE0 di Mont\xE8 2-1\nOrsi - \xC8\x9A"
        "ara Noua\n"
        "Orsi - Falchi \xF0\x9F\x90\xBA\n");
    const Result r = run(c.input);
    EXPECT_EQ(r.out, as_written(FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(get("calendario.txt"), as_written(c.calendar));
}

INSTANTIATE_TEST_SUITE_P(Cases, MarkedAnswers, ::testing::ValuesIn(markeds), case_name<Marked>);

// A working folder as long as Windows lets a program start in: the calendar
// is made there, whether an earlier one stands or not.
TEST_F(Program, AFolderOf250CharactersWorks) {
    // "Z:" and the path with backslashes under Wine: 250 characters in all.
    const std::size_t have = path("").string().size() + (windows_build() ? 2 : 0);
    const fs::path deep = path(std::string(120, 'c')) / std::string(250 - have - 121, 'd');
    fs::create_directories(deep);
    std::ofstream(deep / "originale.txt", std::ios::binary) << CALENDAR;
    for (const bool earlier : {false, true}) {
        if (earlier) {
            std::ofstream(deep / "calendario.txt", std::ios::binary) << EARLIER;
        } else {
            fs::remove(deep / "calendario.txt");
        }
        const char* command = std::getenv("QUADRIVO_COMMAND");
        const fs::path io = root_ / "io";
        std::ofstream(io / "in") << "t\nDelfini\nn\n";
        const std::string line = "cd '" + deep.string() + "' && LC_ALL=C " + (command != nullptr ? command : program_) +
                                 " < '" + (io / "in").string() + "' > /dev/null 2> '" + (io / "err").string() + "'";
        EXPECT_EQ(std::system(line.c_str()), 0) << bytes_of(io / "err");
        EXPECT_EQ(bytes_of(deep / "calendario.txt"), as_written(DELFINI_LINES)) << earlier;
        EXPECT_EQ(bytes_of(io / "err"), "");
    }
}

// originale.txt and the calendar are never one file: refused at the format
// answer, both files as they were.
enum class Joined { source_to_calendar, calendar_to_source, source_to_no_calendar, hard_link, hard_link_closed_folder };

struct Same {
    const char* what;
    Joined how;
};

void PrintTo(const Same& c, std::ostream* os) {
    *os << c.what;
}

class SameFile : public Program, public ::testing::WithParamInterface<Same> {};

const Same sames[] = {
    {"source a link to the calendar", Joined::source_to_calendar},
    {"calendar a link to the source", Joined::calendar_to_source},
    {"source a link to a calendar not yet made", Joined::source_to_no_calendar},
    {"hard links of one file", Joined::hard_link},
    {"hard links, new files refused", Joined::hard_link_closed_folder},
};

const std::string SAME = cannot_write("calendario.txt", "\xE8 lo stesso file di originale.txt");

TEST_P(SameFile, RefusedAtTheFormatAnswer) {
    const Same& c = GetParam();
    if (windows_build()) {
        GTEST_SKIP() << "links made from Linux";
    }
    const bool calendar_first = c.how == Joined::source_to_calendar || c.how == Joined::source_to_no_calendar;
    put(calendar_first ? "calendario.txt" : "originale.txt", CALENDAR);
    if (c.how == Joined::hard_link || c.how == Joined::hard_link_closed_folder) {
        fs::create_hard_link(path("originale.txt"), path("calendario.txt"));
    } else {
        fs::create_symlink(calendar_first ? "calendario.txt" : "originale.txt",
                           path(calendar_first ? "originale.txt" : "calendario.txt"));
    }
    if (c.how == Joined::source_to_no_calendar) {
        fs::remove(path("calendario.txt"));
    }
    if (c.how == Joined::hard_link_closed_folder) {
        if (!as_another_user()) {
            GTEST_SKIP() << "needs another user: the tests run as root to have one";
        }
        ASSERT_EQ(chown(path("originale.txt").c_str(), 65534, 65534), 0);
        fs::permissions(path(""), fs::perms(0555));
    }
    const Result r = run("t\nLupi\nn\n");
    fs::permissions(path(""), fs::perms::owner_all);
    EXPECT_EQ(r.out, FORMAT_Q + RESTART_Q);
    EXPECT_EQ(r.err, SAME);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(bytes_of(path("originale.txt")), c.how == Joined::source_to_no_calendar ? "" : CALENDAR);
    EXPECT_EQ(get("calendario.txt"), c.how == Joined::source_to_no_calendar ? NONE
                                     : c.how == Joined::calendar_to_source  ? "<not a file>"
                                                                            : CALENDAR);
}

INSTANTIATE_TEST_SUITE_P(Cases, SameFile, ::testing::ValuesIn(sames), case_name<Same>);

// A file size limit, the signal's action the default: the pass fails and says
// why, the earlier calendar whole, nothing left, the restart question asked.
class SizeLimit : public Program, public ::testing::WithParamInterface<int> {};

TEST_P(SizeLimit, IsAnErrorNeverAKill) {
    if (windows_build()) {
        GTEST_SKIP() << "ulimit is a POSIX matter";
    }
    put("originale.txt", numbered(100));
    put("calendario.txt", EARLIER);
    // The limit holds for regular files only: the dialogue goes through a pipe.
    const fs::path io = root_ / "io";
    const std::string line = "cd '" + path("").string() + "' && { LC_ALL=C sh -c 'ulimit -f " +
                             std::to_string(GetParam()) + "; exec \"$0\"' " + QUADRIVO_PROGRAM + " < '" +
                             (io / "typed").string() + "' 2>&1; echo $? > '" + (io / "status").string() +
                             "'; } | cat > '" + (io / "shown").string() + "'";
    std::ofstream(io / "typed") << "t\nLupi\nn\n";
    ASSERT_EQ(std::system(line.c_str()), 0);
    EXPECT_EQ(bytes_of(io / "shown"), FORMAT_Q + NAME_Q + cannot_write("calendario.txt", TOO_BIG) + RESTART_Q);
    EXPECT_EQ(bytes_of(io / "status"), "1\n");
    EXPECT_EQ(get("calendario.txt"), EARLIER);
    EXPECT_EQ(left_behind(), "");
}

INSTANTIATE_TEST_SUITE_P(Blocks, SizeLimit, ::testing::Values(0, 1));

// Changed while the program waits at a question: the working folder removed
// (said of either file), or the source made a link to the calendar (found
// just before the calendar would be replaced), or, in a folder with no
// calendar, the pass ended at the name question (the empty file that the
// format answer made goes).
enum class Change { folder_removed, source_linked, pass_ended };

struct Waiting {
    const char* what;
    Change change;
    const char* typed_before;  // typed before the change
    std::string said;
    int ended_by = 0;  // the signal that ends the pass, or 0 for the end of input
};

void PrintTo(const Waiting& c, std::ostream* os) {
    *os << c.what;
}

class ChangedWhileWaiting : public Program, public ::testing::WithParamInterface<Waiting> {};

const Waiting waitings[] = {
    {"folder removed before the format answer", Change::folder_removed, "",
     cannot_write("calendario.txt", "la cartella di lavoro non esiste pi\xF9")},
    {"folder removed before the name", Change::folder_removed, "t\r",
     cannot_read("la cartella di lavoro non esiste pi\xF9")},
    {"source linked to the calendar while the name is typed", Change::source_linked, "t\r", SAME},
    {"no calendar, SIGINT at the name", Change::pass_ended, "t\r", "", SIGINT},
    {"no calendar, SIGTERM at the name", Change::pass_ended, "t\r", "", SIGTERM},
    {"no calendar, SIGHUP at the name", Change::pass_ended, "t\r", "", SIGHUP},
    {"no calendar, SIGQUIT at the name", Change::pass_ended, "t\r", "", SIGQUIT},
    {"no calendar, SIGUSR1 at the name", Change::pass_ended, "t\r", "", SIGUSR1},
    {"no calendar, the input ended at the name", Change::pass_ended, "t\r", "", 0},
};

TEST_P(ChangedWhileWaiting, IsSaidSo) {
    const Waiting& c = GetParam();
    if (windows_build()) {
        GTEST_SKIP() << "Windows removes no folder a program works in; links are made from Linux";
    }
    put("originale.txt", CALENDAR);
    if (c.change != Change::pass_ended) {
        put("calendario.txt", EARLIER);
    }
    Terminal terminal("exec " + std::string(QUADRIVO_PROGRAM), path("").string(), "C");
    ASSERT_TRUE(terminal.expect("premi invio)"));
    if (*c.typed_before != '\0') {
        terminal.type(c.typed_before);
        ASSERT_TRUE(terminal.expect("Inserisci il nome"));
    }
    if (c.change == Change::pass_ended) {
        EXPECT_EQ(get("calendario.txt"), "");  // made at the format answer
        if (c.ended_by != 0) {
            EXPECT_EQ(terminal.stop(c.ended_by), c.ended_by);
        } else {
            terminal.type("\x04");  // the end-of-input key at the start of a line
            EXPECT_EQ(terminal.finish(), 0);
        }
        EXPECT_EQ(get("calendario.txt"), NONE);
        EXPECT_EQ(left_behind(), "");
        return;
    }
    if (c.change == Change::folder_removed) {
        fs::remove_all(path(""));
    } else {
        fs::remove(path("originale.txt"));
        fs::create_symlink("calendario.txt", path("originale.txt"));
    }
    terminal.type(*c.typed_before != '\0' ? "Lupi\r" : "t\r");
    ASSERT_TRUE(terminal.expect("ricominciare"));
    terminal.type("n\r");
    EXPECT_EQ(terminal.finish(), 1);
    std::string said = in_utf8(c.said);  // no locale on a terminal: UTF-8
    said.insert(said.size() - 1, "\r");  // a terminal ends lines with CR LF
    EXPECT_NE(terminal.shown().find(said), std::string::npos) << terminal.shown();
    EXPECT_EQ(get("calendario.txt"), c.change == Change::folder_removed ? NONE : EARLIER);
}

INSTANTIATE_TEST_SUITE_P(Cases, ChangedWhileWaiting, ::testing::ValuesIn(waitings), case_name<Waiting>);

// Control characters in the folder's name show as '?': the line stays one line.
TEST_F(Program, ControlCharactersOfAFolderShowAsQuestionMarks) {
    if (windows_build()) {
        GTEST_SKIP() << "such names are made from Linux";
    }
    const std::string odd =
        "a\nb\x1B[31mc\ad\x7F"
        "e\xC2\x9B"
        "f\x9B"
        "g";
    fs::create_directory(path(odd));
    const std::string line = "cd '" + path(odd).string() + "' && printf 't\\nLupi\\nn\\n' | LC_ALL=C.UTF-8 " +
                             QUADRIVO_PROGRAM + " 2> '" + (root_ / "io" / "err").string() + "' > /dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(line.c_str())), 1);
    const std::string shown = (root_ / "work").string() + "/a?b?[31mc?d?e?f?g";
    EXPECT_EQ(bytes_of(root_ / "io" / "err"), cannot_read("non si trova nella cartella " + shown));
}

// A replaced calendar keeps its owner and group where the system allows, and
// its permission bits but the set-id and sticky ones.
struct Owned {
    const char* what;
    uid_t uid;  // the earlier calendar's owner and group
    gid_t gid;
    int mode;
    const char* runner;  // setpriv's options for the user who runs the program; empty: root
    uid_t kept_uid;  // afterwards
    gid_t kept_gid;
    int kept_mode;
};

void PrintTo(const Owned& c, std::ostream* os) {
    *os << c.what;
}

class Ownership : public Program, public ::testing::WithParamInterface<Owned> {};

const char* const NOBODY = " setpriv --reuid=65534 --regid=65534 --groups=4242";

const Owned owneds[] = {
    {"root keeps a user's owner and group", 65534, 4242, 0640, "", 65534, 4242, 0640},
    {"a group's member keeps the group", 1, 4242, 0664, NOBODY, 65534, 4242, 0664},
    {"set-id bits dropped", 65534, 65534, 06777, "", 65534, 65534, 0777},
    {"set-user-id dropped", 65534, 65534, 04755, "", 65534, 65534, 0755},
    {"sticky bit dropped", 65534, 65534, 01666, "", 65534, 65534, 0666},
};

TEST_P(Ownership, OwnerGroupAndModeKept) {
    const Owned& c = GetParam();
    if (windows_build() || geteuid() != 0) {
        GTEST_SKIP() << "owners and groups need root to set up, and are a POSIX matter";
    }
    fs::permissions(root_, fs::perms(0755));
    fs::copy_file(QUADRIVO_PROGRAM, root_ / "io" / "quadrivo");
    program_ = (root_ / "io" / "quadrivo").string();
    put("originale.txt", CALENDAR);
    put("calendario.txt", EARLIER);
    ASSERT_EQ(chown(path("").c_str(), 65534, 65534), 0);  // the user's folder
    fs::permissions(path(""), fs::perms(0777));
    ASSERT_EQ(chown(path("calendario.txt").c_str(), c.uid, c.gid), 0);
    ASSERT_EQ(chmod(path("calendario.txt").c_str(), static_cast<mode_t>(c.mode)), 0);
    wrapper_ = c.runner;
    const Result r = run("t\nLupi\nn\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(get("calendario.txt"), LUPI_LINES);
    struct stat st {};
    ASSERT_EQ(stat(path("calendario.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, c.kept_uid);
    EXPECT_EQ(st.st_gid, c.kept_gid);
    EXPECT_EQ(static_cast<int>(st.st_mode & 07777), c.kept_mode);
    // Its owner can replace it again.
    wrapper_ = " setpriv --reuid=" + std::to_string(c.kept_uid) + " --regid=65534 --groups=4242";
    EXPECT_EQ(run("t\nDelfini\nn\n").status, 0);
    EXPECT_EQ(get("calendario.txt"), DELFINI_LINES);
}

INSTANTIATE_TEST_SUITE_P(Cases, Ownership, ::testing::ValuesIn(owneds), case_name<Owned>);

// A run on a terminal whose source is a FIFO: it reads the first lines the
// test writes, then waits for more, its new calendar unfinished in memory.
class HeldRun : public Program {
protected:
    // What the held run's program is started under: nothing here.
    virtual std::string under() const { return ""; }

    void SetUp() override {
        Program::SetUp();
        if (windows_build()) {
            GTEST_SKIP() << "POSIX signals and FIFOs";
        }
        put("calendario.txt", EARLIER);
        ASSERT_EQ(mkfifo(path("originale.txt").c_str(), 0666), 0);
        held_ = std::make_unique<Terminal>("exec " + under() + QUADRIVO_PROGRAM, path("").string(), "C");
        ASSERT_TRUE(held_->expect("premi invio)"));
        held_->type("t\r");
        ASSERT_TRUE(held_->expect("Inserisci il nome"));
        held_->type("Lupi\r");
        fifo_ = open(path("originale.txt").c_str(), O_WRONLY);
        ASSERT_GE(fifo_, 0);
        send(lines(1, 60));
        // The run has read what was sent once the FIFO is empty; it waits for the rest.
        int unread = 1;
        for (int tries = 0; tries < 200 && unread > 0; ++tries) {
            usleep(50000);
            ASSERT_EQ(ioctl(fifo_, FIONREAD, &unread), 0);
        }
        ASSERT_EQ(unread, 0);
        EXPECT_EQ(left_behind(), "");  // the new calendar is in memory only
    }
    void TearDown() override {
        if (fifo_ >= 0) {
            close(fifo_);
        }
        held_.reset();
        Program::TearDown();
    }

    // Lines first to last of a source of 100-byte lines, all holding "Lupi".
    static std::string lines(int first, int last) {
        std::string text;
        for (int i = first; i <= last; ++i) {
            text += "Lupi - giornata " + std::to_string(1000 + i) + std::string(79, '.') + "\n";
        }
        return text;
    }
    void send(const std::string& text) {
        EXPECT_EQ(write(fifo_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }

    std::unique_ptr<Terminal> held_;
    int fifo_ = -1;
};

// The held run on the named path (strace hides /proc/self/fd from it), its
// new file's sync delayed 4 s: once the source ends, its named new file
// exists for that long before its rename. strace -D leaves the program the
// terminal's process, which the signals reach.
class NamedHeldRun : public HeldRun {
protected:
    std::string under() const override {
        return std::string(UNDER_STRACE) +
               "strace -D -f -qq -o /dev/null -e trace=access,fsync -e inject=access:error=ENOENT "
               "-e inject=fsync:delay_enter=4000000:when=1 ";
    }
    void SetUp() override {
        if (std::system("strace -o /dev/null true 2>/dev/null") != 0) {
            GTEST_SKIP() << "needs strace, allowed to trace";
        }
        HeldRun::SetUp();
    }
    // Ends the source and waits until the named new file exists.
    void until_named() {
        close(fifo_);
        fifo_ = -1;
        for (int tries = 0; tries < 100 && left_behind().empty(); ++tries) {
            usleep(50000);
        }
        ASSERT_NE(left_behind(), "");
    }
};

class Signalled : public NamedHeldRun, public ::testing::WithParamInterface<int> {};

TEST_P(Signalled, RunLeavesTheEarlierCalendarAndNoTemporaryFile) {
    until_named();
    EXPECT_EQ(held_->stop(GetParam()), GetParam());
    EXPECT_EQ(get("calendario.txt"), EARLIER);
    if (GetParam() == SIGKILL) {  // no program can remove its file then: the next run does
        fs::remove(path("originale.txt"));
        put("originale.txt", CALENDAR);
        EXPECT_EQ(run("t\nLupi\nn\n").status, 0);
    }
    EXPECT_EQ(left_behind(), "");
}

TEST_F(NamedHeldRun, AnotherRunMeanwhileKeepsItsFile) {
    until_named();
    const std::string named = left_behind();
    fs::remove(path("originale.txt"));  // the held run has read its FIFO to the end
    put("originale.txt", CALENDAR);
    EXPECT_EQ(run("t\nLupi\nn\n").status, 0);
    EXPECT_EQ(left_behind(), named);  // a live run's file is never taken
    ASSERT_TRUE(held_->expect("ricominciare"));
    held_->type("n\r");
    EXPECT_EQ(held_->finish(), 0);
    EXPECT_EQ(get("calendario.txt").size(), 60 * 101u);  // the held run's 60 lines, each with an empty line
    EXPECT_EQ(left_behind(), "");
}

INSTANTIATE_TEST_SUITE_P(Signals, Signalled, ::testing::Values(SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGKILL));

TEST_F(HeldRun, CalendarMadeReadOnlyMeanwhileIsKept) {
    ASSERT_EQ(chmod(path("calendario.txt").c_str(), 0444), 0);  // refused to root too: no write bit
    close(fifo_);
    fifo_ = -1;
    ASSERT_TRUE(held_->expect("Impossibile scrivere il file calendario.txt"));
    ASSERT_TRUE(held_->expect("ricominciare"));
    held_->type("n\r");
    EXPECT_EQ(held_->finish(), 1);
    EXPECT_EQ(get("calendario.txt"), EARLIER);
    EXPECT_EQ(left_behind(), "");
}

TEST_F(HeldRun, OverlappingRunsEachLeaveAWholeCalendar) {
    fs::remove(path("originale.txt"));  // the held run keeps its FIFO open
    put("originale.txt", CALENDAR);
    const Result r = run("t\nLupi\nn\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(get("calendario.txt"), LUPI_LINES);
    send(lines(61, 70));
    close(fifo_);
    fifo_ = -1;
    ASSERT_TRUE(held_->expect("ricominciare"));
    held_->type("n\r");
    EXPECT_EQ(held_->finish(), 0);
    std::string whole;
    for (int i = 1; i <= 70; ++i) {
        whole += lines(i, i) + "\n";
    }
    EXPECT_EQ(get("calendario.txt"), whole);
    EXPECT_EQ(left_behind(), "");
}

// The sample calendar's lines among the first 120, CR LF read as LF, that hold the bytes of name.
std::string sample_lines_with(const std::string& name, const std::string& sample) {
    std::string selected;
    std::istringstream lines(sample);
    std::string line;
    for (int m = 0; m < 120 && std::getline(lines, line); ++m) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.find(name) != std::string::npos) {
            selected += line + "\n\n";
        }
    }
    return selected;
}

// Accented names typed in UTF-8 find the sample's Windows-1252 lines and the same lines in UTF-8.
TEST_F(Program, AccentedNamesTypedInUtf8) {
    if (windows_build()) {
        GTEST_SKIP() << "the locale's codeset is a POSIX matter";
    }
    const std::string sample = bytes_of(QUADRIVO_SAMPLE);
    const std::string sample_utf8 = in_utf8(sample);
    for (const auto& [typed, cp1252] : {std::pair{"Libert\xC3\xA0 Calvisano", "Libert\xE0 Calvisano"},
                                        std::pair{"Citt\xC3\xA0 di Montefiore", "Citt\xE0 di Montefiore"}}) {
        for (const bool utf8_calendar : {false, true}) {
            put("originale.txt", utf8_calendar ? sample_utf8 : sample);
            const Result r = run("t\n" + std::string(typed) + "\nn\n", "C.UTF-8");
            const std::string expected =
                sample_lines_with(utf8_calendar ? typed : cp1252, utf8_calendar ? sample_utf8 : sample);
            EXPECT_FALSE(expected.empty());
            EXPECT_EQ(get("calendario.txt"), as_written(expected)) << typed << (utf8_calendar ? " in UTF-8" : "");
            EXPECT_EQ(r.err, as_written(ONLY_120)) << typed;
        }
    }
}

// Under a UTF-8 locale, and through a pipe with none, a well-formed sequence is
// one character, and every byte of an ill-formed one a character of its own:
// its Windows-1252 letter.
struct Typed {
    const char* what;
    std::string bytes;  // typed, then padded with x to the count of characters below
    int characters;
};

void PrintTo(const Typed& c, std::ostream* os) {
    *os << c.what;
}

class Utf8Typing : public Program, public ::testing::WithParamInterface<Typed> {};

const Typed typings[] = {
    {"overlong C0 AF", "\xC0\xAF", 2},
    {"overlong E0 80 AF", "\xE0\x80\xAF", 3},
    {"surrogate ED A0 80", "\xED\xA0\x80", 3},
    {"above U+10FFFF F4 90 80 80", "\xF4\x90\x80\x80", 4},
    {"five-byte form F8 88 80 80 80", "\xF8\x88\x80\x80\x80", 5},
    {"truncated E2 82", "\xE2\x82", 2},
    {"unassigned byte 81", "\x81", 1},
    {"well-formed e grave", "\xC3\xA8", 1},
    {"well-formed four bytes", "\xF0\x9F\x98\x80", 1},
    {"19 accented letters", in_utf8(std::string(19, '\xE8')), 19},
};

TEST_P(Utf8Typing, NameOf19CharactersAcceptedOf20Refused) {  // the 20th an e grave
    const Typed& t = GetParam();
    const std::string name19 = t.bytes + std::string(19 - t.characters, 'x');
    put("originale.txt", "Orsi - " + name19 + "\nOrsi\n");
    // A pipe with no locale at all (on Windows, an answers file) reads typed text
    // alike; only the messages stay single bytes.
    for (const char* locale : {"C.UTF-8", ""}) {
        if (windows_build() && *locale != '\0') {
            continue;  // a locale is a POSIX matter
        }
        const Result r = run("t\n" + name19 + "\xC3\xA8\n" + name19 + "\nn\n", locale);
        const std::string dialogue = FORMAT_Q + NAME_Q + TOO_LONG + NAME_Q + DONE + DONE_TXT + RESTART_Q;
        EXPECT_EQ(r.out, as_written(*locale != '\0' ? in_utf8(dialogue) : dialogue)) << locale;
        EXPECT_EQ(get("calendario.txt"), as_written("Orsi - " + name19 + "\n\n")) << locale;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Utf8Typing, ::testing::ValuesIn(typings), case_name<Typed>);

TEST_F(Program, AccentedFormatAnswerIsOneWrongAnswer) {
    if (windows_build()) {
        GTEST_SKIP() << "the locale's codeset is a POSIX matter";
    }
    put("originale.txt", CALENDAR);
    const Result r = run("\xC3\xA8\nt\nLupi\nn\n", "C.UTF-8");
    EXPECT_EQ(r.out, as_written(in_utf8(FORMAT_Q + WRONG + FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q)));
}

TEST_F(Program, FailedPassKeepsStatusOneAfterALaterSuccess) {
    put("originale.txt", CALENDAR);
    fs::create_directory(path("calendario.doc"));
    const Result r = run("w\ny\nt\nLupi\nn\n");
    EXPECT_EQ(r.out, as_written(FORMAT_Q + RESTART_Q + FORMAT_Q + NAME_Q + DONE + DONE_TXT + RESTART_Q));
    EXPECT_EQ(r.err, as_written(cannot_write("calendario.doc", A_FOLDER)));
    EXPECT_EQ(get("calendario.txt"), as_written(LUPI_LINES));
    EXPECT_EQ(r.status, 1);
}

// The program as a person meets it: on a terminal with a UTF-8 locale, where
// the accented letters must show as such and a name typed with them must find
// its lines in a Windows-1252 and in a UTF-8 calendar. command is the shell
// command that starts the program; run in the Program fixture's folder.
class OnATerminal : public Program {
protected:
    void one_pass(const std::string& command, const char* locale = "C.UTF-8") {
        const std::string sample = bytes_of(QUADRIVO_SAMPLE);
        const std::string sample_utf8 = in_utf8(sample);
        for (const bool utf8_calendar : {false, true}) {
            put("originale.txt", utf8_calendar ? sample_utf8 : sample);
            fs::remove(path("calendario.txt"));
            Terminal terminal(command, path("").string(), locale);
            ASSERT_TRUE(terminal.started());
            ASSERT_TRUE(terminal.expect("x per Ecxel e poi premi invio)")) << terminal.shown();
            terminal.type("t\r");
            ASSERT_TRUE(terminal.expect("Inserisci il nome della tua squadra")) << terminal.shown();
            terminal.type("Citt\xC3\xA0 di Montefiore\r");
            EXPECT_TRUE(terminal.expect("calendario \xC3\xA8 pronto")) << terminal.shown();
            ASSERT_TRUE(terminal.expect("il vecchio file verr\xC3\xA0 perso")) << terminal.shown();
            terminal.type("n\r");
            EXPECT_EQ(terminal.finish(), 0);
            const std::string expected =
                sample_lines_with(utf8_calendar ? "Citt\xC3\xA0 di Montefiore" : "Citt\xE0 di Montefiore",
                                  utf8_calendar ? sample_utf8 : sample);
            EXPECT_EQ(get("calendario.txt"), as_written(expected)) << command;
        }
    }
};

TEST_F(OnATerminal, AccentsShowAndAccentedNamesAreFound) {
    const char* command = std::getenv("QUADRIVO_COMMAND");
    one_pass(command != nullptr ? command : QUADRIVO_PROGRAM);
}

// No locale set at all: the terminal is taken as UTF-8, as terminals are today.
TEST_F(OnATerminal, NoLocaleMeansUtf8) {
    if (windows_build()) {
        GTEST_SKIP() << "the locale's codeset is a POSIX matter";
    }
    one_pass(QUADRIVO_PROGRAM, nullptr);
}

// A refused argument on a console: a Windows console that holds the program
// alone (as Explorer's window does, and Wine's on a terminal) keeps the words
// until Enter is pressed; a POSIX terminal outlives the program and does not wait.
TEST_F(OnATerminal, RefusalWaitsOnlyInAConsoleOfItsOwn) {
    const char* command = std::getenv("QUADRIVO_COMMAND");
    Terminal terminal(std::string(command != nullptr ? command : QUADRIVO_PROGRAM) + " mio.txt", path("").string(),
                      "C.UTF-8");
    ASSERT_TRUE(terminal.expect("Per un aiuto: quadrivo ")) << terminal.shown();
    if (windows_build()) {
        ASSERT_TRUE(terminal.expect("Premi Invio per chiudere.")) << terminal.shown();
        terminal.type("\r");
    }
    EXPECT_EQ(terminal.finish(), 2);
    EXPECT_EQ(terminal.shown().find("Premi Invio") != std::string::npos, windows_build()) << terminal.shown();
    EXPECT_NE(terminal.shown().find("\xC2\xABmio.txt\xC2\xBB"), std::string::npos) << terminal.shown();
    EXPECT_EQ(get("calendario.txt"), NONE);
}

// A letter beyond the 16-bit range is one character: a surrogate pair in a Windows console.
TEST_F(OnATerminal, LetterBeyondSixteenBitsIsOneCharacter) {
    const char* command = std::getenv("QUADRIVO_COMMAND");
    const std::string name = "Lupi \xF0\x9F\x90\xBA Rossi";  // a wolf between the words
    put("originale.txt", "Orsi - " + name + "\r\nOrsi - Lupi Rossi\r\n");
    Terminal terminal(command != nullptr ? command : QUADRIVO_PROGRAM, path("").string(), "C.UTF-8");
    ASSERT_TRUE(terminal.expect("x per Ecxel e poi premi invio)")) << terminal.shown();
    terminal.type("t\r");
    ASSERT_TRUE(terminal.expect("Inserisci il nome della tua squadra")) << terminal.shown();
    terminal.type(name + "\r");
    ASSERT_TRUE(terminal.expect("il vecchio file verr\xC3\xA0 perso")) << terminal.shown();
    terminal.type("n\r");
    EXPECT_EQ(terminal.finish(), 0);
    EXPECT_EQ(get("calendario.txt"), as_written("Orsi - " + name + "\n\n"));
}

TEST_F(OnATerminal, EndOfInputKeyAtTheStartOfALineEndsTheRun) {
    if (windows_build()) {
        GTEST_SKIP() << "Wine's console takes Ctrl+Z as a line-editing key, not as a character";
    }
    const char* command = std::getenv("QUADRIVO_COMMAND");
    put("originale.txt", CALENDAR);
    Terminal terminal(command != nullptr ? command : QUADRIVO_PROGRAM, path("").string(), "C.UTF-8");
    ASSERT_TRUE(terminal.expect("x per Ecxel e poi premi invio)")) << terminal.shown();
    terminal.type("\x04");  // Ctrl-D
    EXPECT_EQ(terminal.finish(), 0);
    EXPECT_EQ(terminal.shown().find("Inserisci"), std::string::npos) << terminal.shown();
    EXPECT_EQ(get("calendario.txt"), NONE);
}

// A hidden calendar stays hidden once replaced: Windows attributes are kept.
TEST_F(Program, HiddenCalendarStaysHidden) {
    const char* exe = std::getenv("QUADRIVO_EXE");
    const char* loader = std::getenv("QUADRIVO_WINE");
    if (exe == nullptr || loader == nullptr) {
        GTEST_SKIP() << "a Windows file attribute, under Wine only";
    }
    put("originale.txt", CALENDAR);
    put("calendario.doc", EARLIER);
    const std::string attrib = "cd '" + path("").string() + "' && " + loader + " cmd /c attrib ";
    ASSERT_EQ(std::system((attrib + "+h calendario.doc >/dev/null 2>&1").c_str()), 0);
    const Result r = run("w\nLupi\nn\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(get("calendario.doc"), as_written(LUPI_LINES));
    ASSERT_EQ(std::system((attrib + "calendario.doc > '" + (root_ / "io" / "attrib").string() + "' 2>&1").c_str()), 0);
    const std::string shown = bytes_of(root_ / "io" / "attrib");
    EXPECT_NE(shown.find(" H "), std::string::npos) << shown;
    EXPECT_EQ(left_behind(), "");
}

// New files of the calendar's in the work folder that a round made, and what
// became of them, from the folder's events: put in place (renamed from), or
// removed or left (a kill landed after the file was made).
struct NewFiles {
    int made = 0;
    int put_in_place = 0;
};

// Adds the events that came to files; with made_at_least, waits (10 s at
// most) until that many new files were made.
void read_events(int watch, NewFiles& files, int made_at_least = 0) {
    alignas(inotify_event) char buffer[65536];
    pollfd ready{watch, POLLIN, 0};
    for (ssize_t got; (got = read(watch, buffer, sizeof buffer)) > 0 ||
                      (files.made < made_at_least && poll(&ready, 1, 10000) > 0);) {
        for (char* at = buffer; at < buffer + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            if (event->len > 0 && std::string(event->name).rfind(".calendario.txt.", 0) == 0) {
                files.made += (event->mask & IN_CREATE) != 0 ? 1 : 0;
                files.put_in_place += (event->mask & IN_MOVED_FROM) != 0 ? 1 : 0;
            }
            at += sizeof(inotify_event) + event->len;
        }
    }
}

// Killed at random moments of many passes, each replacing the calendar (every
// other round a few milliseconds after a new file was made), the Windows
// program leaves the earlier calendar or a new one, never none: the new file
// takes the calendar's place by one rename; and after one clean run no file
// is left. Some kills must land after a new file was made.
TEST_F(Program, WindowsKilledWhileReplacingLeavesACalendar) {
    const char* command = std::getenv("QUADRIVO_COMMAND");
    if (std::getenv("QUADRIVO_EXE") == nullptr || command == nullptr) {
        GTEST_SKIP() << "the Windows program under Wine only";
    }
    put("originale.txt", CALENDAR);
    std::string passes;
    for (int i = 0; i < 400; ++i) {
        passes += "t\nLupi\ny\n";
    }
    std::ofstream(root_ / "io" / "in", std::ios::binary) << passes << "t\nLupi\nn\n";
    const int watch = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(inotify_add_watch(watch, path("").c_str(), IN_CREATE | IN_MOVED_FROM), 0);
    std::mt19937 random(32);
    int replaced = 0;  // rounds killed once passes had begun
    int inside = 0;  // rounds killed after a new file was made, before it was put in place
    std::string rounds;  // each round's new files: made, put in place, left
    for (int round = 0; round < 16; ++round) {
        put("calendario.txt", EARLIER);
        NewFiles files;
        read_events(watch, files);
        files = NewFiles{};
        const pid_t pid = fork();
        if (pid == 0) {
            setpgid(0, 0);
            const std::string line = "cd '" + path("").string() + "' && exec " + command + " < '" +
                                     (root_ / "io" / "in").string() + "' > /dev/null 2>&1";
            execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        if (round % 2 == 0) {
            usleep(1200000 + random() % 2000000);  // Wine's start, then some passes
        } else {
            read_events(watch, files, 1 + static_cast<int>(random() % 8));  // a new file made,
            usleep(random() % 4000);  // then a moment of its write, flush, copies, rename
        }
        kill(-pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        usleep(300000);  // Wine's server closes the killed run's files
        read_events(watch, files);
        inside += files.made > files.put_in_place ? 1 : 0;
        rounds += " " + std::to_string(files.made) + "/" + std::to_string(files.put_in_place) + "/" + left_behind();
        const std::string calendar = get("calendario.txt");
        EXPECT_TRUE(calendar == EARLIER || calendar == as_written(LUPI_LINES)) << "round " << round << ": " << calendar;
        replaced += calendar == as_written(LUPI_LINES) ? 1 : 0;
    }
    close(watch);
    std::printf("each round's new files, made/put in place/left:%s\n", rounds.c_str());
    const Result r = run("t\nLupi\nn\n");  // one clean run removes what a kill left
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(get("calendario.txt"), as_written(LUPI_LINES));
    EXPECT_EQ(left_behind(), "") << rounds;
    EXPECT_GT(replaced, 0) << "no round was killed during its passes";
    EXPECT_GT(inside, 0) << "no round was killed while a new file stood:" << rounds;
}

// A file another program holds open (Excel, Word): the user is told to close it.
struct Held {
    const char* what;
    const char* file;
    const char* share;  // what the holder lets others do: none, read, readwrite, readwritedelete
    std::string input;
    std::string out;
    std::string err;
    int hold_ms = 0;  // how long it holds the file; 0: until the run is over
    int status = 1;  // 0: the new calendar made, else the earlier one kept
    bool may_replace = false;  // where the system lets the rename through, the new calendar instead
};

void PrintTo(const Held& c, std::ostream* os) {
    *os << c.what;
}

class HeldFile : public Program, public ::testing::WithParamInterface<Held> {};

const std::string CLOSE_IT = "\xE8 aperto in un altro programma (per esempio Excel o Word); chiudilo e riprova";

const Held helds[] = {
    {"calendar held, nothing shared", "calendario.xls", "none", "x\nn\n", FORMAT_Q + RESTART_Q,
     cannot_write("calendario.xls", CLOSE_IT)},
    {"calendar held, reading shared", "calendario.xls", "read", "x\nn\n", FORMAT_Q + RESTART_Q,
     cannot_write("calendario.xls", CLOSE_IT)},
    {"calendar held, reading and writing shared", "calendario.xls", "readwrite", "x\nLupi\nn\n",
     FORMAT_Q + NAME_Q + RESTART_Q, cannot_write("calendario.xls", CLOSE_IT)},
    {"source held, nothing shared", "originale.txt", "none", "t\nLupi\nn\n", FORMAT_Q + NAME_Q + RESTART_Q,
     cannot_read("\xE8 aperto in un altro programma che lo blocca; chiudilo e riprova")},
    // A virus scanner, the indexer or a sync client holds it for a moment: the run waits.
    {"calendar held 1.5 s sharing reading and writing", "calendario.xls", "readwrite", "x\nLupi\nn\n",
     FORMAT_Q + NAME_Q + DONE + DONE_XLS + RESTART_Q, "", 1500, 0},
    {"calendar held 1.5 s sharing reading", "calendario.xls", "read", "x\nLupi\nn\n",
     FORMAT_Q + NAME_Q + DONE + DONE_XLS + RESTART_Q, "", 1500, 0},
    {"calendar held sharing reading, writing and deleting", "calendario.xls", "readwritedelete", "x\nLupi\nn\n",
     FORMAT_Q + NAME_Q + RESTART_Q, cannot_write("calendario.xls", CLOSE_IT), 0, 1, true},
};

TEST_P(HeldFile, TheUserIsToldToCloseIt) {
    const Held& h = GetParam();
    const char* holder = std::getenv("QUADRIVO_HOLD");
    const char* loader = std::getenv("QUADRIVO_WINE");
    if (holder == nullptr || loader == nullptr) {
        GTEST_SKIP() << "a file held by a Windows program, under Wine only";
    }
    put("originale.txt", CALENDAR);
    put("calendario.xls", EARLIER);
    const std::string in_work = "cd '" + path("").string() + "' && ";
    const std::string hold_ms = h.hold_ms > 0 ? " " + std::to_string(h.hold_ms) : "";
    ASSERT_EQ(
        std::system((in_work + loader + " '" + holder + "' " + h.file + " " + h.share + hold_ms + " >/dev/null 2>&1 &")
                        .c_str()),
        0);
    for (int tries = 0; tries < 600 && !fs::exists(path("held")); ++tries) {
        usleep(50000);
    }
    ASSERT_TRUE(fs::exists(path("held")));
    const auto started = std::chrono::steady_clock::now();
    const Result r = run(h.input);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
    put("release", "");
    for (int tries = 0; tries < 200 && fs::exists(path("held")); ++tries) {
        usleep(50000);  // the holder lets go
    }
    EXPECT_LT(seconds.count(), 20);
    const bool replaced = h.may_replace && r.status == 0;
    EXPECT_EQ(r.out, as_written(replaced ? FORMAT_Q + NAME_Q + DONE + DONE_XLS + RESTART_Q : h.out));
    EXPECT_EQ(r.err, as_written(replaced ? "" : h.err));
    EXPECT_EQ(r.status, replaced ? 0 : h.status);
    EXPECT_EQ(get("calendario.xls"), replaced || h.status == 0 ? as_written(LUPI_LINES) : EARLIER);
    EXPECT_EQ(left_behind(), "");  // no new file, and no rf*.tmp of ReplaceFileW's
    for (const auto& entry : fs::directory_iterator(path(""))) {
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, HeldFile, ::testing::ValuesIn(helds), case_name<Held>);

// New files that runs left beside the calendar, under Wine: at the format
// answer a gone run's is removed, a live run's kept.
struct Left {
    const char* what;
    bool live;  // named after a live run (the holder), else after an id no process has
    bool older;  // made before that run started: its id used again
    bool kept;
};

void PrintTo(const Left& c, std::ostream* os) {
    *os << c.what;
}

class LeftByARun : public Program, public ::testing::WithParamInterface<Left> {};

const Left lefts[] = {
    {"a run that no longer exists", false, false, false},
    {"a live run", true, false, true},
    {"made before the live run of its id started", true, true, false},
};

TEST_P(LeftByARun, RemovedOnlyWhenTheRunIsGone) {
    const Left& c = GetParam();
    const char* holder = std::getenv("QUADRIVO_HOLD");
    const char* loader = std::getenv("QUADRIVO_WINE");
    if (holder == nullptr || loader == nullptr) {
        GTEST_SKIP() << "Windows process ids, under Wine only (POSIX: the named-file rows)";
    }
    put("originale.txt", CALENDAR);
    put("dummy", "");
    ASSERT_EQ(std::system(("cd '" + path("").string() + "' && " + loader + " '" + holder +
                           "' dummy readwritedelete >/dev/null 2>&1 &")
                              .c_str()),
              0);
    for (int tries = 0; tries < 600 && (!fs::exists(path("held")) || get("held").empty()); ++tries) {
        usleep(50000);  // its id written
    }
    ASSERT_FALSE(get("held").empty());
    const std::string name = ".calendario.txt." + (c.live ? get("held") : "4194300") + "-0";
    put(name, EARLIER);
    if (c.older) {
        fs::last_write_time(path(name), fs::file_time_type::clock::now() - std::chrono::hours(24 * 365));
    }
    const Result r = run("t\nLupi\nn\n");
    put("release", "");
    for (int tries = 0; tries < 200 && fs::exists(path("held")); ++tries) {
        usleep(50000);  // the holder lets go
    }
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(get("calendario.txt"), as_written(LUPI_LINES));
    EXPECT_EQ(left_behind(), c.kept ? name : "");
}

INSTANTIATE_TEST_SUITE_P(Cases, LeftByARun, ::testing::ValuesIn(lefts), case_name<Left>);

// Files in the folder named like a new file of the calendar's, at the format
// answer: only a name exactly as the program writes it, of a run that no
// process is (an id beyond any system's), is removed.
struct Beside {
    const char* what;
    const char* name;
    bool removed;
};

void PrintTo(const Beside& c, std::ostream* os) {
    *os << c.what;
}

class NamedLikeANewFile : public Program, public ::testing::WithParamInterface<Beside> {};

const Beside besides[] = {
    {"a gone run's first file", ".calendario.txt.4194305-0", true},
    {"a gone run's later file", ".calendario.txt.4194305-99", true},
    {"no attempt", ".calendario.txt.4194305", false},
    {"more after the attempt", ".calendario.txt.4194305-0.bak", false},
    {"a signed attempt", ".calendario.txt.4194305--1", false},
    {"a blank before the attempt", ".calendario.txt.4194305- 1", false},
    {"a signed run", ".calendario.txt.+4194305-0", false},
    {"a leading zero", ".calendario.txt.04194305-0", false},
    {"run 0", ".calendario.txt.0-0", false},
    {"beyond any number", ".calendario.txt.99999999999999999999-0", false},
    {"beyond a process id, a gone one's when cut", ".calendario.txt.4299161601-0", false},
    {"another form's calendar", ".calendario.doc.4194305-0", false},
};

TEST_P(NamedLikeANewFile, IsRemovedOnlyWhenARunLeftIt) {
    const Beside& c = GetParam();
    put("originale.txt", CALENDAR);
    put(c.name, EARLIER);
    const Result r = run("t\nLupi\nn\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(get("calendario.txt"), as_written(LUPI_LINES));
    EXPECT_EQ(left_behind(), c.removed ? "" : c.name);
}

INSTANTIATE_TEST_SUITE_P(Cases, NamedLikeANewFile, ::testing::ValuesIn(besides), case_name<Beside>);

// A Windows console shows the same on every code page: the program talks to it
// in wide characters. QUADRIVO_EXE names the Windows program under Wine, and
// QUADRIVO_WINE the loader that runs it.
TEST_F(OnATerminal, EveryWindowsCodePageShowsTheSame) {
    const char* exe = std::getenv("QUADRIVO_EXE");
    if (exe == nullptr) {
        GTEST_SKIP() << "a Windows console only";
    }
    const char* loader = std::getenv("QUADRIVO_WINE");  // Wine's 32-bit or 64-bit loader
    const std::string wine = loader != nullptr ? loader : "wine";
    std::string windows_path = std::string("Z:") + exe;
    std::replace(windows_path.begin(), windows_path.end(), '/', '\\');
    for (const char* code_page : {"437", "850", "1252", "65001"}) {
        SCOPED_TRACE(code_page);
        one_pass(wine + " cmd /c \"chcp " + code_page + " >nul & " + windows_path + "\"");
    }
}

}  // namespace
