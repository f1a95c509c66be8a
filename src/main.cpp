// quadrivo: makes the calendar of one team out of a league's full calendar.
// It reads originale.txt in the working directory and writes calendario.txt,
// calendario.doc or calendario.xls, as the user chooses on the console.
#include <clocale>
#include <cstdio>

#include "command_line.hpp"
#include "console.hpp"
#include "dialogue.hpp"

int main(int argc, char** argv) {
    // The locale's character type decides how the console's characters are
    // read and written; nothing else of the locale is used, so nothing else is loaded.
    std::setlocale(LC_CTYPE, "");
    using quadrivo::Console;
    int (*body)(Console&, const char*) = [](Console& console, const char*) { return quadrivo::run_dialogue(console); };
    const quadrivo::CommandLine line = quadrivo::read_command_line(argc, argv);
    switch (line.request) {
    case quadrivo::Request::usage:
        body = [](Console& console, const char*) { return quadrivo::say_usage(console); };
        break;
    case quadrivo::Request::version:
        body = [](Console& console, const char*) { return quadrivo::say_version(console); };
        break;
    case quadrivo::Request::unknown_option:
        body = quadrivo::refuse_option;
        break;
    case quadrivo::Request::argument:
        body = quadrivo::refuse_argument;
        break;
    case quadrivo::Request::dialogue:
        break;
    }
    return quadrivo::with_console(stdin, stdout, stderr, body, line.refused);
}
