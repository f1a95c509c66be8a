// The run loop: the console dialogue that makes one team's calendar per pass.
#pragma once

#include <cstdio>

namespace quadrivo {

// Conducts the whole dialogue on the console streams: asks the format and the
// team's name, copies the team's lines of the source calendar into the chosen
// calendar file, and offers to start again, until the user declines or the
// input ends. Errors go to err, each naming its file.
// Returns the exit status: 0 when every pass worked, 1 when any pass failed.
int run_dialogue(std::FILE* in, std::FILE* out, std::FILE* err);

}  // namespace quadrivo
