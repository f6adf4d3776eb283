// The manager's configuration: built-in defaults, then the configuration
// file (-f, $RTC_MANAGER_CONFIG or ./rtc.conf), then -o values.
#pragma once

#include <coil/Properties.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace RTC {

class ManagerConfig {
  public:
    // Problems written out one line each; the rest are counted in one more line.
    static constexpr std::size_t kMaxWarnings = 5;
    // Longest piece of a bad argument or file name echoed in a message.
    static constexpr std::size_t kMaxEcho = 80;

    // Starts from the built-in defaults.
    ManagerConfig();

    // Reads the command line and the file it selects. -h prints the usage
    // and exits the process; every problem is written to stderr as one line
    // (at most kMaxWarnings and a count) and its word or line is skipped.
    void parseArgs(int argc, char** argv);

    coil::Properties& config() { return m_config; }
    const coil::Properties& config() const { return m_config; }
    // Only the values the user gave (file and -o), without the defaults.
    const coil::Properties& setByUser() const { return m_setByUser; }

    // The lines parseArgs wrote to stderr, without the program name.
    const std::vector<std::string>& warnings() const { return m_warnings; }
    // Writes those lines to the framework's logger as warnings; called once
    // the logger is configured.
    void logWarnings() const;

  private:
    void loadFile(const std::string& path);
    void addOption(const std::string& word);
    // Reports one problem (or only counts it past kMaxWarnings).
    void warn(const std::string& message);
    void finishWarnings();

    coil::Properties m_config;
    coil::Properties m_setByUser;
    std::string m_prog = "manager";
    std::vector<std::pair<std::string, std::string>> m_overrides;
    std::vector<std::string> m_warnings;
    std::size_t m_problems = 0;
};

}  // namespace RTC
