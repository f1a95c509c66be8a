// What the console does alike on every platform; reading and writing text is
// in console_posix.cpp and console_windows.cpp.
#include "console.hpp"

#include <cstring>

namespace quadrivo {

int Console::read_char() {
    if (in_failed_ || out_failed_) {
        return INPUT_FAILED;
    }
    const int c = read_typed();
    in_failed_ = c == INPUT_FAILED;
    return c;
}

void Console::say(const char* text) {
    if (!out_failed_ && (!write_text(out_, text) || std::fflush(out_) != 0)) {
        out_failed_ = true;
    }
}

void Console::warn(const char* format, const char* file_name) {
    if (std::fflush(out_) != 0) {
        out_failed_ = true;
    }
    char text[MESSAGE];
    std::snprintf(text, sizeof text, format, file_name);
    // Standard error may be buffered when redirected (the Windows C runtime does so).
    if (write_text(err_, text)) {
        std::fflush(err_);
    }
}

void Console::warn(const char* format, const char32_t* text, int length) {
    if (std::fflush(out_) != 0) {
        out_failed_ = true;
    }
    // The message's two halves around the %s, each a message of its own.
    char head[MESSAGE];
    const char* hole = std::strstr(format, "%s");
    const std::size_t head_length = hole != nullptr ? static_cast<std::size_t>(hole - format) : std::strlen(format);
    std::snprintf(head, sizeof head, "%.*s", static_cast<int>(head_length), format);
    if (write_text(err_, head) && (hole == nullptr || (write_chars(err_, text, length) && write_text(err_, hole + 2)))) {
        std::fflush(err_);
    }
}

bool Console::report_fault() {
    if (std::fflush(out_) != 0 || std::ferror(out_)) {
        out_failed_ = true;
    }
    if (in_failed_) {
        warn(ERR_CONSOLE_IN);
    }
    if (out_failed_) {
        warn(ERR_CONSOLE_OUT);
    }
    return in_failed_ || out_failed_;
}

}  // namespace quadrivo
