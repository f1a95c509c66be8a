// Fixed-size storage for what one pass reads and makes: the new calendar,
// whole in memory before any file is touched, and the source's lines, kept
// for the spelling hint so that the source is read once.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "constants.hpp"

namespace quadrivo {

// Bytes appended up to a capacity fixed at compile time.
template <std::size_t Capacity>
class FixedText {
public:
    // Appends count bytes. Returns false, appending nothing, when they do not fit.
    bool append(const char* bytes, std::size_t count) {
        if (count > Capacity - size_) {
            return false;
        }
        std::memcpy(bytes_ + size_, bytes, count);
        size_ += count;
        return true;
    }
    // Puts count bytes before those there. Returns false, changing nothing, when they do not fit.
    bool prepend(const char* bytes, std::size_t count) {
        if (!append(bytes, count)) {
            return false;
        }
        std::rotate(bytes_, bytes_ + size_ - count, bytes_ + size_);  // the new bytes to the front
        return true;
    }
    const char* data() const { return bytes_; }
    std::size_t size() const { return size_; }

private:
    char bytes_[Capacity];
    std::size_t size_ = 0;
};

// The new calendar: at most NUM pieces of ROW bytes, each with one more line
// end (before a Windows text-mode translation of line ends), and a UTF-8 mark.
using CalendarText = FixedText<static_cast<std::size_t>(NUM) * (ROW + 1) + sizeof UTF8_MARK - 1>;

// The lines a pass read, as the pass cut them: at most NUM of ROW bytes.
class ReadLines {
public:
    // Keeps a line of len bytes, with its line end if it has one; lines past the NUMth are not kept.
    void add(const char* riga, int len) {
        if (count_ < NUM && text_.append(riga, static_cast<std::size_t>(len))) {
            end_[count_++] = text_.size();
        }
    }
    int count() const { return count_; }
    // Line m, 0 <= m < count(), as it was read.
    std::string_view line(int m) const {
        const std::size_t begin = m == 0 ? 0 : end_[m - 1];
        return {text_.data() + begin, end_[m] - begin};
    }

private:
    FixedText<static_cast<std::size_t>(NUM) * ROW> text_;
    std::size_t end_[NUM];
    int count_ = 0;
};

}  // namespace quadrivo
