// A program started from a test and read from outside, as a user would: its
// standard output, standard error and how it ended. Every wait has a
// deadline; a program still running at the end of one is killed by its pid.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace testsupport {

// How a program is started.
struct Launch {
    // Working directory; empty for the test's own.
    std::string dir;
    // "NAME=value" entries set for the program on top of the test's environment.
    std::vector<std::string> env;
    // Names removed from the environment; "LC_*" removes every name with that prefix.
    std::vector<std::string> unset;
    // Standard output goes to this file (created or emptied) instead of an
    // anonymous one; out() reads it all the same.
    std::string outFile;
};

class Process {
  public:
    // Starts argv[0] (looked up on PATH when it has no slash) in dir, with
    // extra_env entries ("NAME=value") added to the test's environment.
    // Standard input is /dev/null.
    explicit Process(const std::vector<std::string>& argv, const std::string& dir = "",
                     const std::vector<std::string>& extra_env = {});
    Process(const std::vector<std::string>& argv, const Launch& launch);
    // Kills the program (SIGKILL, by pid) when it is still running.
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    // Everything written so far.
    std::string out() const;
    std::string err() const;

    // Waits until standard output (or standard error) contains text; false
    // when the deadline passes or the program ends without writing it.
    bool waitForOutput(const std::string& text, int timeout_ms = 10000,
                       bool in_stderr = false) const;
    void signal(int sig) const;
    // Waits for the end; false when the deadline passes, and the program is
    // then killed.
    bool wait(int timeout_ms = 15000);
    // True while the program has not ended (does not wait).
    bool running();

    bool ended() const { return m_ended; }
    bool exitedWith(int code) const;
    bool killedBy(int sig) const;
    // The exit status, -1 unless the program ended by exit().
    int exitCode() const;
    // The signal that ended the program, 0 unless it was killed.
    int termSignal() const;
    // The raw wait status.
    int status() const { return m_status; }

  private:
    void start(const std::vector<std::string>& argv, const Launch& launch);
    bool reap(int flags);

    pid_t m_pid = -1;
    int m_status = 0;
    bool m_ended = false;
    int m_outFd = -1;
    int m_errFd = -1;
};

// A program run to its end (or killed at the deadline).
struct RunResult {
    bool started = false;
    bool timedOut = false;
    int status = -1;  // the exit status, -1 when it did not exit normally
    int signal = 0;   // the signal that ended it, 0 when it exited
    std::string out;
    std::string err;
    // Standard error split into lines, without their newlines.
    std::vector<std::string> errLines() const;
};

RunResult run(const std::vector<std::string>& argv, const Launch& launch = {},
              std::chrono::milliseconds timeout = std::chrono::seconds(30));

// Lines of text, without their newlines; a last line without one counts.
std::vector<std::string> splitLines(const std::string& text);

}  // namespace testsupport
