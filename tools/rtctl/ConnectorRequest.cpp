#include "ConnectorRequest.h"

#include <cstdio>
#include <random>

#include <corbakit/NameValues.h>

#include "ToolError.h"

namespace rtctl {

ConnectorRequest::ConnectorRequest(const std::string& name, const std::string& endian) {
    m_profile.name = CORBA::string_dup(name.c_str());
    m_profile.connector_id = CORBA::string_dup("");
    setProperty("dataport.interface_type", "corba_cdr");
    setProperty("dataport.dataflow_type", "push");
    setProperty("dataport.subscription_type", "flush");
    setProperty("dataport.serializer.cdr.endian", endian);
}

void ConnectorRequest::addPort(RTC::PortService_ptr port) {
    CORBA::ULong index = m_profile.ports.length();
    m_profile.ports.length(index + 1);
    m_profile.ports[index] = RTC::PortService::_duplicate(port);
}

void ConnectorRequest::setId(const std::string& id) {
    m_profile.connector_id = CORBA::string_dup(id.c_str());
}

void ConnectorRequest::setProperty(const std::string& key, const std::string& value) {
    corbakit::setString(m_profile.properties, key, value);
}

void ConnectorRequest::setProperty(const std::string& keyValue) {
    std::string::size_type eq = keyValue.find('=');
    if (eq == std::string::npos || eq == 0)
        throw ToolError("property '" + keyValue + "' is not KEY=VALUE", ToolError::kUsage);
    setProperty(keyValue.substr(0, eq), keyValue.substr(eq + 1));
}

RTC::ConnectorProfile& ConnectorRequest::profile() { return m_profile; }

std::string ConnectorRequest::newId() {
    std::random_device source;
    unsigned char bytes[16];
    for (unsigned char& byte : bytes) byte = static_cast<unsigned char>(source());
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0f) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3f) | 0x80);
    char text[37];
    std::snprintf(text, sizeof(text),
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                  bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}

}  // namespace rtctl
