#include <rtm/InPortBase.h>
#include <rtm/SystemLogger.h>

#include "ConnectorBase.h"
#include "InPortBuffer.h"
#include "InPortSettings.h"

#include <chrono>
#include <utility>
#include <vector>

namespace RTC {

namespace {

BufferSettings olderApiSettings(int length, bool read_block, bool write_block, int read_timeout,
                                int write_timeout) {
    BufferSettings s;
    s.length = length > 0 ? static_cast<std::size_t>(length) : 64;
    s.full = write_block ? BufferSettings::Full::Block : BufferSettings::Full::Overwrite;
    s.writeTimeout = std::chrono::milliseconds(write_timeout > 0 ? write_timeout : 0);
    s.empty = read_block ? BufferSettings::Empty::Block : BufferSettings::Empty::Readback;
    s.readTimeout = std::chrono::milliseconds(read_timeout > 0 ? read_timeout : 0);
    return s;
}

}  // namespace

InPortBase::InPortBase(const char* name, const BufferSettings& unconnected)
    : PortBase(name), m_buffer(new InPortBuffer(unconnected)) {}

InPortBase::InPortBase(const char* name, int length, bool read_block, bool write_block,
                       int read_timeout, int write_timeout)
    : InPortBase(name,
                 olderApiSettings(length, read_block, write_block, read_timeout, write_timeout)) {}

InPortBase::~InPortBase() {}

std::size_t InPortBase::readable() const { return m_buffer->readable(); }

BufferSettings InPortBase::bufferSettings(const std::string& connector_id) const {
    return m_buffer->settings(connector_id);
}

bool InPortBase::takeSample(std::vector<unsigned char>& data, bool& little_endian) {
    return m_buffer->read(data, little_endian) == DataPortStatus::PORT_OK;
}

DataPortStatus::Enum InPortBase::storeUnconnected(std::vector<unsigned char>&& data,
                                                  bool little_endian) {
    return m_buffer->write(std::string(), std::move(data), little_endian);
}

DataPortStatus::Enum InPortBase::putCdr(const std::string& connector_id, const unsigned char* data,
                                        std::size_t length, bool little_endian) {
    if (data == nullptr) return DataPortStatus::PORT_ERROR;
    // Checked in the copy that read() decodes: CDR alignment counts from the
    // start of the buffer, and the caller's bytes need not be aligned.
    InPortBuffer::Sample sample(data, data + length);
    if (!decodes(sample.data(), sample.size(), little_endian)) return DataPortStatus::PORT_ERROR;
    return m_buffer->write(connector_id, std::move(sample), little_endian);
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
    m_buffer->open(connector.id(), settings);
}

void InPortBase::connectorRemoved(const std::string& id) { m_buffer->close(id); }

}  // namespace RTC
