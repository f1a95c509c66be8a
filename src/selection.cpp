#include "selection.hpp"

#include "text_input.hpp"

namespace quadrivo {

// Reads the next line of read1 into riga: characters up to and including the
// first line end, at most ROW of them. A last line that has no line end gets
// one, so that it is treated like any other line.
// Returns the count stored, 0 when the file had already ended, -1 on a read error.
static int read_line(std::FILE* read1, char (&riga)[ROW]) {
    int i = 0;
    while (i < ROW && (i == 0 || riga[i - 1] != '\n')) {
        const int c = read_char(read1);
        if (c == EOF) {
            if (std::ferror(read1)) {
                return -1;
            }
            if (i > 0) {
                riga[i++] = '\n';
            }
            break;
        }
        riga[i++] = static_cast<char>(c);
    }
    return i;
}

// Tells whether the len characters of riga hold the name wholly before the
// line end: each window of cont characters, left to right, is copied into
// prova and compared with nome. An empty name matches nothing.
static bool holds_name(const char (&riga)[ROW], int len, const char (&nome)[NAME], int cont) {
    if (cont == 0) {
        return false;
    }
    const int text = riga[len - 1] == '\n' ? len - 1 : len;  // characters before the line end
    char prova[NAME];
    for (int x = 0; x + cont <= text; ++x) {
        for (int j = x; j < x + cont; ++j) {
            prova[j - x] = riga[j];
        }
        int k = 0;
        while (k < cont && nome[k] == prova[k]) {
            ++k;
        }
        if (k == cont) {
            return true;
        }
    }
    return false;
}

// Writes the len characters of riga and one more line end: a line that ended
// with its line end is thus followed by an empty line.
// Returns false when a write failed.
static bool write_line(std::FILE* write1, const char (&riga)[ROW], int len) {
    for (int h = 0; h < len; ++h) {
        if (std::putc(riga[h], write1) == EOF) {
            return false;
        }
    }
    return std::putc('\n', write1) != EOF;
}

SelectionResult select_team_lines(std::FILE* read1, std::FILE* write1, const char (&nome)[NAME], int cont) {
    char riga[ROW];
    for (int m = 0; m < NUM; ++m) {
        const int len = read_line(read1, riga);
        if (len < 0) {
            return SelectionResult::read_failed;
        }
        if (len == 0) {
            break;
        }
        if (holds_name(riga, len, nome, cont) && !write_line(write1, riga, len)) {
            return SelectionResult::write_failed;
        }
    }
    return SelectionResult::ok;
}

}  // namespace quadrivo
