// What the command line asks for: the dialogue, the help or the version alone,
// or nothing the program knows, which it refuses before any question; and the
// run it asks for.
#pragma once

#include "console.hpp"

namespace quadrivo {

enum class Request { dialogue, usage, version, unknown_option, argument };

// The request, and the argument refused (unknown_option, argument), else nullptr.
struct CommandLine {
    Request request = Request::dialogue;
    const char* refused = nullptr;
};

// Reads the arguments in order: the first help or version option, or the first
// unknown one, decides; else an argument that is no option (a file dropped on
// the program's icon) is refused; none at all starts the dialogue. "--" ends
// the options. On Windows the / switches count too, in any case.
CommandLine read_command_line(int argc, const char* const* argv);

// Runs what the arguments ask for: the dialogue; or the help or the version on
// standard output; or on standard error the refusal and where the help is,
// waiting for Enter where the console is the program's alone. Returns the exit
// status: the dialogue's; 0, 1 when the console failed; 2 for a refusal.
int run_program(Console& console, int argc, const char* const* argv);

// Tells whether an error waits for Enter before the program ends: when the
// console has no process but this one (0 where none can be asked), its window
// closes with the program (started from Explorer); one shared with cmd stays.
inline bool waits_for_enter(unsigned long console_processes) {
    return console_processes == 1;
}

}  // namespace quadrivo
