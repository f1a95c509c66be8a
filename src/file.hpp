// An open C stream that closes itself, so that no path leaves a file open.
#pragma once

#include <cstdio>

#ifdef _WIN32
#include "wide_name_windows.hpp"
#endif

namespace quadrivo {

class File {
public:
    // Opens name with the fopen mode; is_open() tells whether it worked.
    File(const char* name, const char* mode) : stream_(open(name, mode)) {}
    ~File() {
        if (stream_ != nullptr) {
            std::fclose(stream_);
        }
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool is_open() const { return stream_ != nullptr; }
    std::FILE* get() const { return stream_; }

    // Closes the stream now. Returns false when the close failed, which for an
    // output stream means that buffered characters may not have reached the disk.
    bool close() {
        std::FILE* stream = stream_;
        stream_ = nullptr;
        return stream != nullptr && std::fclose(stream) == 0;
    }

private:
    static std::FILE* open(const char* name, const char* mode) {
#ifdef _WIN32
        // By the long form of the full path: a long working folder leaves room for the name.
        wchar_t wide_mode[8];
        MultiByteToWideChar(CP_ACP, 0, mode, -1, wide_mode, 8);
        return _wfopen(WideName(name).text, wide_mode);
#else
        return std::fopen(name, mode);
#endif
    }

    std::FILE* stream_;
};

}  // namespace quadrivo
