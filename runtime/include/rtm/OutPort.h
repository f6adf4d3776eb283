// Typed output port: write() publishes the bound value (or the given one) to
// every connection as CDR, into a port of this process directly, to other
// processes through the object request broker. A flush connection is served
// inside write(); a new or periodic one gets the encoded sample in its ring,
// and its own thread sends it.
#pragma once

#include <rtm/CdrCodec.h>
#include <rtm/InPort.h>
#include <rtm/OutPortBase.h>

#include <string>

namespace RTC {

template <class DataType>
class OutPort : public OutPortBase {
  public:
    OutPort(const char* name, DataType& value)
        : OutPortBase(name), m_value(value), m_typeName(toRepositoryId<DataType>()) {
        m_properties.setProperty("port.port_type", "DataOutPort");
        m_properties.setProperty("dataport.data_type", m_typeName);
        m_properties.setProperty("dataport.subscription_type", subscriptionTypes());
        m_properties.setProperty("dataport.io_mode", subscriptionTypes());
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
        return publish(&value, [](const void* sample, bool little_endian, CdrStream& stream) {
            encodeCdr(*static_cast<const DataType*>(sample), little_endian, stream);
        });
    }
    bool write() { return write(m_value); }
    bool operator<<(DataType& value) { return write(value); }

  private:
    DataType& m_value;
    std::string m_typeName;
};

}  // namespace RTC
