// Untyped side of an input port, as connectors and the runtime see it: the
// buffer that every connection of the port delivers into (InPortBuffer),
// each under the buffer settings of its connection (InPortSettings).
#pragma once

#include <rtm/DataPortStatus.h>
#include <rtm/PortBase.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace RTC {

class InPortBuffer;
struct BufferSettings;

class InPortBase : public PortBase {
  public:
    // `unconnected` serves samples put without a connection.
    InPortBase(const char* name, const BufferSettings& unconnected);
    // The same, described as the older API does: length, whether a full
    // buffer makes the writer wait (else the oldest sample is overwritten),
    // whether a read waits for a sample, timeouts in milliseconds.
    InPortBase(const char* name, int length, bool read_block, bool write_block, int read_timeout,
               int write_timeout);
    ~InPortBase() override;
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
    std::size_t readable() const;
    // The buffer settings connection `connector_id` delivers under.
    BufferSettings bufferSettings(const std::string& connector_id) const;

  protected:
    // True when the bytes are one sample of the port's type.
    virtual bool decodes(const unsigned char* data, std::size_t length,
                         bool little_endian) const = 0;

    // Moves the oldest unread sample into `data`; false when there is none
    // (after waiting for one when a connection's read.empty_policy is block).
    bool takeSample(std::vector<unsigned char>& data, bool& little_endian);
    // Stores a sample the port encoded itself, as one put without a
    // connection.
    DataPortStatus::Enum storeUnconnected(std::vector<unsigned char>&& data, bool little_endian);

    void connectorAdded(const ConnectorBase& connector) override;
    void connectorRemoved(const std::string& id) override;

  private:
    const std::unique_ptr<InPortBuffer> m_buffer;
};

}  // namespace RTC
