#include "command_line.hpp"

#include <cstring>
#include <initializer_list>

#include "constants.hpp"
#include "name_pattern.hpp"

#ifdef _WIN32
#include <windows.h>
#endif

namespace quadrivo {

namespace {

constexpr int ARGUMENT_SHOWN = 128;  // characters of a refused argument shown; a longer one is cut

// Tells whether argument is one of options or, on Windows, of switches in any case.
bool is_one_of(const char* argument, std::initializer_list<const char*> options,
               std::initializer_list<const char*> switches) {
    for (const char* option : options) {
        if (std::strcmp(argument, option) == 0) {
            return true;
        }
    }
#ifdef _WIN32
    for (const char* name : switches) {
        if (_stricmp(argument, name) == 0) {
            return true;
        }
    }
#else
    static_cast<void>(switches);
#endif
    return false;
}

bool is_help(const char* argument) {
    return is_one_of(argument, {"--help", "-h"}, {"-?", "/?", "/h", "/help"});
}

bool is_version(const char* argument) {
    return is_one_of(argument, {"--version", "-V"}, {"/v", "/version"});
}

// A lone dash is a file's name for standard input, not an option; on Windows a
// slash begins one.
bool is_option(const char* argument) {
#ifdef _WIN32
    if (argument[0] == '/') {
        return true;
    }
#endif
    return argument[0] == '-' && argument[1] != '\0';
}

// Tells on standard error, in the words of format, that argument is refused,
// the argument shown as any name is (a control as '?'), and where the help is.
int refuse(Console& console, const char* format, const char* argument) {
    char32_t shown[ARGUMENT_SHOWN + sizeof ARGUMENT_CUT];
    int length = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(argument);
    const int size = static_cast<int>(std::strlen(argument));
    for (int i = 0; i < size;) {
        const char32_t c = next_character(bytes, size, i);
        if (length == ARGUMENT_SHOWN) {
            for (const char* cut = ARGUMENT_CUT; *cut != '\0'; ++cut) {
                shown[length++] = static_cast<char32_t>(*cut);
            }
            break;
        }
        shown[length++] = is_control(c) ? U'?' : c;
    }
    console.warn(format, shown, length);
    console.warn(MSG_HELP_HINT);
#ifdef _WIN32
    DWORD processes[2];
    if (waits_for_enter(GetConsoleProcessList(processes, 2))) {
        console.warn(MSG_PRESS_ENTER);
        for (int c = console.read_char(); c >= 0 && c != '\n'; c = console.read_char()) {
        }
    }
#endif
    return 2;
}

}  // namespace

CommandLine read_command_line(int argc, const char* const* argv) {
    CommandLine line;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (options && std::strcmp(argument, "--") == 0) {
            options = false;
        } else if (options && (is_help(argument) || is_version(argument))) {
            return {is_help(argument) ? Request::usage : Request::version, nullptr};
        } else if (options && is_option(argument)) {
            return {Request::unknown_option, argument};
        } else if (line.refused == nullptr) {
            line = {Request::argument, argument};
        }
    }
    return line;
}

int answer(Console& console, const CommandLine& line) {
    if (line.request == Request::usage || line.request == Request::version) {
        console.say(line.request == Request::usage ? MSG_USAGE : MSG_VERSION);
        return console.report_fault() ? 1 : 0;
    }
    return refuse(console, line.request == Request::unknown_option ? ERR_UNKNOWN_OPTION : ERR_NO_ARGUMENTS,
                  line.refused);
}

}  // namespace quadrivo
