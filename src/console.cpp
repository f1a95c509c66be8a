// What the console does alike on every platform: the run's console faults,
// the order of the two output streams, and typed bytes read as characters;
// reading and writing a console is in console_posix.cpp and console_windows.cpp.
#include "console.hpp"

#include <cstring>
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
    if (write_text(err_, head) &&
        (hole == nullptr || (write_chars(err_, text, length) && write_text(err_, hole + 2)))) {
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
    if ((first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF)) {
        form_ = first == 0xFF ? Form::utf16_le : Form::utf16_be;
        return;
    }
    const int third = first == 0xEF && second == 0xBB ? next_byte() : INPUT_END;
    if (third == 0xBF) {
        return;  // a UTF-8 mark says nothing a UTF-8 reading does not
    }
    for (const int byte : {third, second, first}) {
        if (byte >= 0) {
            unread(byte);
        }
    }
}

// Returns the next 16-bit unit of UTF-16 input, INPUT_END or INPUT_FAILED.
int TypedBytes::next_utf16_unit() {
    if (pending_unit_ >= 0) {
        const int unit = pending_unit_;
        pending_unit_ = -1;
        return unit;
    }
    const int first = next_byte();
    const int second = first >= 0 ? next_byte() : first;
    if (second < 0) {
        return second == INPUT_FAILED || first == INPUT_FAILED ? INPUT_FAILED : INPUT_END;  // an odd last byte ends it
    }
    return form_ == Form::utf16_le ? first | (second << 8) : (first << 8) | second;
}

// Returns the next character of UTF-16 input: a surrogate pair is one, a lone
// surrogate the replacement character, CR LF one line end.
int TypedBytes::next_utf16_char() {
    const int unit = next_utf16_unit();
    if (unit == '\r' || (unit >= 0xD800 && unit <= 0xDBFF)) {
        const int next = next_utf16_unit();
        if (unit == '\r' && next == '\n') {
            return '\n';
        }
        if (unit != '\r' && next >= 0xDC00 && next <= 0xDFFF) {
            return 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
        }
        pending_unit_ = next >= 0 ? next : -1;
        return unit == '\r' ? unit : 0xFFFD;
    }
    return unit >= 0xDC00 && unit <= 0xDFFF ? 0xFFFD : unit;
}

int TypedBytes::next_unit() {
    settle_form();
    const int c = next_byte();
    if (c == '\r') {
        const int next = next_byte();
        if (next == '\n' || next == INPUT_FAILED) {
            return next;
        }
        if (next != INPUT_END) {
            unread(next);
        }
    }
    return c;
}

// Returns the character of the UTF-8 sequence that starts with the byte lead.
// When the bytes after it do not complete a well-formed sequence, lead alone
// is the character, its Windows-1252 letter, and the rest is read again.
int TypedBytes::decode_utf8(int lead) {
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

int TypedBytes::next_char() {
    if (utf16()) {
        return next_utf16_char();
    }
    const int c = next_unit();
    return c < 0x80 ? c : decode_utf8(c);  // ASCII, or the end of input
}

}  // namespace quadrivo
