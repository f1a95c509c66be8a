// The long form of a full Windows path, "\\?\C:\..." or "\\?\UNC\server\...",
// which may pass MAX_PATH characters: a template, so that it is tested anywhere.
#pragma once

namespace quadrivo {

// Puts the long form of the full path full (length characters: "C:\...",
// "\\server\share\..." or a long form already) into out. Returns its length,
// or -1 when it and a terminating zero do not fit capacity characters.
template <typename Char>
int long_form(const Char* full, int length, Char* out, int capacity) {
    const bool already =
        length >= 4 && full[0] == '\\' && full[1] == '\\' && (full[2] == '?' || full[2] == '.') && full[3] == '\\';
    const bool share = !already && length >= 2 && full[0] == '\\' && full[1] == '\\';
    const char* prefix = already ? "" : share ? "\\\\?\\UNC" : "\\\\?\\";
    const int skipped = share ? 1 : 0;  // "\\server" becomes "\\?\UNC\server"
    int used = 0;
    for (; prefix[used] != '\0'; ++used) {
        if (used >= capacity) {
            return -1;
        }
        out[used] = static_cast<Char>(prefix[used]);
    }
    if (used + length - skipped + 1 > capacity) {
        return -1;
    }
    for (int i = skipped; i < length; ++i) {
        out[used++] = full[i];
    }
    out[used] = 0;
    return used;
}

}  // namespace quadrivo
