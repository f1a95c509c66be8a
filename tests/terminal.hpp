// A program run on a pseudo-terminal, as a person at a console runs it: what it
// shows is read as it comes, and keys are typed once a question is on screen.
// forkpty is in libutil before glibc 2.34: tests/CMakeLists.txt links it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

class Terminal {
public:
    // Starts command with /bin/sh in folder, under the locale, on a new terminal;
    // with no locale, every locale variable is unset, as on a fresh machine.
    Terminal(const std::string& command, const std::string& folder, const char* locale) {
        pid_ = forkpty(&fd_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            if (chdir(folder.c_str()) == 0) {
                for (const char* variable : {"LANG", "LANGUAGE", "LC_ALL", "LC_CTYPE", "LC_MESSAGES"}) {
                    unsetenv(variable);
                }
                if (locale != nullptr) {
                    setenv("LC_ALL", locale, 1);
                }
                execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            }
            _exit(127);
        }
    }
    ~Terminal() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    bool started() const { return pid_ > 0; }

    // Reads what the program shows until text appears after what was expected
    // last. Returns false when the program ends or a minute passes first.
    bool expect(const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (shown_.find(text, seen_) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline || !read_some(200)) {
                return false;
            }
        }
        seen_ = shown_.find(text, seen_) + text.size();
        return true;
    }

    // Types keys (Enter is "\r") a moment after the question shows, as a person
    // would: a console may take a moment to start reading the keyboard.
    void type(const std::string& keys) {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        if (write(fd_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
            shown_ += "<typing failed>";
        }
    }

    // Reads to the end and waits for the program, a minute at most. Returns its
    // exit status, or -1 when it had to be stopped.
    int finish() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline && read_some(200)) {
        }
        int status = 0;
        pid_t ended = 0;
        while ((ended = waitpid(pid_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (ended != pid_) {
            return -1;  // the destructor stops it
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Sends the program a signal and waits for it. Returns the signal that
    // ended it, or -1 when it ended otherwise.
    int stop(int signal_number) {
        int status = 0;
        kill(pid_, signal_number);
        const bool ended = waitpid(pid_, &status, 0) == pid_;
        pid_ = ended ? -1 : pid_;
        return ended && WIFSIGNALED(status) ? WTERMSIG(status) : -1;
    }

    // Everything the terminal showed, echoed keys included.
    const std::string& shown() const { return shown_; }

private:
    // Waits up to ms milliseconds for output and keeps it. Returns false once the program has ended.
    bool read_some(int ms) {
        pollfd ready{fd_, POLLIN, 0};
        if (poll(&ready, 1, ms) <= 0) {
            return ready.revents == 0;
        }
        char chunk[4096];
        const ssize_t got = read(fd_, chunk, sizeof chunk);
        if (got <= 0) {
            return false;  // EIO: the terminal's other side has closed
        }
        shown_.append(chunk, static_cast<std::size_t>(got));
        return true;
    }

    pid_t pid_ = -1;
    int fd_ = -1;
    std::string shown_;
    std::size_t seen_ = 0;
};
