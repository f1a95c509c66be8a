// quadrivo: makes the calendar of one team out of a league's full calendar.
// It reads originale.txt in the working directory and writes calendario.txt,
// calendario.doc or calendario.xls, as the user chooses on the console.
#include <clocale>
#include <cstdio>

#include "command_line.hpp"
#include "console.hpp"
#include "dialogue.hpp"

namespace {

int run(quadrivo::Console& console, int argc, const char* const* argv) {
    const quadrivo::CommandLine line = quadrivo::read_command_line(argc, argv);
    return line.request == quadrivo::Request::dialogue ? quadrivo::run_dialogue(console)
                                                       : quadrivo::answer(console, line);
}

}  // namespace

int main(int argc, char** argv) {
    // The locale's character type decides how the console's characters are
    // read and written; nothing else of the locale is used, so nothing else is loaded.
    std::setlocale(LC_CTYPE, "");
    return quadrivo::with_console(stdin, stdout, stderr, run, argc, argv);
}
