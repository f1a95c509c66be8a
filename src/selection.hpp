// The selection pass: copies the source calendar's lines that hold the team's name.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

#include "buffers.hpp"
#include "charset.hpp"
#include "constants.hpp"
#include "source_kind.hpp"

namespace quadrivo {

// The source calendar, read a block at a time and handed out in lines.
class SourceLines {
public:
    explicit SourceLines(std::FILE* read1) : in_(read1) {}

    // Reads the first block and tells from it what the file is. Returns false
    // when the file cannot be read (an empty file can).
    bool start();

    // Puts the next line into riga: its bytes up to and including the first
    // line end, at most ROW of them. A CR directly before a line end is
    // dropped, as a Windows text-mode stream does. A last line that has no line
    // end gets one, unless it fills ROW bytes. A 0x1A that is the file's very
    // last byte, the end-of-file mark of old DOS editors, is dropped; any
    // other is data, on every platform alike.
    // Returns the count stored, 0 when the file has ended, -1 on a read error.
    int next(char (&riga)[ROW]);

    SourceKind kind() const { return kind_; }  // as the first block tells, after start()
    int error() const { return error_; }  // the platform's code of the last failed read

    // Tells whether anything but blanks, tabs and line ends follows: lines
    // that hold nothing are not worth a notice. Returns 1 or 0, -1 on a read error.
    int more();

private:
    // Reads the next block once the current one is used up. Returns false on a read error.
    bool fill();

    std::FILE* in_;
    char block_[BLOCK];
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    bool held_ctrl_z_ = false;  // the block's last byte, 0x1A, is held back until more is read
    int error_ = 0;
    SourceKind kind_ = SourceKind::text;
};

// The team's name in the two byte forms a calendar may hold it in: UTF-8, and
// Windows-1252 when every character of the name exists there.
class TeamName {
public:
    // nome[0] .. nome[cont - 1] are the name's characters (code points), cont < NAME.
    TeamName(const char32_t (&nome)[NAME], int cont);

    // Tells whether text holds the name in either form; an empty name is held nowhere.
    bool found_in(std::string_view text) const;

private:
    char utf8_[(NAME - 1) * UTF8_MAX];
    int utf8_len_ = 0;
    char ansi_[NAME - 1];
    int ansi_len_ = 0;  // 0 when the name is not plain ASCII and Windows-1252 cannot hold it
};

enum class SelectionResult { ok, read_failed };

// What a pass did.
struct SelectionReport {
    SelectionResult result;
    int selected;  // lines written to the calendar
    bool more_lines;  // a line after the NUMth, which was read, holds more than blanks
};

// Reads the first NUM lines of the source (a line longer than ROW - 1 bytes is
// taken in pieces of ROW bytes, each counted as a line), keeps each in read,
// and appends to calendar every line that holds the name, followed by one more
// line end. Stops early at the end of the source, or at a failed read. The
// caller opens and closes the source, and decides where the calendar goes.
SelectionReport select_team_lines(SourceLines& source, CalendarText& calendar, ReadLines& read, const TeamName& name);

// Begins a calendar for Excel or Word with UTF8_MARK when its bytes hold one
// beyond ASCII, are UTF-8 throughout and do not begin with the mark already:
// those programs read text without it in the system's ANSI code page.
void mark_utf8_for_office(CalendarText& calendar);

}  // namespace quadrivo
