// What a new component is made with: the type and arguments of a creation
// request ("Type?key=value&..." or "RTC:vendor:category:Type:language:version?..."),
// and the properties it starts with: its factory's profile, then the
// arguments, then its own configuration file.
#pragma once

#include <coil/Properties.h>
#include <rtm/SystemLogger.h>

#include <string>

namespace RTC {

class ComponentProperties {
  public:
    explicit ComponentProperties(const std::string& comp_args);

    const std::string& type() const { return m_type; }
    // The "instance_name" argument; empty when the manager numbers it.
    std::string requestedName() const { return m_args.getProperty("instance_name"); }

    // The properties of instance_name. The configuration file is the one
    // config names as "<category>.<instance>.config_file", else
    // "<category>.<type>.config_file"; one that cannot be read is logged.
    coil::Properties assemble(const coil::Properties& profile, const std::string& instance_name,
                              const coil::Properties& config);
    // The rate the arguments or else the profile ask for, and the one of the
    // configuration file ("" when not given); valid after assemble().
    std::string profileRate(const coil::Properties& profile) const;
    std::string fileRate() const { return m_file.getProperty("exec_cxt.periodic.rate"); }

  private:
    std::string m_type;
    coil::Properties m_args;
    coil::Properties m_file;
    Logger rtclog;
};

}  // namespace RTC
