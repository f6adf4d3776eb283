#pragma once

#include <stdexcept>
#include <string>

namespace rtctl {

// A failure that ends the program with one line on standard error.
class ToolError : public std::runtime_error {
  public:
    // Exit status for a wrong command line.
    static constexpr int kUsage = 2;
    // Exit status for everything that went wrong after the command line was accepted.
    static constexpr int kFailure = 1;

    explicit ToolError(const std::string& message, int status = kFailure);

    int status() const;

  private:
    int m_status;
};

}  // namespace rtctl
