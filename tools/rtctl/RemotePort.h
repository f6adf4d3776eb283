#pragma once

#include <string>

#include "RTC.hh"

namespace rtctl {

// One port of a remote component and the profile it reported.
class RemotePort {
  public:
    RemotePort(RTC::PortService_ptr port, const RTC::PortProfile& profile,
               const std::string& label);

    RTC::PortService_ptr ref() const;
    const RTC::PortProfile& profile() const;
    // How messages name the port, e.g. "ConsoleIn0.out".
    const std::string& label() const;
    // The profile's name without its owner's prefix: "out" for "ConsoleIn0.out".
    std::string shortName() const;
    // "DataInPort", "DataOutPort", "CorbaPort" or "" when the profile says nothing.
    std::string portType() const;
    // The "dataport.data_type" property, e.g. "IDL:RTC/TimedString:1.0".
    std::string dataType() const;
    // The bare type name in either spelling the framework uses:
    // "IDL:RTC/TimedString:1.0" and "TimedString" both give "TimedString".
    static std::string typeName(const std::string& dataType);

  private:
    RTC::PortService_var m_ref;
    RTC::PortProfile m_profile;
    std::string m_label;
};

}  // namespace rtctl
