// Typed output port: write() publishes the bound value (or the given one) to
// every connection as CDR, into a port of this process directly, to other
// processes through the object request broker. A flush connection is served
// inside write(); a new or periodic one gets the encoded sample in its ring,
// and its own thread sends it.
#pragma once

#include <rtm/CdrCodec.h>
#include <rtm/InPort.h>
#include <rtm/OutPortBase.h>
#include <rtm/Publisher.h>
#include <rtm/PublisherSettings.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace RTC {

template <class DataType>
class OutPort : public OutPortBase {
  public:
    OutPort(const char* name, DataType& value)
        : OutPortBase(name), m_value(value), m_typeName(toRepositoryId<DataType>()) {
        m_properties.setProperty("port.port_type", "DataOutPort");
        m_properties.setProperty("dataport.data_type", m_typeName);
        m_properties.setProperty("dataport.subscription_type", kOutPortSubscriptionTypes);
        m_properties.setProperty("dataport.io_mode", kOutPortSubscriptionTypes);
        m_properties.setProperty("dataport.dataflow_type", "push");
        m_properties.setProperty("dataport.interface_type", "corba_cdr");
        m_properties.setProperty("dataport.marshaling_types", "cdr");
        m_properties.setProperty("data_type", m_typeName);
    }
    ~OutPort() override { disconnect_all(); }

    const char* name() { return getShortName().c_str(); }
    const std::string& dataType() const override { return m_typeName; }

    // True when every connection took the sample (also with no connection).
    bool write(DataType& value) {
        bool all_ok = true;
        bool any_lost = false;
        bool encoded[2] = {false, false};
        // No port lock is held while sending: a peer may call back into this
        // port (a disconnect) before its put returns.
        std::lock_guard<std::mutex> writing(m_sendMutex);
        {
            std::lock_guard<std::mutex> guard(m_connectorsMutex);
            m_sending.assign(m_connectors.begin(), m_connectors.end());
        }
        for (const auto& connector : m_sending) {
            Publisher* publisher = connector->publisher();
            // Encode once per byte order, only when a connection needs it.
            const int order = connector->littleEndian() ? 1 : 0;
            if (!encoded[order]) {
                encodeCdr(value, order == 1, m_cdr[order]);
                encoded[order] = true;
            }
            const auto* data = static_cast<const unsigned char*>(m_cdr[order].bufPtr());
            const std::size_t size = m_cdr[order].bufSize();
            const DataPortStatus::Enum status =
                publisher != nullptr ? publisher->write(data, size) : connector->putCdr(data, size);
            if (status != DataPortStatus::PORT_OK) all_ok = false;
            if (status == DataPortStatus::CONNECTION_LOST) any_lost = true;
        }
        m_sending.clear();
        if (any_lost) dropLostConnectors();
        return all_ok;
    }
    bool write() { return write(m_value); }
    bool operator<<(DataType& value) { return write(value); }

  private:
    DataType& m_value;
    std::string m_typeName;
    CdrStream m_cdr[2];
    std::vector<std::shared_ptr<ConnectorBase>> m_sending;
};

}  // namespace RTC
