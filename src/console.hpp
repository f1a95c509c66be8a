// The console: characters typed in, the program's messages out, whatever the
// platform and the console's encoding. The one place that knows about either;
// each platform's file keeps its own state.
#pragma once

#include <cstdio>

#include "charset.hpp"
#include "constants.hpp"

namespace quadrivo {

inline constexpr int INPUT_END = -1;  // the input has ended
inline constexpr int INPUT_FAILED = -2;  // the console can no longer be used

class Console {
public:
    virtual ~Console() = default;

    // Reads one typed character, however many bytes it takes; CR LF is one
    // line end. Returns its code point, INPUT_END at the end of the input, or
    // INPUT_FAILED once a read or a write of the console has failed.
    int read_char();

    // Writes a message, Windows-1252 text, to standard output and flushes it.
    void say(const char* text);

    // Writes a message to standard error, standard output flushed first so that
    // a terminal shows both in order; the %s in format replaced by file_name,
    // Windows-1252 text, or by length characters of text.
    void warn(const char* format, const char* file_name = "");
    void warn(const char* format, const char32_t* text, int length);

    // Tells whether standard error shows every character, or only those of
    // Windows-1252 (a redirected stream, a single-byte console).
    virtual bool shows_any_character() const = 0;

    // Tells on standard error whether the console failed. Returns true if it did.
    bool report_fault();

protected:
    Console(std::FILE* out, std::FILE* err) : out_(out), err_(err) {}

    // The next typed character, as read_char() tells it.
    virtual int read_typed() = 0;
    // Writes length characters to stream (out_ or err_): Windows-1252 bytes, or
    // where bytes is nullptr chars.
    virtual bool write_chars(std::FILE* stream, const char* bytes, const char32_t* chars, int length) = 0;

    std::FILE* out_;
    std::FILE* err_;

private:
    // Writes a message to standard error, as warn() tells.
    void tell(const char* bytes, const char32_t* chars, int length);

    bool in_failed_ = false;
    bool out_failed_ = false;
};

// Typed bytes read from a stream, a character at a time: a well-formed UTF-8
// sequence is one character, any other byte its Windows-1252 letter, CR LF one
// line end. Redirected input may begin with a byte order mark, as editors save
// answers files: a UTF-8 one is skipped, a UTF-16 one makes the whole input UTF-16.
class TypedBytes {
public:
    // redirected: the stream is no console, and its start may hold a mark;
    // ctrl_z_ends: a byte 0x1A ends the input, as a Windows text stream does;
    // locale_bytes: not UTF-8 but a byte at a time, its letter in the locale's
    // codeset, else its Windows-1252 letter.
    TypedBytes(std::FILE* in, bool redirected, bool ctrl_z_ends, bool locale_bytes)
        : in_(in),
          form_(redirected ? Form::unknown : Form::bytes),
          ctrl_z_ends_(ctrl_z_ends),
          locale_bytes_(locale_bytes) {}

    // Returns the next character, INPUT_END or INPUT_FAILED.
    int next_char();

private:
    enum class Form { unknown, bytes, utf16_le, utf16_be };

    int next_byte();
    void unread(int byte) { pending_[pending_count_++] = byte; }
    int decode_utf8(int lead);
    void settle_form();
    int next_utf16_unit();

    std::FILE* in_;
    int pending_[UTF8_MAX];  // bytes read ahead and given back, the next on top
    int pending_count_ = 0;
    Form form_;
    bool ctrl_z_ends_;
    bool locale_bytes_;
    bool ended_ = false;
    int pending_unit_ = -1;  // a UTF-16 unit read ahead
};

// Makes this platform's console on the three streams and runs body with it and
// the program's arguments. Returns what body returns.
int with_console(std::FILE* in, std::FILE* out, std::FILE* err,
                 int (*body)(Console&, int argc, const char* const* argv), int argc, const char* const* argv);

}  // namespace quadrivo
