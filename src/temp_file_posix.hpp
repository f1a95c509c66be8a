// Signals around the moments a new file has a name: blocked while it is named
// and renamed, and, while a named temporary file exists, made to remove it
// before they end the program.
#pragma once

#include <signal.h>

#include "constants.hpp"

namespace quadrivo {

// Every signal blocked for the object's lifetime, so that a step is not cut
// in two (only SIGKILL and SIGSTOP still come).
class SignalsBlocked {
public:
    SignalsBlocked();
    ~SignalsBlocked();
    SignalsBlocked(const SignalsBlocked&) = delete;
    SignalsBlocked& operator=(const SignalsBlocked&) = delete;

private:
    sigset_t before_;
};

// A temporary file made by mkstemp. While it has its name, every signal whose
// default action ends the program first removes it, then ends the program as
// it would have; a signal ignored at start stays ignored. Dropped, it removes
// the file unless forgotten.
class TempFile {
public:
    // Creates the file from name, a mkstemp template that gets its suffix.
    // fd() is negative, and error() tells why, when it could not be made.
    explicit TempFile(char* name);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return fd_; }
    int error() const { return error_; }

    // Closes the file, its name kept. Returns 0 or the error of the close.
    int close();

    // The name is gone (renamed or removed): the signals stop minding it.
    // Call it with the signals blocked.
    void forget();

private:
    int fd_;
    int error_ = 0;
    bool held_ = false;
};

}  // namespace quadrivo
