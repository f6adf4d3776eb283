// The manager's configuration: built-in defaults, then the configuration
// file (-f, $RTC_MANAGER_CONFIG or ./rtc.conf), then -o values.
#pragma once

#include <coil/Properties.h>

#include <string>

namespace RTC {

class ManagerConfig {
  public:
    // Starts from the built-in defaults.
    ManagerConfig();

    // Reads the command line and the file it selects. -h prints the usage
    // and exits the process; bad words are reported on stderr and skipped.
    void parseArgs(int argc, char** argv);

    coil::Properties& config() { return m_config; }
    const coil::Properties& config() const { return m_config; }
    // Only the values the user gave (file and -o), without the defaults.
    const coil::Properties& setByUser() const { return m_setByUser; }

  private:
    void loadFile(const std::string& path, bool must_exist);

    coil::Properties m_config;
    coil::Properties m_setByUser;
};

}  // namespace RTC
