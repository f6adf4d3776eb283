#pragma once

#include <string>
#include <vector>

// Runs a program to completion and keeps what it wrote and how it ended.
class ProgramRun {
  public:
    ProgramRun(const std::string& program, const std::vector<std::string>& args);

    // The exit status; -1 when the program did not exit normally.
    int status() const;
    // The signal that ended it, 0 when it exited.
    int signal() const;
    const std::string& out() const;
    const std::string& err() const;
    // Standard error split into lines.
    std::vector<std::string> errLines() const;

  private:
    int m_status = -1;
    int m_signal = 0;
    std::string m_out;
    std::string m_err;
};
