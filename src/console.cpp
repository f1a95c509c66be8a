// What the console does alike on every platform: the run's console faults,
// the order of the two output streams, and typed bytes read as characters;
// reading and writing a console is in console_posix.cpp and console_windows.cpp.
#include "console.hpp"

#include <cstring>
#include <cwchar>
#include <initializer_list>

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
    const int length = static_cast<int>(std::strlen(text));
    if (!out_failed_ && (!write_chars(out_, text, nullptr, length) || std::fflush(out_) != 0)) {
        out_failed_ = true;
    }
}

void Console::warn(const char* format, const char* file_name) {
    char text[MESSAGE];
    const int length = std::snprintf(text, sizeof text, format, file_name);
    tell(text, nullptr, length < MESSAGE ? length : MESSAGE - 1);
}

void Console::warn(const char* format, const char32_t* text, int length) {
    // The message whole, for one write.
    char head[MESSAGE];
    const char* tail = split_at_hole(format, head);
    char32_t line[TEXT_OUT];
    int used = widen(head, line, 0, TEXT_OUT);
    if (tail != nullptr) {
        for (int i = 0; i < length && used < TEXT_OUT; ++i) {
            line[used++] = text[i];
        }
        used = widen(tail, line, used, TEXT_OUT);
    }
    tell(nullptr, line, used);
}

void Console::tell(const char* bytes, const char32_t* chars, int length) {
    if (std::fflush(out_) != 0) {
        out_failed_ = true;
    }
    // Standard error may be buffered when redirected (the Windows C runtime does so).
    if (write_chars(err_, bytes, chars, length)) {
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

int TypedBytes::next_byte() {
    if (pending_count_ > 0) {
        return pending_[--pending_count_];
    }
    if (ended_) {
        return INPUT_END;
    }
    const int c = std::getc(in_);
    if (c == EOF) {
        return std::ferror(in_) ? INPUT_FAILED : INPUT_END;
    }
    if (c == CTRL_Z && ctrl_z_ends_ && form_ == Form::bytes) {
        ended_ = true;  // the end of a Windows text stream
        return INPUT_END;
    }
    return c;
}

// Reads the mark at the start of redirected input, if any, and keeps what follows.
void TypedBytes::settle_form() {
    if (form_ != Form::unknown) {
        return;
    }
    form_ = Form::bytes;
    const int first = next_byte();
    const int second = first >= 0 ? next_byte() : INPUT_END;
    const int third = first == 0xEF && second == 0xBB ? next_byte() : INPUT_END;
    if ((first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF)) {
        form_ = first == 0xFF ? Form::utf16_le : Form::utf16_be;
    } else if (third != 0xBF) {  // a UTF-8 mark says nothing a UTF-8 reading does not
        for (const int byte : {third, second, first}) {
            if (byte >= 0) {
                unread(byte);
            }
        }
    }
}

// Returns the next 16-bit unit of UTF-16 input, INPUT_END or INPUT_FAILED.
int TypedBytes::next_utf16_unit() {
    const int first = next_byte();
    const int second = first >= 0 ? next_byte() : first;
    if (second < 0) {
        return second == INPUT_FAILED || first == INPUT_FAILED ? INPUT_FAILED : INPUT_END;  // an odd last byte ends it
    }
    return form_ == Form::utf16_le ? first | (second << 8) : (first << 8) | second;
}

// Returns the character of the UTF-8 sequence that starts with the byte lead,
// reading no further than a well-formed sequence goes (a terminal's next line
// is not waited for). Bytes that do not complete one are read again.
int TypedBytes::decode_utf8(int lead) {
    unsigned char bytes[UTF8_MAX] = {static_cast<unsigned char>(lead)};
    const int length = utf8_length(bytes[0]);
    int have = 1;
    for (bool follows = true; follows && have < length;) {
        const int next = next_byte();
        if (next < 0) {
            break;
        }
        bytes[have] = static_cast<unsigned char>(next);
        follows = utf8_follows(bytes, have++);
    }
    char32_t c = 0;
    for (int k = have - 1, taken = decode_char(bytes, have, c); k >= taken; --k) {
        unread(bytes[k]);
    }
    return static_cast<int>(c);
}

int TypedBytes::next_char() {
    settle_form();
    if (form_ != Form::bytes) {
        return next_joined([this] { return next_utf16_unit(); }, pending_unit_);
    }
    const int c = next_byte();
    const int next = c == '\r' ? next_byte() : INPUT_END;  // CR LF is one line end
    if (next == '\n' || next == INPUT_FAILED) {
        return next;
    }
    if (next >= 0) {
        unread(next);
    }
    if (c < 0x80) {
        return c;  // ASCII, or the end of input
    }
    if (!locale_bytes_) {
        return decode_utf8(c);
    }
    const std::wint_t wide = std::btowc(c);
    return static_cast<int>(wide != WEOF ? wide : from_windows_1252(static_cast<unsigned char>(c)));
}

}  // namespace quadrivo
