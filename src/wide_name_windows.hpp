// A file name of ours as the wide Windows calls take it: the long form of its
// full path, so that a working folder as long as Windows allows (258
// characters) still leaves room for our names, whatever MAX_PATH says.
#pragma once

#include <windows.h>

#include "long_path.hpp"

namespace quadrivo {

inline constexpr int WIDE_PATH = 1024;  // a working folder of 258 characters, our name, the prefix

struct WideName {
    explicit WideName(const char* name) {
        wchar_t relative[MAX_PATH];
        wchar_t full[WIDE_PATH];
        const int units = MultiByteToWideChar(CP_ACP, 0, name, -1, relative, MAX_PATH);
        const DWORD length = units > 0 ? GetFullPathNameW(relative, WIDE_PATH, full, nullptr) : 0;
        if (length == 0 || length >= WIDE_PATH || long_form(full, static_cast<int>(length), text, WIDE_PATH) < 0) {
            text[0] = L'\0';  // no file has an empty name
        }
    }
    wchar_t text[WIDE_PATH];
};

}  // namespace quadrivo
