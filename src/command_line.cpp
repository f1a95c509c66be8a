#include "command_line.hpp"

#include <cstring>

#include "constants.hpp"
#include "dialogue.hpp"
#include "name_pattern.hpp"

#ifdef _WIN32
#include <windows.h>
#endif

namespace quadrivo {

namespace {

constexpr int ARGUMENT_SHOWN = 128;  // characters of a refused argument shown; a longer one is cut

struct Option {
    const char* name;
    Request request;
};

constexpr Option OPTIONS[] = {
    {"--help", Request::usage}, {"-h", Request::usage}, {"--version", Request::version}, {"-V", Request::version}};
#ifdef _WIN32
// Windows programs' switches, in any case.
constexpr Option SWITCHES[] = {{"-?", Request::usage},    {"/?", Request::usage},   {"/h", Request::usage},
                               {"/help", Request::usage}, {"/v", Request::version}, {"/version", Request::version}};
#endif

// Returns what argument asks for as an option: the help, the version, an
// unknown option, or nothing (Request::argument) when it is no option.
Request request_of(const char* argument) {
    for (const Option& option : OPTIONS) {
        if (std::strcmp(argument, option.name) == 0) {
            return option.request;
        }
    }
#ifdef _WIN32
    for (const Option& option : SWITCHES) {
        if (_stricmp(argument, option.name) == 0) {
            return option.request;
        }
    }
    if (argument[0] == '/') {
        return Request::unknown_option;
    }
#endif
    // A lone dash is a file's name for standard input, not an option.
    return argument[0] == '-' && argument[1] != '\0' ? Request::unknown_option : Request::argument;
}

// Tells on standard error, in the words of format, that argument is refused,
// the argument shown as any name is (a control as '?'), and where the help is.
int refuse(Console& console, const char* format, const char* argument) {
    char32_t shown[ARGUMENT_SHOWN + sizeof ARGUMENT_CUT];
    int length = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(argument);
    const int size = static_cast<int>(std::strlen(argument));
    int i = 0;
    while (i < size && length < ARGUMENT_SHOWN) {
        const char32_t c = next_character(bytes, size, i);
        shown[length++] = is_control(c) ? U'?' : c;
    }
    for (const char* cut = i < size ? ARGUMENT_CUT : ""; *cut != '\0'; ++cut) {
        shown[length++] = static_cast<char32_t>(*cut);
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
        const Request request = options ? request_of(argv[i]) : Request::argument;
        if (options && std::strcmp(argv[i], "--") == 0) {
            options = false;
        } else if (request != Request::argument) {
            return {request, request == Request::unknown_option ? argv[i] : nullptr};
        } else if (line.refused == nullptr) {
            line = {Request::argument, argv[i]};
        }
    }
    return line;
}

int run_program(Console& console, int argc, const char* const* argv) {
    const CommandLine line = read_command_line(argc, argv);
    if (line.request == Request::dialogue) {
        return run_dialogue(console);
    }
    if (line.request == Request::usage || line.request == Request::version) {
        console.say(line.request == Request::usage ? MSG_USAGE : MSG_VERSION);
        return console.report_fault() ? 1 : 0;
    }
    return refuse(console, line.request == Request::unknown_option ? ERR_UNKNOWN_OPTION : ERR_NO_ARGUMENTS,
                  line.refused);
}

}  // namespace quadrivo
