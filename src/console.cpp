// What the console does alike on every platform; reading and writing text is
// in console_posix.cpp and console_windows.cpp.
#include "console.hpp"

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
