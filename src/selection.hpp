// The selection pass: copies the source calendar's lines that hold the team's name.
#pragma once

#include <cstdio>

#include "constants.hpp"

namespace quadrivo {

enum class SelectionResult { ok, read_failed, write_failed };

// Reads the first NUM lines of read1 (a line longer than ROW - 1 characters is
// taken in pieces of ROW characters, each counted as a line) and writes to write1
// every line that holds nome[0] .. nome[cont - 1], followed by one more line end.
// Stops early at the end of read1, or at the first failed read or write.
// Returns which of these ended it; the caller opens and closes both streams.
SelectionResult select_team_lines(std::FILE* read1, std::FILE* write1, const char (&nome)[NAME], int cont);

}  // namespace quadrivo
