#include "dialogue.hpp"

#include <algorithm>

#include "file.hpp"
#include "fold.hpp"
#include "replacement.hpp"
#include "selection.hpp"
#include "spelling.hpp"
#include "telling.hpp"

namespace quadrivo {

namespace {

// How a pass ended: unconfirmed, the new calendar is in place but the
// system did not confirm it is on disk.
enum class PassEnd { succeeded, unconfirmed, failed, input_ended };

}  // namespace

// Asks for the format until one of the known letters is typed.
// Returns its table row, or nullptr when the input has ended or failed.
static const CalendarFormat* ask_format(Console& console) {
    for (;;) {
        console.say(MSG_FORMAT_QUESTION);
        const int formato = console.read_char();
        if (formato < 0) {
            return nullptr;
        }
        // The character after the answer, normally its line end, is never looked at.
        if (console.read_char() == INPUT_FAILED) {
            return nullptr;
        }
        for (const CalendarFormat& format : FORMATS) {  // either case
            if (ascii_lower(static_cast<char32_t>(formato)) == static_cast<char32_t>(format.letter)) {
                return &format;
            }
        }
        console.say(MSG_WRONG_FORMAT);
    }
}

// Asks for the team's name until one fits in nome: at most NAME - 1
// characters, up to the line end or the end of the input; a longer line is
// read to its end and refused, a line end alone asks again. Returns false
// when the input ended or failed before a name was typed.
static bool ask_name(Console& console, char32_t (&nome)[NAME], int& cont) {
    for (;;) {
        console.say(MSG_NAME_QUESTION);
        int c = console.read_char();
        for (cont = 0; c >= 0 && c != '\n'; c = console.read_char()) {
            if (cont < NAME) {
                nome[cont++] = static_cast<char32_t>(c);
            }
        }
        if (cont == NAME) {
            console.say(MSG_NAME_TOO_LONG);
        } else if (c == INPUT_FAILED || (c == INPUT_END && cont == 0)) {
            return false;
        } else if (cont > 0) {
            return true;
        }
    }
}

// The line that refuses a source of each kind, in the order of SourceKind; none for text.
constexpr const char* REFUSALS[] = {nullptr, ERR_UTF16, ERR_UTF32, ERR_DOCUMENT, ERR_PDF, ERR_NOT_TEXT};
static_assert(sizeof REFUSALS / sizeof REFUSALS[0] == static_cast<int>(SourceKind::binary) + 1, "a row per kind");

// Reads the source's lines into read and the team's into calendar, and closes
// the source. Returns what the pass did; a failure is reported with its cause.
static SelectionReport read_team_lines(Console& console, const TeamName& name, CalendarText& calendar,
                                       ReadLines& read) {
    SelectionReport report{SelectionResult::read_failed, 0, false};
    File read1(SOURCE_FILE, "rb");
    if (!read1.is_open()) {
        report_failure(console, failure_of(Step::open, last_error()), SOURCE_FILE, false);
        return report;
    }
    SourceLines source(read1.get());
    if (!source.start()) {
        report_failure(console, failure_of(Step::read, source.error()), SOURCE_FILE, false);
        return report;
    }
    if (const char* refusal = REFUSALS[static_cast<int>(source.kind())]) {
        console.warn(refusal);  // no calendar: nothing is written
        return report;
    }
    report = select_team_lines(source, calendar, read, name);
    int error = source.error();
    if (!read1.close() && report.result == SelectionResult::ok) {
        report.result = SelectionResult::read_failed;
        error = last_error();
    }
    if (report.result == SelectionResult::read_failed) {
        report_failure(console, failure_of(Step::read, error), SOURCE_FILE, false);
    }
    return report;
}

// Tells on standard error what a pass that worked may hide: lines after the
// 120th left unread, or no line selected at all, and then how the calendar
// spells the name, when the lines the pass read spell it nearly so.
static void tell_what_was_missed(Console& console, const SelectionReport& report, const ReadLines& read,
                                 const char* file_name, const char32_t (&nome)[NAME], int cont) {
    if (report.more_lines) {
        console.warn(NOTE_ONLY_FIRST_LINES);
    }
    if (report.selected > 0) {
        return;
    }
    console.warn(read.count() < NUM ? NOTE_NOTHING_IN_SHORT_SOURCE : NOTE_NOTHING_SELECTED, file_name);
    Spelling spelling;
    if (find_spelling(read, nome, cont, console.shows_any_character(), spelling)) {
        const bool typable = std::all_of(spelling.text, spelling.text + spelling.length, is_typable);
        console.warn(typable ? NOTE_SPELLING : NOTE_SPELLING_TO_COPY, spelling.text, spelling.length);
    }
}

// Runs one pass once the format is chosen: makes sure the calendar can be
// replaced (an existing file keeps its content until a pass replaces it; a file
// the pass made goes again unless the pass finishes), asks the team's name, makes
// the new calendar in memory and puts it in place of the earlier one in one step.
static PassEnd make_calendar(Console& console, const CalendarFormat& format) {
    Replacement calendar(format.file_name, SOURCE_FILE);
    if (const Failure failure = calendar.prepare()) {
        report_failure(console, failure, format.file_name, true);
        return PassEnd::failed;
    }
    char32_t nome[NAME];
    int cont = 0;
    if (!ask_name(console, nome, cont)) {
        return PassEnd::input_ended;
    }
    ReadLines read;
    const SelectionReport report = read_team_lines(console, TeamName(nome, cont), calendar.content(), read);
    if (report.result != SelectionResult::ok) {
        return PassEnd::failed;  // nothing was written
    }
    if (format.office) {
        mark_utf8_for_office(calendar.content());
    }
    const Commit commit = calendar.commit();
    if (commit.replaced == Replaced::no) {
        report_failure(console, commit.failure, format.file_name, true);
        return PassEnd::failed;
    }
    tell_what_was_missed(console, report, read, format.file_name, nome, cont);
    return commit.replaced == Replaced::yes ? PassEnd::succeeded : PassEnd::unconfirmed;
}

// Asks whether to start again. Returns the answer, or a negative value when
// the input has ended or failed.
static int ask_restart(Console& console) {
    console.say(MSG_RESTART_QUESTION);
    const int ciclo = console.read_char();
    if (ciclo >= 0) {
        console.read_char();  // the character after the answer is never looked at
    }
    return ciclo;
}

int run_dialogue(Console& console) {
    bool failed = false;
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
        failed = failed || end == PassEnd::failed;
        if (end == PassEnd::succeeded || end == PassEnd::unconfirmed) {
            console.say(MSG_PASS_DONE);
            console.say(format->done_message);
        }
        if (end == PassEnd::unconfirmed) {
            console.warn(NOTE_UNCONFIRMED, format->file_name);
        }
        ciclo = ask_restart(console);
    }
    return console.report_fault() || failed ? 1 : 0;
}

}  // namespace quadrivo
