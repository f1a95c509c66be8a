// Fuzzes the whole dialogue with arbitrary console input, in a UTF-8 locale
// (so that typed bytes go through the UTF-8 decoder) and a temporary folder
// holding a small calendar. The console output must be made only of the
// program's messages, standard error only of the notice that nothing was
// selected and hints of a part of a calendar line, and the calendar files only of calendar lines, each followed by an
// empty line; anything else aborts.
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>

#include "console.hpp"
#include "constants.hpp"
#include "dialogue.hpp"

namespace {

constexpr std::string_view CALENDAR =
    "1a giornata\n"
    "Delfini - Lupi Rossi 2-1\n"
    "Orsi - Citt\xE0 di Mont\xE8\r\n"
    "Lupi Rossi - Orsi\n"
    "Falchi - Delfini";
constexpr std::string_view CALENDAR_LINES[] = {
    "1a giornata", "Delfini - Lupi Rossi 2-1", "Orsi - Citt\xE0 di Mont\xE8", "Lupi Rossi - Orsi", "Falchi - Delfini",
};

// A message as a UTF-8 console shows it: its Windows-1252 letters in UTF-8.
std::string in_utf8(std::string_view message) {
    std::string utf8;
    for (const char c : message) {
        char32_t letter = quadrivo::from_windows_1252(static_cast<unsigned char>(c));
        char bytes[quadrivo::UTF8_MAX];
        utf8.append(bytes, static_cast<std::size_t>(quadrivo::to_utf8(letter, bytes)));
    }
    return utf8;
}

// The notice that a pass selected nothing, for a calendar file, as the console shows it.
std::string nothing_selected(const char* notice_format, const char* file_name) {
    char notice[256];
    std::snprintf(notice, sizeof notice, notice_format, file_name);
    return in_utf8(notice);
}

// Tells whether text is a sequence of the given messages.
bool only_messages(std::string_view text, std::initializer_list<std::string_view> messages) {
    while (!text.empty()) {
        bool known = false;
        for (std::string_view message : messages) {
            if (text.substr(0, message.size()) == message) {
                text.remove_prefix(message.size());
                known = true;
                break;
            }
        }
        if (!known) {
            return false;
        }
    }
    return true;
}

// Tells whether text is a sequence of notices that nothing was selected, each
// maybe followed by a hint whose spelling is part of a calendar line.
bool only_notices(std::string_view text, const std::string (&nothing)[6]) {
    char head[256];
    std::snprintf(head, sizeof head, "%.*s",
                  static_cast<int>(std::strstr(quadrivo::NOTE_SPELLING, "%s") - quadrivo::NOTE_SPELLING),
                  quadrivo::NOTE_SPELLING);
    static const std::string hint_head = in_utf8(head);
    static const std::string hint_tails[] = {in_utf8(std::strstr(quadrivo::NOTE_SPELLING, "%s") + 2),
                                             in_utf8(std::strstr(quadrivo::NOTE_SPELLING_TO_COPY, "%s") + 2)};
    while (!text.empty()) {
        const std::string_view line = text.substr(0, text.find('\n') + 1);
        text.remove_prefix(line.size());
        if (std::find(std::begin(nothing), std::end(nothing), line) != std::end(nothing)) {
            continue;
        }
        const auto tail = std::find_if(std::begin(hint_tails), std::end(hint_tails), [&](const std::string& hint_tail) {
            return line.size() >= hint_head.size() + hint_tail.size() &&
                   line.substr(line.size() - hint_tail.size()) == hint_tail;
        });
        if (line.substr(0, hint_head.size()) != hint_head || tail == std::end(hint_tails)) {
            return false;
        }
        const std::string_view spelling = line.substr(hint_head.size(), line.size() - hint_head.size() - tail->size());
        if (std::none_of(std::begin(CALENDAR_LINES), std::end(CALENDAR_LINES), [&](std::string_view calendar_line) {
                return in_utf8(calendar_line).find(spelling) != std::string::npos;
            })) {
            return false;
        }
    }
    return true;
}

// Tells whether text is a sequence of calendar lines, each with its line end and an empty line.
bool only_calendar_lines(std::string_view text) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos || text.substr(end, 2) != "\n\n") {
            return false;
        }
        const std::string_view line = text.substr(0, end);
        if (std::find(std::begin(CALENDAR_LINES), std::end(CALENDAR_LINES), line) == std::end(CALENDAR_LINES)) {
            return false;
        }
        text.remove_prefix(end + 2);
    }
    return true;
}

std::string contents(const char* file_name) {
    std::ifstream file(file_name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

// Runs every input in a new folder, below the current one, that holds the calendar.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "dialogue-fuzz-XXXXXX";
    if (mkdtemp(folder) == nullptr || chdir(folder) != 0) {
        std::abort();
    }
    std::ofstream(quadrivo::SOURCE_FILE, std::ios::binary) << CALENDAR;
    if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const quadrivo::CalendarFormat& format : quadrivo::FORMATS) {
        std::remove(format.file_name);
    }
    std::string input(reinterpret_cast<const char*>(data), size);
    std::FILE* in = fmemopen(input.data(), input.size(), "r");
    char* out_buffer = nullptr;
    char* err_buffer = nullptr;
    std::size_t out_length = 0;
    std::size_t err_length = 0;
    std::FILE* out = open_memstream(&out_buffer, &out_length);
    std::FILE* err = open_memstream(&err_buffer, &err_length);
    if (in == nullptr || out == nullptr || err == nullptr) {
        std::abort();
    }
    const int status = quadrivo::with_console(
        in, out, err,
        [](quadrivo::Console& console, int, const char* const*) { return quadrivo::run_dialogue(console); }, 0,
        nullptr);
    std::fclose(in);
    std::fclose(out);
    std::fclose(err);
    using namespace quadrivo;
    static const std::string nothing[] = {nothing_selected(NOTE_NOTHING_SELECTED, FORMATS[0].file_name),
                                          nothing_selected(NOTE_NOTHING_SELECTED, FORMATS[1].file_name),
                                          nothing_selected(NOTE_NOTHING_SELECTED, FORMATS[2].file_name),
                                          nothing_selected(NOTE_NOTHING_IN_SHORT_SOURCE, FORMATS[0].file_name),
                                          nothing_selected(NOTE_NOTHING_IN_SHORT_SOURCE, FORMATS[1].file_name),
                                          nothing_selected(NOTE_NOTHING_IN_SHORT_SOURCE, FORMATS[2].file_name)};
    static const std::string messages[] = {
        in_utf8(MSG_FORMAT_QUESTION),     in_utf8(MSG_WRONG_FORMAT),        in_utf8(MSG_NAME_QUESTION),
        in_utf8(MSG_NAME_TOO_LONG),       in_utf8(MSG_PASS_DONE),           in_utf8(MSG_RESTART_QUESTION),
        in_utf8(FORMATS[0].done_message), in_utf8(FORMATS[1].done_message), in_utf8(FORMATS[2].done_message)};
    bool sound = status == 0 &&
                 only_messages(std::string_view(out_buffer, out_length),
                               {messages[0], messages[1], messages[2], messages[3], messages[4], messages[5],
                                messages[6], messages[7], messages[8]}) &&
                 only_notices(std::string_view(err_buffer, err_length), nothing);
    for (const quadrivo::CalendarFormat& format : quadrivo::FORMATS) {
        sound = sound && only_calendar_lines(contents(format.file_name));
    }
    std::free(out_buffer);
    std::free(err_buffer);
    if (!sound) {
        std::fprintf(stderr, "the dialogue wrote something that is neither a message nor a calendar line\n");
        std::abort();
    }
    return 0;
}
