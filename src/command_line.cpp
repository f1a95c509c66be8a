#include "command_line.hpp"

#include <cstring>
#include <initializer_list>

#include "constants.hpp"

namespace quadrivo {

namespace {

bool is_one_of(const char* argument, std::initializer_list<const char*> options) {
    for (const char* option : options) {
        if (std::strcmp(argument, option) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

Request request_of(int argc, const char* const* argv) {
    if (argc < 2) {
        return Request::dialogue;
    }
#ifdef _WIN32
    if (is_one_of(argv[1], {"--help", "-h", "/?", "-?"})) {
#else
    if (is_one_of(argv[1], {"--help", "-h"})) {
#endif
        return Request::usage;
    }
    return is_one_of(argv[1], {"--version", "-V"}) ? Request::version : Request::dialogue;
}

int say_usage(Console& console) {
    console.say(MSG_USAGE);
    return console.report_fault() ? 1 : 0;
}

int say_version(Console& console) {
    console.say(MSG_VERSION);
    return console.report_fault() ? 1 : 0;
}

}  // namespace quadrivo
