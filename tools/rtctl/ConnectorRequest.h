#pragma once

#include <string>
#include <vector>

#include "RTC.hh"

namespace rtctl {

// A ConnectorProfile for a corba_cdr push connection, as the framework's own
// tools build one.
class ConnectorRequest {
  public:
    // `endian` is the value of "dataport.serializer.cdr.endian"; the first
    // entry of the list is the byte order the ports agree on.
    ConnectorRequest(const std::string& name, const std::string& endian);

    void addPort(RTC::PortService_ptr port);
    // An empty id lets the first port pick one (connect); notify_connect needs one.
    void setId(const std::string& id);
    void setProperty(const std::string& key, const std::string& value);
    // "key=value" from the command line; throws ToolError (usage) when malformed.
    void setProperty(const std::string& keyValue);

    RTC::ConnectorProfile& profile();

    // A new random (version 4) UUID in its usual text form.
    static std::string newId();

  private:
    RTC::ConnectorProfile m_profile;
};

}  // namespace rtctl
