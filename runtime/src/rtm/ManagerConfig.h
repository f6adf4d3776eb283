// The manager's configuration: built-in defaults, then the configuration
// file (-f, $RTC_MANAGER_CONFIG or ./rtc.conf), then -o values.
#pragma once

#include <coil/Properties.h>

#include <cstddef>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace coil {
class ConfigReader;
}

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

    // What a command line asks for.
    struct Arguments {
        std::string configFile;                                      // -f
        bool help = false;                                           // -h
        std::vector<std::pair<std::string, std::string>> overrides;  // -o, checked
    };
    // The first step of parseArgs: reads the words without acting on them,
    // reporting the bad ones.
    Arguments readArgs(int argc, char** argv);
    // Reads configuration text under the given file name, as parseArgs reads
    // the file it selects.
    void loadText(std::istream& in, const std::string& name);
    // The last step of parseArgs: the count of problems not written out.
    void finishWarnings();
    // Where problems are written; stderr unless told otherwise.
    void setMessageStream(std::ostream& out) { m_messages = &out; }

    coil::Properties& config() { return m_config; }
    const coil::Properties& config() const { return m_config; }
    // Only the values the user gave (file and -o), without the defaults.
    const coil::Properties& setByUser() const { return m_setByUser; }

    // The lines parseArgs wrote to stderr, without the program name.
    const std::vector<std::string>& warnings() const { return m_warnings; }
    // Writes those lines to the framework's logger as warnings; called once
    // the logger is configured.
    void logWarnings() const;
    // A problem found after the command line was read (the logger's own
    // settings): written and logged like the others, never counted away.
    void addWarning(const std::string& message);

  private:
    void loadFile(const std::string& path);
    void useFile(const coil::ConfigReader& reader, bool is_text, const coil::Properties& file,
                 const std::string& name);
    void addOption(const std::string& word, Arguments& args);
    // Reports one problem (or only counts it past kMaxWarnings).
    void warn(const std::string& message);

    coil::Properties m_config;
    coil::Properties m_setByUser;
    std::string m_prog = "manager";
    std::ostream* m_messages;
    std::vector<std::string> m_warnings;
    std::size_t m_problems = 0;
};

}  // namespace RTC
