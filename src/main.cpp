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
    int (*body)(quadrivo::Console&) = quadrivo::run_dialogue;
    switch (quadrivo::request_of(argc, argv)) {
    case quadrivo::Request::usage:
        body = quadrivo::say_usage;
        break;
    case quadrivo::Request::version:
        body = quadrivo::say_version;
        break;
    case quadrivo::Request::dialogue:
        break;
    }
    return quadrivo::with_console(stdin, stdout, stderr, body);
}
