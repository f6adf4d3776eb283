// One end of a data port connection. A connection joins an OutPort and an
// InPort; each end holds its own connector object under the shared id.
#pragma once

#include <coil/Properties.h>
#include <coil/stringutil.h>
#include <rtm/DataPortStatus.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace RTC {

class InPortBase;
class Publisher;
struct PublisherSettings;

struct ConnectorInfo {
    std::string name;
    std::string id;
    std::vector<std::string> ports;
    coil::Properties properties;
};

class ConnectorBase {
  public:
    explicit ConnectorBase(const ConnectorInfo& info);
    // A class that sends through putCdr() calls stopPublisher() in its own
    // destructor, before its part of the object is gone.
    virtual ~ConnectorBase();
    ConnectorBase(const ConnectorBase&) = delete;
    ConnectorBase& operator=(const ConnectorBase&) = delete;

    const std::string& id() const { return m_info.id; }
    const ConnectorInfo& profile() const { return m_info; }

    // The receiving port when it lives in this process, else null.
    virtual InPortBase* localInPort() const { return nullptr; }
    // Sends one CDR-encoded sample to a receiver outside this process.
    // SEND_FULL or BUFFER_TIMEOUT: the receiver could not store it;
    // SEND_TIMEOUT: the call timed out, the sample may have arrived.
    virtual DataPortStatus::Enum putCdr(const unsigned char* data, std::size_t length) {
        (void)data;
        (void)length;
        return DataPortStatus::PORT_ERROR;
    }
    // Byte order negotiated for the connection's CDR data.
    bool littleEndian() const {
        // A copy: getProperty() returns its default argument, a temporary here.
        const std::string e = m_info.properties.getProperty("dataport.serializer.cdr.endian");
        return coil::eraseBothEndsBlank(e).compare(0, 3, "big") != 0;
    }
    // Called once when the connection ends, to tell the other end.
    virtual void onDisconnect() {}
    // True once the other end is known to be gone; the port then drops the
    // connection.
    virtual bool lost() const { return false; }

    // Sending end of a new or periodic connection: the thread that sends
    // through putCdr(). Null for flush connections and receiving ends.
    Publisher* publisher() const { return m_publisher.get(); }
    void startPublisher(const PublisherSettings& settings);
    // Ends the sending thread, waiting for a send in progress; the port
    // calls it when the connection goes.
    void stopPublisher();

  private:
    ConnectorInfo m_info;
    std::unique_ptr<Publisher> m_publisher;
};

}  // namespace RTC
