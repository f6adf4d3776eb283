// What a new component is made with: the type and arguments of a creation
// request ("Type?key=value&..." or "RTC:vendor:category:Type:language:version?..."),
// and the properties it starts with: its factory's profile, then the
// arguments, then its own configuration (files and manager keys).
#pragma once

#include <coil/Properties.h>
#include <rtm/SystemLogger.h>

#include <string>
#include <vector>

namespace RTC {

class ComponentProperties {
  public:
    explicit ComponentProperties(const std::string& comp_args);

    const std::string& type() const { return m_type; }
    // The "instance_name" argument; empty when the manager numbers it.
    std::string requestedName() const { return m_args.getProperty("instance_name"); }

    // The properties of instance_name: the profile, the arguments, then what
    // the manager's configuration holds for the type, then for the instance
    // (the later one wins). For each of the two, the file named by
    // "<category>.<name>.config_file" and then the other
    // "<category>.<name>.*" keys of the configuration itself (rtc.conf, -o),
    // without the prefix. "config_file" ends up as the list of files read;
    // one that cannot be read is logged and left out.
    coil::Properties assemble(const coil::Properties& profile, const std::string& instance_name,
                              const coil::Properties& config);
    // The rate the arguments or else the profile ask for, and the one of the
    // configuration file ("" when not given); valid after assemble().
    std::string profileRate(const coil::Properties& profile) const;
    std::string fileRate() const { return m_own.getProperty("exec_cxt.periodic.rate"); }

  private:
    // What the configuration holds for "<category>.<name>", the file first.
    coil::Properties configFor(const std::string& prefix, const coil::Properties& config,
                               std::vector<std::string>& files);

    std::string m_type;
    coil::Properties m_args;
    coil::Properties m_own;
    Logger rtclog;
};

}  // namespace RTC
