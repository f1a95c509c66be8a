// The console on POSIX: bytes in the locale's codeset, decoded one character
// at a time; the messages encoded the same way and written by write(2) itself.
#include <langinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <cwchar>

#include "console.hpp"

namespace quadrivo {

namespace {

// How the console's bytes are read and written: as Windows-1252 (the C and
// POSIX locales), as well-formed UTF-8, or through the C library's converters.
enum class Codeset { windows_1252, utf8, locale };

// Returns how stream is read or written: by the locale's codeset, except that
// the C locale on a terminal means no locale was set, and terminals are UTF-8.
Codeset codeset_of(std::FILE* stream) {
    const char* codeset = nl_langinfo(CODESET);
    if (std::strcmp(codeset, "UTF-8") == 0) {
        return Codeset::utf8;
    }
    if (std::strcmp(codeset, "ANSI_X3.4-1968") == 0 || std::strcmp(codeset, "ASCII") == 0) {
        const int fd = fileno(stream);
        return fd >= 0 && isatty(fd) ? Codeset::utf8 : Codeset::windows_1252;
    }
    return Codeset::locale;
}

// Writes size bytes to the stream's file, not through its buffer: the C
// library's stdio retries a write that writes nothing for ever, and here such
// a write is the console's fault. A stream with no file (in memory) is
// written through stdio. Returns false when the bytes could not all be written.
bool put(std::FILE* stream, const char* bytes, std::size_t size) {
    const int fd = fileno(stream);
    if (fd < 0) {
        return std::fwrite(bytes, 1, size, stream) == size;
    }
    while (size > 0) {
        const ssize_t done = write(fd, bytes, size);
        if (done == 0 || (done < 0 && errno != EINTR)) {
            return false;
        }
        if (done > 0) {
            bytes += done;
            size -= static_cast<std::size_t>(done);
        }
    }
    return true;
}

class PosixConsole final : public Console {
public:
    PosixConsole(std::FILE* in, std::FILE* out, std::FILE* err)
        : Console(out, err),
          bytes_(in, !isatty(fileno(in)), false, codeset_of(in) == Codeset::locale),
          out_codeset_(codeset_of(out)),
          err_codeset_(codeset_of(err)) {}

    bool shows_any_character() const override { return err_codeset_ == Codeset::utf8; }

private:
    int read_typed() override { return bytes_.next_char(); }
    bool write_chars(std::FILE* stream, const char* bytes, const char32_t* chars, int length) override;

    TypedBytes bytes_;
    Codeset out_codeset_;  // each stream its own: a terminal and a redirection may differ
    Codeset err_codeset_;
};

// Puts character c into out (room for MB_LEN_MAX bytes) as the codeset has it;
// a letter the codeset lacks goes out as its Windows-1252 byte, or '?'.
// Returns the count of bytes.
std::size_t encode(Codeset codeset, char32_t c, char* out, std::mbstate_t& state) {
    if (codeset == Codeset::utf8) {
        return static_cast<std::size_t>(to_utf8(c, out));
    }
    constexpr std::size_t NONE = static_cast<std::size_t>(-1);
    const std::size_t size = codeset == Codeset::locale ? std::wcrtomb(out, static_cast<wchar_t>(c), &state) : NONE;
    if (size != NONE) {
        return size;
    }
    const int byte = to_windows_1252(c);
    *out = static_cast<char>(byte < 0 ? '?' : byte);
    state = std::mbstate_t{};
    return 1;
}

bool PosixConsole::write_chars(std::FILE* stream, const char* bytes, const char32_t* chars, int length) {
    const Codeset codeset = stream == err_ ? err_codeset_ : out_codeset_;
    const auto ascii = [](char byte) { return static_cast<unsigned char>(byte) < 0x80; };
    if (bytes != nullptr && (codeset == Codeset::windows_1252 || std::all_of(bytes, bytes + length, ascii))) {
        return put(stream, bytes, static_cast<std::size_t>(length));  // as it is: ASCII is the same in every codeset
    }
    // Encoded a buffer's worth at a time: a message (the help among them) goes
    // out in one write, so that a reader that takes a line and goes (head -1)
    // never makes a second write fail.
    char encoded[TEXT_OUT];
    std::size_t used = 0;
    std::mbstate_t state{};
    for (int i = 0; i < length; ++i) {
        const char32_t c = bytes != nullptr ? from_windows_1252(static_cast<unsigned char>(bytes[i])) : chars[i];
        used += encode(codeset, c, encoded + used, state);
        if (used > sizeof encoded - MB_LEN_MAX || i + 1 == length) {
            if (!put(stream, encoded, used)) {
                return false;
            }
            used = 0;
        }
    }
    return true;
}

}  // namespace

int with_console(std::FILE* in, std::FILE* out, std::FILE* err,
                 int (*body)(Console&, int argc, const char* const* argv), int argc, const char* const* argv) {
    PosixConsole console(in, out, err);
    return body(console, argc, argv);
}

}  // namespace quadrivo
