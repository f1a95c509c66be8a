// quadrivo: makes the calendar of one team out of a league's full calendar.
// It reads originale.txt in the working directory and writes calendario.txt,
// calendario.doc or calendario.xls, as the user chooses on the console.
#include <clocale>
#include <cstdio>

#include "dialogue.hpp"

int main() {
    // The console's locale decides how the messages' accented letters are written.
    std::setlocale(LC_CTYPE, "");
    const int status = quadrivo::run_dialogue(stdin, stdout, stderr);
    // A console that could not be written to is a failure too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        return 1;
    }
    return status;
}
