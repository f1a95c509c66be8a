#include "selection.hpp"

#include <algorithm>
#include <cstring>

#include "failure.hpp"

namespace quadrivo {

bool SourceLines::fill() {
    while (pos_ == len_) {
        // A 0x1A held back from the last block starts this one: it was not the file's last byte.
        const std::size_t kept = held_ctrl_z_ ? 1 : 0;
        if (held_ctrl_z_) {
            block_[0] = CTRL_Z;
        }
        const std::size_t got = std::fread(block_ + kept, 1, sizeof block_ - kept, in_);
        pos_ = 0;
        len_ = got == 0 ? 0 : kept + got;  // at the end, a held 0x1A was the old DOS end-of-file mark
        held_ctrl_z_ = len_ > 0 && block_[len_ - 1] == CTRL_Z;
        len_ -= held_ctrl_z_ ? 1 : 0;
        if (got == 0 && std::ferror(in_)) {
            error_ = last_error();
            return false;
        }
        if (got == 0) {
            break;  // the end of the file
        }
    }
    return true;
}

bool SourceLines::start() {
    if (!fill()) {
        return false;
    }
    // A 0x1A held back is part of what was read.
    kind_ = recognise(reinterpret_cast<const unsigned char*>(block_), len_ + (held_ctrl_z_ ? 1 : 0));
    return true;
}

int SourceLines::next(char (&riga)[ROW]) {
    int i = 0;
    while (i < ROW) {
        if (pos_ == len_ && !fill()) {  // most lines lie within the block: no call
            return -1;
        }
        if (pos_ == len_) {  // the file has ended
            if (i > 0) {
                riga[i++] = '\n';
            }
            return i;
        }
        // Copies up to the line end, the end of the block or a full riga, whichever comes first.
        const char* from = block_ + pos_;
        const std::size_t room = std::min(len_ - pos_, static_cast<std::size_t>(ROW - i));
        const char* line_end = static_cast<const char*>(std::memchr(from, '\n', room));
        const std::size_t taken = line_end != nullptr ? static_cast<std::size_t>(line_end - from) + 1 : room;
        std::memcpy(riga + i, from, taken);
        pos_ += taken;
        i += static_cast<int>(taken);
        if (line_end != nullptr) {
            // A CR LF ends the line as LF alone.
            if (i >= 2 && riga[i - 2] == '\r') {
                riga[i - 2] = '\n';
                --i;
            }
            return i;
        }
    }
    // A full riga whose last byte is the CR of a CR LF: the pair is its line end.
    if (riga[ROW - 1] == '\r') {
        if (!fill()) {
            return -1;
        }
        if (pos_ < len_ && block_[pos_] == '\n') {
            riga[ROW - 1] = '\n';
            ++pos_;
        }
    }
    return i;
}

int SourceLines::more() {
    while (fill()) {
        while (pos_ < len_ && std::memchr(" \t\n\r", block_[pos_], 4) != nullptr) {  // shows nothing
            ++pos_;
        }
        if (pos_ < len_) {
            return 1;
        }
        if (len_ == 0) {
            return 0;  // the end of the file
        }
    }
    return -1;
}

TeamName::TeamName(const char32_t (&nome)[NAME], int cont) {
    bool ansi_holds = true;
    for (int k = 0; k < cont; ++k) {
        utf8_len_ += to_utf8(nome[k], utf8_ + utf8_len_);
        const int byte = to_windows_1252(nome[k]);
        ansi_holds = ansi_holds && byte >= 0;
        if (ansi_holds) {
            ansi_[ansi_len_++] = static_cast<char>(byte);
        }
    }
    // Forms of equal length mean a plain ASCII name, the same bytes twice: one search will do.
    if (!ansi_holds || ansi_len_ == utf8_len_) {
        ansi_len_ = 0;
    }
}

bool TeamName::found_in(std::string_view text) const {
    return utf8_len_ > 0 &&
           (text.find(std::string_view(utf8_, utf8_len_)) != std::string_view::npos ||
            (ansi_len_ > 0 && text.find(std::string_view(ansi_, ansi_len_)) != std::string_view::npos));
}

SelectionReport select_team_lines(SourceLines& source, CalendarText& calendar, ReadLines& read, const TeamName& name) {
    SelectionReport report{SelectionResult::ok, 0, false};
    char riga[ROW];
    for (int m = 0; m < NUM; ++m) {
        const int len = source.next(riga);
        if (len < 0) {
            report.result = SelectionResult::read_failed;
            return report;
        }
        if (len == 0) {
            return report;
        }
        read.add(riga, len);
        // Only the bytes before the line end (a piece of a longer line has none) are searched.
        const int text = riga[len - 1] == '\n' ? len - 1 : len;
        if (name.found_in(std::string_view(riga, static_cast<std::size_t>(text)))) {
            // The line and one more line end: a whole line is thus followed by an
            // empty one. NUM lines of ROW bytes and their line ends always fit.
            calendar.append(riga, static_cast<std::size_t>(len));
            calendar.append("\n", 1);
            ++report.selected;
        }
    }
    const int more = source.more();
    if (more < 0) {
        report.result = SelectionResult::read_failed;
    }
    report.more_lines = more > 0;
    return report;
}

void mark_utf8_for_office(CalendarText& calendar) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(calendar.data());
    const std::size_t mark = sizeof UTF8_MARK - 1;
    const bool ascii = std::all_of(bytes, bytes + calendar.size(), [](unsigned char byte) { return byte < 0x80; });
    const bool marked = calendar.size() >= mark && std::memcmp(bytes, UTF8_MARK, mark) == 0;
    if (!ascii && !marked && is_utf8(bytes, calendar.size())) {
        calendar.prepend(UTF8_MARK, mark);  // its room is kept in the calendar's capacity
    }
}

}  // namespace quadrivo
