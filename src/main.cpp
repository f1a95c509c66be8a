// quadrivo: makes the calendar of one team out of a league's full calendar.
// It reads originale.txt in the working directory and writes calendario.txt,
// calendario.doc or calendario.xls, as the user chooses on the console.
#include <clocale>
#include <cstdio>

#include "command_line.hpp"
#include "console.hpp"

int main(int argc, char** argv) {
    // The locale's character type decides how the console's characters are
    // read and written; nothing else of the locale is used, so nothing else is loaded.
    std::setlocale(LC_CTYPE, "");
    return quadrivo::with_console(stdin, stdout, stderr, quadrivo::run_program, argc, argv);
}
