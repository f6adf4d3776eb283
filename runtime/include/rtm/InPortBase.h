// Untyped side of an input port, as connectors and the runtime see it: the
// buffer that every connection of the port delivers into (InPortBuffer),
// each under the buffer settings of its connection (InPortSettings).
#pragma once

#include <rtm/InPortBuffer.h>
#include <rtm/PortBase.h>

#include <cstddef>
#include <string>

namespace RTC {

class InPortBase : public PortBase {
  public:
    // `unconnected` serves samples put without a connection.
    InPortBase(const char* name, const BufferSettings& unconnected);
    const char* portType() const override { return "DataInPort"; }

    // Stores one CDR-encoded sample that arrived through connection
    // `connector_id`: PORT_OK, PORT_ERROR for data that is not a sample of
    // the port's type, or what the connection's full policy gives
    // (BUFFER_FULL, BUFFER_TIMEOUT).
    DataPortStatus::Enum putCdr(const std::string& connector_id, const unsigned char* data,
                                std::size_t length, bool little_endian);
    // The same for a sample that belongs to no connection.
    DataPortStatus::Enum putCdr(const unsigned char* data, std::size_t length, bool little_endian) {
        return putCdr(std::string(), data, length, little_endian);
    }

    // Number of samples waiting to be read.
    std::size_t readable() const { return m_buffer.readable(); }
    // The buffer settings connection `connector_id` delivers under.
    BufferSettings bufferSettings(const std::string& connector_id) const {
        return m_buffer.settings(connector_id);
    }

  protected:
    // True when the bytes are one sample of the port's type.
    virtual bool decodes(const unsigned char* data, std::size_t length,
                         bool little_endian) const = 0;

    void connectorAdded(const ConnectorBase& connector) override;
    void connectorRemoved(const std::string& id) override;

    InPortBuffer m_buffer;
};

}  // namespace RTC
