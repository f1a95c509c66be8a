// The program's own messages on the console, in the console's encoding.
#pragma once

#include <cstdio>

#ifndef _WIN32
#include <iconv.h>
#endif

namespace quadrivo {

// Writes Windows-1252 messages to an output stream. On a console that expects
// another encoding (a UTF-8 locale; a Windows console with another code page)
// the messages are converted so that the accented letters show as such;
// otherwise, and whenever no conversion is available, the bytes go out as given.
class MessageWriter {
public:
    explicit MessageWriter(std::FILE* out);
    ~MessageWriter();
    MessageWriter(const MessageWriter&) = delete;
    MessageWriter& operator=(const MessageWriter&) = delete;

    // Writes text, a NUL-terminated Windows-1252 message.
    void say(const char* text);

    std::FILE* stream() const { return out_; }

private:
    std::FILE* out_;
#ifdef _WIN32
    unsigned code_page_;  // the console's output code page; 0 when no conversion is needed
#else
    iconv_t to_utf8_;  // (iconv_t)-1 when no conversion is needed
#endif
};

}  // namespace quadrivo
