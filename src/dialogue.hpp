// The run loop: the console dialogue that makes one team's calendar per pass.
#pragma once

#include "console.hpp"

namespace quadrivo {

// Conducts the whole dialogue on the console: asks the format and the team's
// name, copies the team's lines of the source calendar into the chosen
// calendar file, and offers to start again, until the user declines or the
// input ends. Errors go to standard error, each naming its file.
// Returns the exit status: 0 when every pass worked, 1 when any pass failed
// or the console itself could not be read or written.
int run_dialogue(Console& console);

}  // namespace quadrivo
