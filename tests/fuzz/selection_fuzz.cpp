// Fuzzes the selection pass against an independent statement of what it must
// write. The input is a name (up to the first line end, at most 19 bytes, each
// a Windows-1252 letter) followed by a source calendar. Any disagreement aborts.
#include <iconv.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "selection.hpp"
#include "spelling.hpp"

namespace {

using quadrivo::NAME;
using quadrivo::NUM;
using quadrivo::ROW;

// The bytes as lines are read from them: CR LF becomes LF, and a 0x1A that
// ends the file, an old end-of-file mark, is gone.
std::string as_text(std::string_view raw) {
    if (!raw.empty() && raw.back() == '\x1A') {
        raw.remove_suffix(1);
    }
    std::string text;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')) {
            text += raw[i];
        }
    }
    return text;
}

// The name's Windows-1252 bytes in UTF-8, as the C library converts them; a
// byte the code page leaves unassigned is the control character of that number.
std::string in_utf8(std::string_view name) {
    static const iconv_t to_utf8 = iconv_open("UTF-8", "WINDOWS-1252");
    std::string utf8;
    for (const char c : name) {
        char in[1] = {c};
        char out[4];
        char* in_at = in;
        char* out_at = out;
        std::size_t in_left = 1;
        std::size_t out_left = sizeof out;
        if (iconv(to_utf8, &in_at, &in_left, &out_at, &out_left) == static_cast<std::size_t>(-1)) {
            utf8 += '\xC2';
            utf8 += c;
        } else {
            utf8.append(out, sizeof out - out_left);
        }
    }
    return utf8;
}

// The calendar for the name: the text cut into lines, each line into pieces of
// ROW characters, the first NUM pieces looked at. A piece holding the name, in
// Windows-1252 or in UTF-8, is written with one line end, plus one more when
// the piece ends its line.
std::string expected_calendar(std::string_view name, std::string_view raw) {
    const std::string utf8 = in_utf8(name);
    const std::string text = as_text(raw);
    std::string written;
    std::size_t pos = 0;
    for (int piece = 0; piece < NUM && pos < text.size(); ++piece) {
        const std::size_t line_end = std::min(text.find('\n', pos), text.size());
        const bool ends_line = line_end - pos < static_cast<std::size_t>(ROW);
        const std::string_view chars(text.data() + pos, ends_line ? line_end - pos : ROW);
        if (!name.empty() &&
            (chars.find(name) != std::string_view::npos || chars.find(utf8) != std::string_view::npos)) {
            written += chars;
            written += ends_line ? "\n\n" : "\n";
        }
        pos += chars.size() + (ends_line ? 1 : 0);
    }
    return written;
}

// What one pass made: the calendar and the lines kept for the hint.
struct Made {
    quadrivo::CalendarText calendar;
    quadrivo::ReadLines read;
};

// Runs the pass over source for the name into made; returns its report, or aborts when the stream fails.
quadrivo::SelectionReport run_pass(std::string& source, const char32_t (&nome)[NAME], int cont, Made& made) {
    std::FILE* read1 = fmemopen(source.data(), source.size(), "r");
    if (read1 == nullptr) {
        std::abort();
    }
    quadrivo::SourceLines lines(read1);
    const bool started = lines.start();
    quadrivo::SelectionReport report =
        quadrivo::select_team_lines(lines, made.calendar, made.read, quadrivo::TeamName(nome, cont));
    if (!started) {
        report.result = quadrivo::SelectionResult::read_failed;
    }
    std::fclose(read1);
    return report;
}

// The hint's work, distances and characters verified and the bytes its
// shortening searches, may grow with the bytes searched by at most this much a
// byte, plus a constant: nothing makes it costly. A whole-word hint too long
// for a name is shortened by searching the lines read once for the whole
// words and once for each shorter run of them (at most NAME / 2), and each
// verified line's words may be read to their ends once.
constexpr long WORK_PER_BYTE = 2 + NAME / 2;
constexpr long WORK_AT_MOST = 4000;

// After a pass that selected nothing: the hint's work is bounded, and a hint,
// if any, is at most NAME - 1 characters and, typed, selects lines.
void check_hint(std::string& source, const quadrivo::ReadLines& read, const char32_t (&nome)[NAME], int cont,
                bool any_character) {
    quadrivo::Spelling hint;
    long work = 0;
    const bool hinted = quadrivo::find_spelling(read, nome, cont, any_character, hint, &work);
    long bytes = 0;
    for (int m = 0; m < read.count(); ++m) {
        bytes += static_cast<long>(read.line(m).size());
    }
    if (work > WORK_PER_BYTE * bytes + WORK_AT_MOST) {
        std::fprintf(stderr, "the hint did %ld steps of work over %ld bytes\n", work, bytes);
        std::abort();
    }
    if (!hinted) {
        return;
    }
    char32_t typed[NAME];
    std::copy(hint.text, hint.text + hint.length, typed);
    static Made again;
    again = Made{};
    const int selected = hint.length < NAME ? run_pass(source, typed, hint.length, again).selected : 0;
    if (selected == 0) {
        std::fprintf(stderr, "a hint that selects nothing when typed\n");
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t name_len = std::min({input.find('\n'), size, static_cast<std::size_t>(NAME - 1)});
    const std::string_view name = input.substr(0, name_len);
    const bool line_end_follows = name_len < size && input[name_len] == '\n';
    std::string source(input.substr(name_len + (line_end_follows ? 1 : 0)));

    char32_t nome[NAME];
    for (std::size_t k = 0; k < name.size(); ++k) {
        nome[k] = quadrivo::from_windows_1252(static_cast<unsigned char>(name[k]));
    }
    const int cont = static_cast<int>(name.size());
    static Made made;  // fixed storage, as the program's own
    made = Made{};
    const quadrivo::SelectionReport report = run_pass(source, nome, cont, made);
    const bool agrees = report.result == quadrivo::SelectionResult::ok &&
                        std::string_view(made.calendar.data(), made.calendar.size()) == expected_calendar(name, source);
    if (!agrees) {
        std::fprintf(stderr, "the pass wrote a different calendar than the rule gives\n");
        std::abort();
    }
    if (report.selected == 0) {
        check_hint(source, made.read, nome, cont, size % 2 == 0);
    }
    return 0;
}
