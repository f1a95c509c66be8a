// What a file handed to the program as the source calendar really is, told
// from its first bytes: text, or something a user renamed to originale.txt.
#pragma once

#include <cstddef>

namespace quadrivo {

enum class SourceKind {
    text,  // read as a calendar: any bytes that are not one of the below
    utf16,  // UTF-16, with or without a byte order mark
    utf32,  // UTF-32, with or without a byte order mark
    document,  // an Excel, Word or LibreOffice document, an old Office file, RTF
    pdf,
    binary,  // another file that is plainly not text: an archive, an image, a program
};

// Tells what the file is from its first size bytes (the first block read).
SourceKind recognise(const unsigned char* bytes, std::size_t size);

}  // namespace quadrivo
