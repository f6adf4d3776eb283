#include "RemotePort.h"

#include <corbakit/NameValues.h>

namespace rtctl {

RemotePort::RemotePort(RTC::PortService_ptr port, const RTC::PortProfile& profile,
                       const std::string& label)
    : m_ref(RTC::PortService::_duplicate(port)), m_profile(profile), m_label(label) {}

RTC::PortService_ptr RemotePort::ref() const { return m_ref.in(); }

const RTC::PortProfile& RemotePort::profile() const { return m_profile; }

const std::string& RemotePort::label() const { return m_label; }

std::string RemotePort::shortName() const {
    std::string name = static_cast<const char*>(m_profile.name);
    std::string::size_type dot = name.find('.');
    return dot == std::string::npos ? name : name.substr(dot + 1);
}

std::string RemotePort::portType() const {
    return corbakit::findString(m_profile.properties, "port.port_type");
}

std::string RemotePort::dataType() const {
    return corbakit::findString(m_profile.properties, "dataport.data_type");
}

std::string RemotePort::typeName(const std::string& dataType) {
    std::string name = dataType;
    if (name.compare(0, 4, "IDL:") == 0) {
        name = name.substr(4);
        std::string::size_type colon = name.rfind(':');
        if (colon != std::string::npos) name = name.substr(0, colon);
    }
    std::string::size_type slash = name.rfind('/');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    // The scoped spelling "RTC::TimedString".
    std::string::size_type scope = name.rfind("::");
    if (scope != std::string::npos) name = name.substr(scope + 2);
    return name;
}

}  // namespace rtctl
