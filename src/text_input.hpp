// Reading one character at a time from a text stream.
#pragma once

#include <cstdio>

namespace quadrivo {

// Reads one character from in as a Windows text-mode stream delivers it: a CR
// directly followed by LF comes back as the LF alone, a lone CR as itself.
// Returns the character as an unsigned char, or EOF at end of input or on error.
int read_char(std::FILE* in);

}  // namespace quadrivo
