#include "console_text.hpp"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <langinfo.h>
#endif

namespace quadrivo {

#ifdef _WIN32

static constexpr unsigned WINDOWS_1252 = 1252;

// Returns the output code page of the console behind out, or 0 when out is not
// a console (redirected to a file or a pipe) or the console already uses 1252.
static unsigned console_code_page(std::FILE* out) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
        return 0;
    }
    const unsigned code_page = GetConsoleOutputCP();
    return code_page == WINDOWS_1252 ? 0 : code_page;
}

MessageWriter::MessageWriter(std::FILE* out) : out_(out), code_page_(console_code_page(out)) {}

MessageWriter::~MessageWriter() = default;

void MessageWriter::say(const char* text) {
    // Room for the longest message, with up to four bytes a letter after conversion.
    static constexpr int WIDE_CAP = 256;
    wchar_t wide[WIDE_CAP];
    char converted[4 * WIDE_CAP];
    if (code_page_ != 0) {
        const int wide_len = MultiByteToWideChar(WINDOWS_1252, 0, text, -1, wide, WIDE_CAP);
        if (wide_len > 0 &&
            WideCharToMultiByte(code_page_, 0, wide, wide_len, converted, sizeof converted, nullptr, nullptr) > 0) {
            text = converted;
        }
    }
    std::fputs(text, out_);
}

#else

// Opens a converter from Windows-1252 to UTF-8 when the locale's codeset is
// UTF-8; returns (iconv_t)-1 otherwise, or when the C library has none.
static iconv_t utf8_converter() {
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) {
        return reinterpret_cast<iconv_t>(-1);
    }
    return iconv_open("UTF-8", "WINDOWS-1252");
}

MessageWriter::MessageWriter(std::FILE* out) : out_(out), to_utf8_(utf8_converter()) {}

MessageWriter::~MessageWriter() {
    if (to_utf8_ != reinterpret_cast<iconv_t>(-1)) {
        iconv_close(to_utf8_);
    }
}

void MessageWriter::say(const char* text) {
    if (to_utf8_ == reinterpret_cast<iconv_t>(-1)) {
        std::fputs(text, out_);
        return;
    }
    // Converts a buffer's worth at a time; a byte the converter refuses goes out as it is.
    char* in = const_cast<char*>(text);
    std::size_t in_left = std::strlen(text);
    while (in_left > 0) {
        char converted[256];
        char* out = converted;
        std::size_t out_left = sizeof converted;
        const std::size_t done = iconv(to_utf8_, &in, &in_left, &out, &out_left);
        std::fwrite(converted, 1, sizeof converted - out_left, out_);
        if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
            std::putc(*in, out_);
            ++in;
            --in_left;
        }
    }
}

#endif

}  // namespace quadrivo
