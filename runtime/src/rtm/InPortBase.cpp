#include <rtm/InPortBase.h>
#include <rtm/InPortSettings.h>
#include <rtm/SystemLogger.h>

#include <utility>
#include <vector>

namespace RTC {

InPortBase::InPortBase(const char* name, const BufferSettings& unconnected)
    : PortBase(name), m_buffer(unconnected) {}

DataPortStatus::Enum InPortBase::putCdr(const std::string& connector_id, const unsigned char* data,
                                        std::size_t length, bool little_endian) {
    if (data == nullptr) return DataPortStatus::PORT_ERROR;
    // Checked in the copy that read() decodes: CDR alignment counts from the
    // start of the buffer, and the caller's bytes need not be aligned.
    InPortBuffer::Sample sample(data, data + length);
    if (!decodes(sample.data(), sample.size(), little_endian)) return DataPortStatus::PORT_ERROR;
    return m_buffer.write(connector_id, std::move(sample), little_endian);
}

void InPortBase::connectorAdded(const ConnectorBase& connector) {
    std::vector<std::string> problems;
    const BufferSettings settings =
        InPortSettings::fromConnection(connector.profile().properties, &problems);
    if (!problems.empty()) {
        const std::string port = getName();
        Logger rtclog(port.c_str());
        for (const std::string& p : problems)
            RTC_WARN(("connection %s to %s: %s", connector.id().c_str(), port.c_str(), p.c_str()));
    }
    m_buffer.open(connector.id(), settings);
}

void InPortBase::connectorRemoved(const std::string& id) { m_buffer.close(id); }

}  // namespace RTC
