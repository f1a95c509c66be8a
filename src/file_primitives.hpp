// What each platform offers for replacing a file, and nothing more: its file
// system's calls, each returning no failure or the system's code and the step.
// The policies are written once above them (replacement.hpp); the user's words higher still.
#pragma once

#include <cstdint>

#include "buffers.hpp"
#include "failure.hpp"

namespace quadrivo {

// What a system code means to the policies: which fallback a refusal leads to.
enum class Refusal {
    other,
    missing,  // no such file
    exists,  // a file of that name stands already
    denied,  // the system or the folder refuses (no permission)
    unsupported,  // the file system cannot do it (a file without a name)
    busy,  // held by another: a lock, a sharing violation
};
Refusal refusal_of(int code);

// Tells whether the folder refused a new file beside the target: the policy
// then rewrites in place, and the user is told so.
inline bool folder_refused(const Failure& failure) {
    return failure.step == Step::make && refusal_of(failure.code) == Refusal::denied;
}

// What stands at a name, or what an open file is.
enum class Kind : unsigned char { missing, regular, link, folder, other };
struct FileInfo {
    Kind kind = Kind::missing;
    std::uint64_t volume = 0;  // the device, the volume's serial number
    std::uint64_t index = 0;  // the inode, the file index
    long long size = 0;
    bool read_only = false;  // no write permission bit for anyone, or the read-only attribute

    // Tells whether both are the same existing file (an unknown identity, 0, is no file's).
    bool same_file(const FileInfo& other) const {
        return kind != Kind::missing && other.kind != Kind::missing && index != 0 && volume == other.volume &&
               index == other.index;
    }
};

// An open file, closed when dropped: a file descriptor, or a HANDLE.
class OpenFile {
public:
    static constexpr std::intptr_t CLOSED = -1;

    OpenFile() = default;
    ~OpenFile() { close(); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    std::intptr_t handle() const { return handle_; }
    void set(std::intptr_t handle) { handle_ = handle; }
    // Closes the file now; a failed close is a failed write. Step::close.
    Failure close();

private:
    std::intptr_t handle_ = CLOSED;
};

// Looks at what stands at name, through links (follow) or not, a missing
// name being kind missing, no failure; or at an open file. Step::look.
Failure look(const char* name, bool follow, FileInfo& info);
Failure look(const OpenFile& file, FileInfo& info);

// Tells whether this user may write the regular file name, or make files in
// the folder ".", writing nothing (root's rule kept). Step::probe.
Failure probe(const char* name);

// Opens the regular file name for reading and writing, never through a
// link, without blocking. Step::open.
Failure open_existing(const char* name, OpenFile& file);

// Makes a new file without a name in the working folder (Refusal::unsupported
// where the system cannot, Step::make), and gives it a name (Step::name).
Failure make_nameless(OpenFile& file);
Failure give_name(OpenFile& file, const char* name);

// Creates name exclusively, in the usual mode, never through a link nor over
// what stands there (Refusal::exists; Refusal::denied where the folder
// refuses). Where marked, Windows marks it for deletion until it is put in
// place, so that a kill removes it; called with interrupts held. Step::make.
Failure make_named(const char* name, OpenFile& file, bool marked);

// Writes the content at the file's start, CR LF line ends on Windows. Step::write.
Failure write_all(OpenFile& file, const CalendarText& content);

// Returns the content's length on disk once written (CR LF on Windows).
long long written_length(const CalendarText& content);

// The plain steps, each its own: to the disk, the length, a file gone, a wait.
Failure flush(OpenFile& file);
Failure set_length(OpenFile& file, long long length);
Failure remove_file(const char* name);
void pause_ms(int ms);

// Reserves the room of a file growing from size to length bytes, so that the
// rewrite cannot run out of room halfway; on failure the file is cut back to
// size. The file's offset stays at its start. Step::reserve.
Failure reserve(OpenFile& file, long long size, long long length);

// Takes an exclusive lock on the file against another run of this program,
// without waiting (Refusal::busy where another holds it). Step::lock.
Failure try_lock(OpenFile& file);

// Gives the new file the owner and group of earlier where the system allows
// (a refusal is no failure), its permission bits (never set-id or sticky),
// attributes and own access list; nothing from a missing file or a link.
Failure copy_owner(OpenFile& file, const char* earlier);

// Puts the new file, named name, in target's place in one step, replacing it
// whole (Windows clears its deletion mark, and may close it). Step::put_in_place.
Failure put_in_place(OpenFile& file, const char* name, const char* target);

// Syncs the working folder, so that a rename in it lasts; a file system that
// cannot is no failure. Step::sync_folder.
Failure sync_folder();

// Calls visit(name, context) for each name in the working folder beginning with prefix.
void each_name(const char* prefix, void (*visit)(const char* name, void* context), void* context);

// This run's id, and whether the run of that id that made the file made is
// alive (another user's counts; one started after the file was made does not).
unsigned long this_run();
bool run_alive(unsigned long run, const char* made);

// Writes the decimal digits of n and a terminating zero at at, without the
// C library's formatting (a pass counts its instructions). Returns the end.
inline char* put_number(char* at, unsigned long n) {
    int count = 1;
    for (unsigned long rest = n; rest >= 10; rest /= 10) {
        ++count;
    }
    at[count] = '\0';
    for (int i = count - 1; i >= 0; --i, n /= 10) {
        at[i] = static_cast<char>('0' + n % 10);
    }
    return at + count;
}

// A state of the program changed for the object's lifetime, then restored.
class Changed {
protected:
    Changed() = default;
    Changed(const Changed&) = delete;
    Changed& operator=(const Changed&) = delete;
    alignas(8) unsigned char saved_[256];  // the platform's saved state (a signal mask or action)
};

// Interrupts held, so that a step is not cut in two: every POSIX signal
// blocked (only SIGKILL and SIGSTOP still come); Ctrl-C, Ctrl-Break and the
// console's close held on Windows.
class InterruptsHeld : Changed {
public:
    InterruptsHeld();
    ~InterruptsHeld();
};

// Held for a whole commit: a file size limit makes a write fail instead of
// ending the program (POSIX: SIGXFSZ ignored; nothing on Windows).
class SizeLimitNotFatal : Changed {
public:
    SizeLimitNotFatal();
    ~SizeLimitNotFatal();
};

// Files that an interrupt ending the program (POSIX: every signal that would;
// Windows: Ctrl-C, Ctrl-Break, the console's close) removes first, if still the
// file info tells. Called with interrupts held; unmind() restores what mind() replaced.
enum class Minded { made_target, new_file, count };
void mind(Minded which, const char* name, const FileInfo& info);
void unmind(Minded which);

}  // namespace quadrivo
