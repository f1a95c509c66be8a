// The console on POSIX: bytes in the locale's codeset, decoded one character
// at a time; the messages encoded the same way.
#include <langinfo.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <cwchar>

#include "console.hpp"

namespace quadrivo {

// Returns how stream is read or written: by the locale's codeset, except that
// the C locale on a terminal means no locale was set, and terminals are UTF-8.
Console::Codeset Console::codeset_of(std::FILE* stream) {
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

Console::Console(std::FILE* in, std::FILE* out, std::FILE* err)
    : in_(in), out_(out), err_(err), in_codeset_(codeset_of(in)), out_codeset_(codeset_of(out)),
      err_codeset_(codeset_of(err)) {}

// Returns the next byte of the input, those given back first; INPUT_END or INPUT_FAILED.
int Console::next_byte() {
    if (pending_count_ > 0) {
        return pending_[--pending_count_];
    }
    const int c = std::getc(in_);
    if (c == EOF) {
        return std::ferror(in_) ? INPUT_FAILED : INPUT_END;
    }
    return c;
}

// Gives a byte back, to be read again before those given back earlier.
void Console::unread(int byte) { pending_[pending_count_++] = byte; }

// Returns the character of the UTF-8 sequence that starts with the byte lead.
// When the bytes after it do not complete a well-formed sequence, lead alone
// is the character, its Windows-1252 letter, and the rest is read again.
int Console::decode_utf8(int lead) {
    const Utf8Lead form = utf8_lead(static_cast<unsigned char>(lead));
    if (form.length == 0) {
        return static_cast<int>(from_windows_1252(static_cast<unsigned char>(lead)));
    }
    unsigned char bytes[UTF8_MAX] = {static_cast<unsigned char>(lead)};
    for (int have = 1; have < form.length; ++have) {
        const int next = next_byte();
        const int low = have == 1 ? form.second_min : 0x80;
        const int high = have == 1 ? form.second_max : 0xBF;
        if (next < low || next > high) {
            if (next >= 0) {
                unread(next);
            }
            for (int k = have - 1; k >= 1; --k) {
                unread(bytes[k]);
            }
            return static_cast<int>(from_windows_1252(bytes[0]));
        }
        bytes[have] = static_cast<unsigned char>(next);
    }
    return static_cast<int>(utf8_decode(bytes, form.length));
}

int Console::read_typed() {
    const int c = next_byte();
    if (c == '\r') {
        const int next = next_byte();
        if (next == '\n' || next == INPUT_FAILED) {
            return next;
        }
        if (next != INPUT_END) {
            unread(next);
        }
        return c;
    }
    if (c < 0x80) {  // ASCII, or the end of input
        return c;
    }
    switch (in_codeset_) {
    case Codeset::utf8:
        return decode_utf8(c);
    case Codeset::windows_1252:
        break;
    case Codeset::locale: {
        // Another codeset: the C library knows it. Multibyte ones are taken a byte at a time.
        const char byte = static_cast<char>(c);
        std::mbstate_t state{};
        wchar_t wide = 0;
        if (std::mbrtowc(&wide, &byte, 1, &state) == 1) {
            return static_cast<int>(wide);
        }
        break;
    }
    }
    return static_cast<int>(from_windows_1252(static_cast<unsigned char>(c)));
}

bool Console::shows_any_character() const { return err_codeset_ == Codeset::utf8; }

bool Console::write_chars(std::FILE* stream, const char32_t* text, int length) {
    const Codeset codeset = stream == err_ ? err_codeset_ : out_codeset_;
    // Each character is encoded in turn, a buffer's worth written at a time.
    char encoded[MESSAGE];
    std::size_t used = 0;
    std::mbstate_t state{};
    for (int i = 0; i < length; ++i) {
        std::size_t more = static_cast<std::size_t>(-1);
        if (codeset == Codeset::utf8) {
            more = static_cast<std::size_t>(to_utf8(text[i], encoded + used));
        } else if (codeset == Codeset::locale) {
            more = std::wcrtomb(encoded + used, static_cast<wchar_t>(text[i]), &state);
        }
        if (more == static_cast<std::size_t>(-1)) {
            const int byte = to_windows_1252(text[i]);  // a letter the codeset lacks goes out as its byte
            encoded[used] = static_cast<char>(byte < 0 ? '?' : byte);
            more = 1;
            state = std::mbstate_t{};
        }
        used += more;
        if (used > sizeof encoded - MB_LEN_MAX || i + 1 == length) {
            if (std::fwrite(encoded, 1, used, stream) != used) {
                return false;
            }
            used = 0;
        }
    }
    return true;
}

bool Console::write_text(std::FILE* stream, const char* text) {
    const Codeset codeset = stream == err_ ? err_codeset_ : out_codeset_;
    if (codeset == Codeset::windows_1252) {
        return std::fputs(text, stream) != EOF;
    }
    // The Windows-1252 letters as characters, a buffer's worth at a time.
    char32_t letters[MESSAGE];
    while (*text != '\0') {
        int count = 0;
        while (*text != '\0' && count < MESSAGE) {
            letters[count++] = from_windows_1252(static_cast<unsigned char>(*text++));
        }
        if (!write_chars(stream, letters, count)) {
            return false;
        }
    }
    return true;
}

}  // namespace quadrivo
