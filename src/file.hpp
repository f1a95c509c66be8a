// An open C stream that closes itself, so that no path leaves a file open.
#pragma once

#include <cstdio>

namespace quadrivo {

// Opens name with the fopen mode (on Windows by its long full path), or returns null.
std::FILE* open_stream(const char* name, const char* mode);

class File {
public:
    File(const char* name, const char* mode) : stream_(open_stream(name, mode)) {}
    ~File() { close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool is_open() const { return stream_ != nullptr; }
    std::FILE* get() const { return stream_; }

    // Closes the stream now; false when the close failed.
    bool close() {
        std::FILE* stream = stream_;
        stream_ = nullptr;
        return stream != nullptr && std::fclose(stream) == 0;
    }

private:
    std::FILE* stream_;
};

}  // namespace quadrivo
