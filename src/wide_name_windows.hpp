// A file name of ours (ASCII) as the wide Windows calls take it.
#pragma once

#include <windows.h>

namespace quadrivo {

struct WideName {
    explicit WideName(const char* name) {
        if (MultiByteToWideChar(CP_ACP, 0, name, -1, text, MAX_PATH) == 0) {
            text[0] = L'\0';  // too long: no file has an empty name
        }
    }
    wchar_t text[MAX_PATH];
};

}  // namespace quadrivo
