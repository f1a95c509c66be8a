// What a file handed to the program as the source calendar really is, told
// from its first bytes: text, or something a user renamed to originale.txt.
#pragma once

#include <cstddef>

namespace quadrivo {

enum class SourceKind {
    text,  // read as a calendar: no NUL byte, few controls, none of the below
    utf16,  // UTF-16, with or without a byte order mark
    utf32,  // UTF-32, with or without a byte order mark
    document,  // an Excel, Word or LibreOffice document, an old Office file, RTF
    pdf,
    binary,  // anything else with a NUL byte or many controls: an archive, an image, a program
};

// Tells what the file is from its first size bytes: the first block read,
// at least its first 8,000 bytes, or the whole file where shorter.
SourceKind recognise(const unsigned char* bytes, std::size_t size);

}  // namespace quadrivo
