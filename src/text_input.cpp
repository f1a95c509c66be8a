#include "text_input.hpp"

namespace quadrivo {

int read_char(std::FILE* in) {
    const int c = std::getc(in);
#ifdef _WIN32
    // The C runtime's text mode has already turned CR LF into LF.
    return c;
#else
    if (c != '\r') {
        return c;
    }
    const int next = std::getc(in);
    if (next == '\n') {
        return '\n';
    }
    if (next != EOF) {
        std::ungetc(next, in);
    }
    return c;
#endif
}

}  // namespace quadrivo
