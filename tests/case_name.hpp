// Readable names for table-driven tests: the case's description, in letters, digits and underscores.
#pragma once

#include <cctype>
#include <string>

#include <gtest/gtest.h>

template <typename Case>
std::string case_name(const ::testing::TestParamInfo<Case>& info) {
    std::string name;
    for (const char c : std::string(info.param.what)) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}
