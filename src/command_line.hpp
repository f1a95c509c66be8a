// What the command line asks for: the dialogue, or the help or version alone.
#pragma once

#include "console.hpp"

namespace quadrivo {

enum class Request { dialogue, usage, version };

// Tells what the first argument asks for; any other argument, or none, starts
// the dialogue (a file dropped on the program's icon among them).
Request request_of(int argc, const char* const* argv);

// Prints the help, or the version line, on standard output. Returns the exit
// status: 1 when it could not be written, told as a console fault.
int say_usage(Console& console);
int say_version(Console& console);

}  // namespace quadrivo
