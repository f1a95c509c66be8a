#include "dialogue.hpp"

#include <cctype>

#include "console_text.hpp"
#include "constants.hpp"
#include "file.hpp"
#include "selection.hpp"
#include "text_input.hpp"

namespace quadrivo {

namespace {

// The console as the dialogue sees it, and whether any error has been reported.
struct Console {
    std::FILE* in;
    MessageWriter& out;
    std::FILE* err;
    bool failed;
};

// How a pass ended.
enum class PassEnd { succeeded, failed, input_ended };

// How reading a name ended.
enum class NameRead { complete, too_long, input_ended };

}  // namespace

// Reports an error about file_name on the error stream. Standard output is
// flushed first so that a console shows everything in the order it happened.
static void complain(Console& console, const char* format, const char* file_name) {
    std::fflush(console.out.stream());
    std::fprintf(console.err, format, file_name);
    console.failed = true;
}

// Reads the character typed after a one-letter answer, normally its line end.
// It is never looked at, so the end of input there is ignored too.
static void skip_pause(std::FILE* in) {
    const int pause = read_char(in);
    static_cast<void>(pause);
}

// Returns the format table's row for the letter, in either case, or nullptr.
static const CalendarFormat* find_format(int formato) {
    for (const CalendarFormat& format : FORMATS) {
        if (formato == format.letter || formato == std::toupper(format.letter)) {
            return &format;
        }
    }
    return nullptr;
}

// Asks for the format until one of the known letters is typed.
// Returns its table row, or nullptr when the input has ended.
static const CalendarFormat* ask_format(Console& console) {
    for (;;) {
        console.out.say(MSG_FORMAT_QUESTION);
        const int formato = read_char(console.in);
        if (formato == EOF) {
            return nullptr;
        }
        skip_pause(console.in);
        if (const CalendarFormat* format = find_format(formato)) {
            return format;
        }
        console.out.say(MSG_WRONG_FORMAT);
    }
}

// Reads a name up to its line end into nome, and its length into cont.
// The end of input after some characters ends the name as a line end would.
static NameRead read_name(std::FILE* in, char (&nome)[NAME], int& cont) {
    for (int i = 0; i < NAME; ++i) {
        int c = read_char(in);
        if (c == EOF) {
            if (i == 0) {
                return NameRead::input_ended;
            }
            c = '\n';
        }
        nome[i] = static_cast<char>(c);
        if (c == '\n') {
            cont = i;
            return NameRead::complete;
        }
    }
    return NameRead::too_long;
}

// Reads and drops what is left of the current input line.
static void discard_line(std::FILE* in) {
    int c;
    do {
        c = read_char(in);
    } while (c != '\n' && c != EOF);
}

// Asks for the team's name until one fits in nome.
// Returns false when the input ended before a name was typed.
static bool ask_name(Console& console, char (&nome)[NAME], int& cont) {
    for (;;) {
        console.out.say(MSG_NAME_QUESTION);
        switch (read_name(console.in, nome, cont)) {
        case NameRead::complete:
            return true;
        case NameRead::input_ended:
            return false;
        case NameRead::too_long:
            discard_line(console.in);
            console.out.say(MSG_NAME_TOO_LONG);
            break;
        }
    }
}

// Closes the calendar file. Returns false, after reporting it, when the close failed.
static bool close_calendar(Console& console, File& write1, const char* file_name) {
    if (write1.close()) {
        return true;
    }
    complain(console, ERR_CANNOT_WRITE, file_name);
    return false;
}

// Copies the team's lines of the source calendar into write1, then closes both.
// Returns whether every read, write and close worked; each failure is reported.
static bool copy_team_lines(Console& console, File& write1, const char* file_name, const char (&nome)[NAME],
                            int cont) {
    File read1(SOURCE_FILE, "r");
    if (!read1.is_open()) {
        complain(console, ERR_CANNOT_READ, SOURCE_FILE);
        close_calendar(console, write1, file_name);
        return false;
    }
    SelectionResult result = select_team_lines(read1.get(), write1.get(), nome, cont);
    if (!read1.close() && result == SelectionResult::ok) {
        result = SelectionResult::read_failed;
    }
    if (result == SelectionResult::read_failed) {
        complain(console, ERR_CANNOT_READ, SOURCE_FILE);
    }
    const bool closed = write1.close();
    if (result == SelectionResult::write_failed || !closed) {
        complain(console, ERR_CANNOT_WRITE, file_name);
    }
    return result == SelectionResult::ok && closed;
}

// Runs one pass once the format is chosen: creates the calendar file, asks the
// team's name and copies the team's lines into the file.
static PassEnd make_calendar(Console& console, const CalendarFormat& format) {
    File write1(format.file_name, "w");
    if (!write1.is_open()) {
        complain(console, ERR_CANNOT_WRITE, format.file_name);
        return PassEnd::failed;
    }
    char nome[NAME];
    int cont = 0;
    if (!ask_name(console, nome, cont)) {
        close_calendar(console, write1, format.file_name);
        return PassEnd::input_ended;
    }
    return copy_team_lines(console, write1, format.file_name, nome, cont) ? PassEnd::succeeded : PassEnd::failed;
}

// Asks whether to start again. Returns the answer, or EOF when the input has ended.
static int ask_restart(Console& console) {
    console.out.say(MSG_RESTART_QUESTION);
    const int ciclo = read_char(console.in);
    if (ciclo != EOF) {
        skip_pause(console.in);
    }
    return ciclo;
}

int run_dialogue(std::FILE* in, std::FILE* out, std::FILE* err) {
    MessageWriter writer(out);
    Console console{in, writer, err, false};
    int ciclo = 'y';
    while (ciclo == 'y' || ciclo == 'Y') {
        const CalendarFormat* format = ask_format(console);
        if (format == nullptr) {
            break;
        }
        const PassEnd end = make_calendar(console, *format);
        if (end == PassEnd::input_ended) {
            break;
        }
        if (end == PassEnd::succeeded) {
            console.out.say(MSG_PASS_DONE);
            console.out.say(format->done_message);
        }
        ciclo = ask_restart(console);
    }
    return console.failed ? 1 : 0;
}

}  // namespace quadrivo
