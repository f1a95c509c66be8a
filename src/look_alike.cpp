#include "telling.hpp"

#include <algorithm>
#include <cstring>

#include "charset.hpp"

namespace quadrivo {

namespace {

// Tells whether name holds word at index at, ASCII case ignored.
bool holds_at(const char32_t* name, int length, int at, const char* word) {
    const int size = static_cast<int>(std::strlen(word));
    const auto same = [](char w, char32_t c) { return ascii_lower(static_cast<unsigned char>(w)) == ascii_lower(c); };
    return at >= 0 && at + size <= length && std::equal(word, word + size, name + at, same);
}

bool ends_with(const char32_t* name, int length, const char* word) {
    return holds_at(name, length, length - static_cast<int>(std::strlen(word)), word);
}

// Tells whether the name ends at index at, or an extension starts there.
bool ends_or_dot(const char32_t* name, int length, int at) {
    return at == length || name[at] == '.';
}

// Returns the index after " (N)" or "(N)", N digits, at index at; -1 where there is none.
int after_number(const char32_t* name, int length, int at) {
    int i = at < length && name[at] == ' ' ? at + 1 : at;
    if (i >= length || name[i] != '(') {
        return -1;
    }
    const int digits = ++i;
    while (i < length && name[i] >= '0' && name[i] <= '9') {
        ++i;
    }
    return i > digits && i < length && name[i] == ')' ? i + 1 : -1;
}

// Returns the index after a copy's words at index at, and after a number that
// follows them; -1 where there are none.
int after_copy_words(const char32_t* name, int length, int at) {
    for (const char* words : COPY_WORDS) {
        if (holds_at(name, length, at, words)) {
            const int end = at + static_cast<int>(std::strlen(words));
            const int numbered = after_number(name, length, end);
            return numbered >= 0 ? numbered : end;
        }
    }
    return -1;
}

}  // namespace

Likeness likeness(const char32_t* name, int length) {
    const int stem = static_cast<int>(std::strlen(SOURCE_STEM));
    if (!holds_at(name, length, 0, SOURCE_STEM) || ends_with(name, length, SHORTCUT_EXTENSION)) {
        return Likeness::none;
    }
    if (ends_or_dot(name, length, stem)) {
        return Likeness::stem;
    }
    int end = after_number(name, length, stem);
    end = end >= 0 ? end : after_copy_words(name, length, stem);
    return end >= 0 && ends_or_dot(name, length, end) ? Likeness::copy : Likeness::none;
}

bool LookAlike::closer(const char32_t* other, int other_length) const {
    const Likeness other_kind = likeness(other, other_length);
    return other_kind != Likeness::none && other_length <= CAPACITY &&
           (length == 0 || other_kind < kind ||
            (other_kind == kind && std::lexicographical_compare(other, other + other_length, name, name + length)));
}

void LookAlike::keep(const char32_t* other, int other_length) {
    kind = likeness(other, other_length);
    std::memcpy(name, other, sizeof(char32_t) * static_cast<std::size_t>(other_length));
    length = other_length;
}

Cause look_alike_cause(const LookAlike& found, bool extensions_hidden) {
    for (const char* extension : DOCUMENT_EXTENSIONS) {
        if (ends_with(found.name, found.length, extension)) {
            return Cause::look_alike_document;
        }
    }
    if (!extensions_hidden) {
        return Cause::look_alike;
    }
    if (ends_with(found.name, found.length, ".txt")) {
        return Cause::look_alike_txt;  // typed over, all but .txt: the stem alone is typed
    }
    // A hidden extension would stay after what is typed.
    const char32_t* end = found.name + found.length;
    return std::find(found.name + std::strlen(SOURCE_STEM), end, U'.') != end ? Cause::look_alike_extension
                                                                              : Cause::look_alike;
}

}  // namespace quadrivo
