// The console on Windows: a console stream is read and written as wide
// characters, whatever its code page; a redirected one is bytes read in binary
// mode (CR LF read as LF, a 0x1A the end), as UTF-8 first (an answers file saved
// by Notepad), UTF-16 after its mark, and written as Windows-1252.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "console.hpp"

namespace quadrivo {

namespace {

// Returns the console behind stream, or nullptr when the stream is redirected.
HANDLE console_of(std::FILE* stream) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

class WindowsConsole final : public Console {
public:
    WindowsConsole(std::FILE* in, std::FILE* out, std::FILE* err)
        : Console(out, err),
          bytes_(in, true, true, false),
          in_console_(console_of(in)),
          out_console_(console_of(out)),
          err_console_(console_of(err)) {
        // Redirected input in binary mode: text mode would end UTF-16 at a
        // byte 0x1A inside a letter (U+021A); Ctrl+Z and CR LF are handled by hand.
        if (in_console_ == nullptr) {
            _setmode(_fileno(in), _O_BINARY);
        }
    }

    bool shows_any_character() const override { return err_console_ != nullptr; }

private:
    int read_typed() override {
        return in_console_ != nullptr ? next_joined([this] { return next_unit(); }, pending_unit_) : bytes_.next_char();
    }
    bool write_chars(std::FILE* stream, const char* bytes, const char32_t* chars, int length) override;
    int next_unit();

    TypedBytes bytes_;  // a redirected standard input
    HANDLE in_console_;  // console handles, or nullptr for a redirected stream
    HANDLE out_console_;
    HANDLE err_console_;
    wchar_t typed_[TYPED];  // one console line, or as much of it as fits
    DWORD typed_len_ = 0;
    DWORD typed_pos_ = 0;
    bool typed_ended_ = false;
    int pending_unit_ = -1;  // a unit read ahead
};

// Returns the next UTF-16 unit typed, reading a line of the console when the
// last one is used up; INPUT_END or INPUT_FAILED.
int WindowsConsole::next_unit() {
    if (typed_pos_ == typed_len_ && !typed_ended_) {
        typed_pos_ = 0;
        if (!ReadConsoleW(in_console_, typed_, TYPED, &typed_len_, nullptr)) {
            typed_len_ = 0;
            return INPUT_FAILED;
        }
        // Ctrl+Z at the start of a line ends the input, as in the C runtime.
        typed_ended_ = typed_len_ == 0 || typed_[0] == CTRL_Z;
    }
    return typed_ended_ ? INPUT_END : typed_[typed_pos_++];
}

// A console is written UTF-16, a buffer's worth at a time; a redirected
// stream Windows-1252, a letter it lacks as '?'.
bool WindowsConsole::write_chars(std::FILE* stream, const char* bytes, const char32_t* chars, int length) {
    const HANDLE console = stream == out_ ? out_console_ : err_console_;
    wchar_t wide[MESSAGE + 1];
    DWORD units = 0;
    for (int i = 0; i < length; ++i) {
        const char32_t c = bytes != nullptr ? from_windows_1252(static_cast<unsigned char>(bytes[i])) : chars[i];
        if (console == nullptr) {
            const int byte = to_windows_1252(c);
            if (std::fputc(byte < 0 ? '?' : byte, stream) == EOF) {
                return false;
            }
            continue;
        }
        if (c >= 0x10000) {
            wide[units++] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));  // a surrogate pair
            wide[units++] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            wide[units++] = static_cast<wchar_t>(c);
        }
        if (units >= MESSAGE || i + 1 == length) {
            DWORD written = 0;
            if (!WriteConsoleW(console, wide, units, &written, nullptr) || written != units) {
                return false;
            }
            units = 0;
        }
    }
    return true;
}

}  // namespace

int with_console(std::FILE* in, std::FILE* out, std::FILE* err,
                 int (*body)(Console&, int argc, const char* const* argv), int argc, const char* const* argv) {
    WindowsConsole console(in, out, err);
    return body(console, argc, argv);
}

}  // namespace quadrivo
