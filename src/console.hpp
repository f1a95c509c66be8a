// The console: characters typed in, the program's messages out, whatever the
// platform and the console's encoding. The one place that knows about either.
#pragma once

#include <cstdio>

#include "charset.hpp"
#include "constants.hpp"

namespace quadrivo {

inline constexpr int INPUT_END = -1;     // the input has ended
inline constexpr int INPUT_FAILED = -2;  // the console can no longer be used

class Console {
public:
    // Reads from in and writes to out and err. On POSIX their encoding is the
    // locale's codeset, UTF-8 for a terminal under the C locale; on Windows a
    // stream that is a console is used through the wide console API, one that
    // is redirected as Windows-1252 bytes.
    Console(std::FILE* in, std::FILE* out, std::FILE* err);
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Reads one typed character, however many bytes it takes; CR LF is one
    // line end. A byte that does not decode is the Windows-1252 letter of that
    // byte. Returns the character's code point, INPUT_END at the end of the
    // input, or INPUT_FAILED once a read or a write of the console has failed.
    int read_char();

    // Writes a message, Windows-1252 text, to standard output and flushes it.
    void say(const char* text);

    // Writes a message to standard error, standard output flushed first so that
    // a terminal shows both in order. A %s in format is replaced by file_name.
    void warn(const char* format, const char* file_name = "");

    // Writes a message to standard error as warn does, the %s in format
    // replaced by length characters of text.
    void warn(const char* format, const char32_t* text, int length);

    // Tells whether standard error shows every character, or only those of
    // Windows-1252 (a redirected stream, a single-byte console).
    bool shows_any_character() const;

    // Tells on standard error whether the console failed. Returns true if it did.
    bool report_fault();

private:
    int read_typed();
    bool write_text(std::FILE* stream, const char* text);
    bool write_chars(std::FILE* stream, const char32_t* text, int length);

    std::FILE* in_;
    std::FILE* out_;
    std::FILE* err_;
    bool in_failed_ = false;
    bool out_failed_ = false;

#ifdef _WIN32
    int read_console();
    int next_unit();
    int peek_unit();

    void* in_console_;  // console handles, or nullptr for a redirected stream
    void* out_console_;
    void* err_console_;
    wchar_t typed_[TYPED];  // one console line, or as much of it as fits
    unsigned long typed_len_ = 0;
    unsigned long typed_pos_ = 0;
    bool typed_ended_ = false;
#else
    // How the console's bytes are read and written: as Windows-1252 (the C and
    // POSIX locales), as well-formed UTF-8, or through the C library's converters.
    enum class Codeset { windows_1252, utf8, locale };
    static Codeset codeset_of(std::FILE* stream);
    int next_byte();
    void unread(int byte);
    int decode_utf8(int lead);

    Codeset in_codeset_;  // each stream its own: a terminal and a redirection may differ
    Codeset out_codeset_;
    Codeset err_codeset_;
    int pending_[UTF8_MAX];  // bytes read ahead and given back, the next on top
    int pending_count_ = 0;
#endif
};

}  // namespace quadrivo
