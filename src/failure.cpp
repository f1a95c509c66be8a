// The failure's line: the sentence, the file, the cause and, in some causes,
// the working folder, shortened from the left when it would not fit.
#include "failure.hpp"

#include <cstring>

namespace quadrivo {

namespace {

constexpr int PATH_CHARACTERS = 4096;  // the longest working folder told in full before shortening

// A line of characters built in fixed storage; what does not fit is left out.
struct Line {
    char32_t text[MESSAGE];
    int length = 0;

    void add(const char32_t* characters, int count) {
        for (int i = 0; i < count && length < MESSAGE; ++i) {
            text[length++] = characters[i];
        }
    }
    // Adds count bytes of Windows-1252 text.
    void add_letters(const char* letters, std::size_t count) {
        for (std::size_t i = 0; i < count && length < MESSAGE; ++i) {
            text[length++] = from_windows_1252(static_cast<unsigned char>(letters[i]));
        }
    }
};

// Tells whether c separates a path's folders.
bool is_separator(char32_t c) { return c == '/' || c == '\\'; }

// Adds the folder, or as much of its end as room allows: cut at a separator,
// with FOLDER_CUT in front, so that no name is cut midway where one fits.
void add_folder(Line& line, const char32_t* folder, int length, int room) {
    if (length <= room) {
        line.add(folder, length);
        return;
    }
    const int cut_length = static_cast<int>(std::strlen(FOLDER_CUT));
    int from = length - (room - cut_length);
    while (from < length && !is_separator(folder[from])) {
        ++from;
    }
    if (from == length) {
        from = length - (room - cut_length);  // the last name alone is too long
    }
    line.add_letters(FOLDER_CUT, static_cast<std::size_t>(cut_length));
    line.add(folder + from, length - from);
}

}  // namespace

void report_failure(Console& console, int error, const char* file_name, bool writing) {
    Line line;
    char sentence[MESSAGE];
    std::snprintf(sentence, sizeof sentence, writing ? ERR_CANNOT_WRITE : ERR_CANNOT_READ, file_name);
    line.add_letters(sentence, std::strlen(sentence));
    const Cause cause = cause_of(error, file_name, writing);
    const int end_length = static_cast<int>(std::strlen(ERR_END));
    if (cause == Cause::system) {
        char32_t description[MESSAGE];
        line.add(description, system_description(error, description, MESSAGE));
    } else {
        const char* words = CAUSES[static_cast<int>(cause)];
        const char* hole = std::strstr(words, "%s");
        line.add_letters(words, hole != nullptr ? static_cast<std::size_t>(hole - words) : std::strlen(words));
        if (hole != nullptr) {
            char32_t folder[PATH_CHARACTERS];
            const int length = working_folder(folder, PATH_CHARACTERS);
            const int tail = static_cast<int>(std::strlen(hole + 2));
            if (length < 0) {
                line.add_letters(WORKING_FOLDER, std::strlen(WORKING_FOLDER));
            } else {
                add_folder(line, folder, length, MESSAGE - line.length - tail - end_length);
            }
            line.add_letters(hole + 2, static_cast<std::size_t>(tail));
        }
    }
    line.length = line.length < MESSAGE - end_length ? line.length : MESSAGE - end_length;
    line.add_letters(ERR_END, static_cast<std::size_t>(end_length));
    console.warn("%s", line.text, line.length);
}

}  // namespace quadrivo
