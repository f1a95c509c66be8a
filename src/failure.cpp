// The failure's line: the sentence, the file, the cause and, in some causes,
// the working folder, shortened from the left when it would not fit. Nothing
// of a folder's name reaches the terminal as a control.
#include <cstdint>
#include <cstring>

#include "file_primitives.hpp"
#include "telling.hpp"

namespace quadrivo {

namespace {

constexpr int PATH_CHARACTERS = 4096;  // the longest working folder told in full before shortening
constexpr int LINE = 2 * MESSAGE;  // a line with a look-alike's long name; its folder fits MESSAGE
constexpr int LEAST_FOLDER = 16;  // characters of the folder shown, at least

// A line of characters built in fixed storage; what does not fit is left out.
struct Line {
    char32_t text[LINE];
    int length = 0;

    // Adds characters from outside (a folder's name): a control shows as '?'.
    void add(const char32_t* characters, int count) {
        for (int i = 0; i < count && length < LINE; ++i) {
            text[length++] = is_control(characters[i]) ? U'?' : characters[i];
        }
    }
    // Adds Windows-1252 text of ours: count bytes, or up to its end.
    void add_letters(const char* letters, std::size_t count = SIZE_MAX) {
        length = widen(letters, text, length, LINE, count);
    }
};

// Adds the folder, or as much of its end as room allows: cut at a separator,
// with FOLDER_CUT in front, so that no name is cut midway where one fits.
void add_folder(Line& line, const char32_t* folder, int length, int room) {
    if (length <= room) {
        line.add(folder, length);
        return;
    }
    const int cut_length = static_cast<int>(std::strlen(FOLDER_CUT));
    int from = length - (room - cut_length);
    while (from < length && folder[from] != '/' && folder[from] != '\\') {
        ++from;
    }
    if (from == length) {
        from = length - (room - cut_length);  // the last name alone is too long
    }
    line.add_letters(FOLDER_CUT);
    line.add(folder + from, length - from);
}

// Adds the words of cause with their holes filled: %d the system's code, %n
// the look-alike's name, %s the system's description of the code in a system
// cause and the working folder in any other, shortened so that the line, less
// a long name, fits MESSAGE characters.
void add_cause(Line& line, Cause cause, const Failure& failure, int end_length, const LookAlike& other) {
    const char* words = CAUSES[static_cast<int>(cause)].words;
    const int holes = (std::strstr(words, "%s") != nullptr ? 2 : 0) + (std::strstr(words, "%n") != nullptr ? 2 : 0);
    const int rest = line.length + static_cast<int>(std::strlen(words)) - holes + end_length;
    for (const char* at = words; *at != '\0';) {
        const char* hole = std::strchr(at, '%');
        const char* text_end = hole != nullptr ? hole : at + std::strlen(at);
        line.add_letters(at, static_cast<std::size_t>(text_end - at));
        if (hole == nullptr) {
            break;
        }
        char32_t filling[PATH_CHARACTERS];
        if (hole[1] == 'd') {
            char number[16];
            std::snprintf(number, sizeof number, "%d", failure.code);
            line.add_letters(number);
        } else if (hole[1] == 'n') {
            line.add(other.name, other.length);
        } else if (hole[1] == 's' && cause == Cause::system) {
            line.add(filling, system_description(failure.code, filling, MESSAGE));
        } else if (hole[1] == 's') {
            const int length = working_folder(filling, PATH_CHARACTERS);
            const int room = MESSAGE - rest - other.length;
            if (length < 0) {
                line.add_letters(WORKING_FOLDER);
            } else {
                add_folder(line, filling, length, room < LEAST_FOLDER ? LEAST_FOLDER : room);
            }
        }
        at = hole + 2;
    }
}

// Returns the cause to tell of failure on file_name, read or written.
Cause cause_of(const Failure& failure, const char* file_name, bool writing) {
    // The cause of each fact, in the order of Fact.
    constexpr Cause FACT_CAUSES[] = {Cause::system,    Cause::folder,    Cause::not_a_file,    Cause::read_only,
                                     Cause::same_file, Cause::other_run, Cause::folder_refuses};
    if (failure.fact != Fact::code) {
        return FACT_CAUSES[static_cast<int>(failure.fact)];
    }
    if (folder_refused(failure)) {
        return Cause::folder_refuses;  // the calendar's name needs a new file there
    }
    return system_cause(file_name, failure.code, writing);
}

}  // namespace

void report_failure(Console& console, const Failure& failure, const char* file_name, bool writing) {
    Cause cause = cause_of(failure, file_name, writing);
    LookAlike other;
    if (cause == Cause::missing && !writing && find_look_alike(other)) {
        cause = look_alike_cause(other);  // a hidden extension, another case, a copy
    }
    Line line;
    char sentence[MESSAGE];
    std::snprintf(sentence, sizeof sentence, writing ? ERR_CANNOT_WRITE : ERR_CANNOT_READ, file_name);
    line.add_letters(sentence);
    const int end_length = static_cast<int>(std::strlen(ERR_END));
    add_cause(line, cause, failure, end_length, other);
    if (failure.incomplete) {
        line.add_letters(ERR_INCOMPLETE);
    }
    line.length = line.length < LINE - end_length ? line.length : LINE - end_length;
    line.add_letters(ERR_END);
    console.warn("%s", line.text, line.length);
}

}  // namespace quadrivo
