// Typed input port: samples arrive into a ring buffer (64 samples, the
// oldest overwritten when full); read() moves the oldest into the bound value.
#pragma once

#include <rtm/CdrCodec.h>
#include <rtm/InPortBase.h>
#include <rtm/RingBuffer.h>

#include <string>

namespace RTC {

template <class DataType>
class InPort : public InPortBase {
  public:
    // The trailing arguments of the older API are accepted; reads and writes
    // never block.
    InPort(const char* name, DataType& value, int bufsize = 64, bool read_block = false,
           bool write_block = false, int read_timeout = 0, int write_timeout = 0)
        : InPortBase(name),
          m_value(value),
          m_buffer(bufsize > 0 ? static_cast<std::size_t>(bufsize) : 64),
          m_typeName(toRepositoryId<DataType>()) {
        (void)read_block;
        (void)write_block;
        (void)read_timeout;
        (void)write_timeout;
        m_properties.setProperty("port.port_type", "DataInPort");
        m_properties.setProperty("dataport.data_type", m_typeName);
        m_properties.setProperty("dataport.subscription_type", "Any");
        m_properties.setProperty("dataport.dataflow_type", "push");
        m_properties.setProperty("dataport.interface_type", "corba_cdr");
        m_properties.setProperty("dataport.marshaling_types", "cdr");
        m_properties.setProperty("data_type", m_typeName);
    }
    ~InPort() override { disconnect_all(); }

    const char* name() { return getShortName().c_str(); }
    const std::string& dataType() const override { return m_typeName; }

    bool isNew() { return !m_buffer.empty(); }
    bool isEmpty() { return m_buffer.empty(); }
    std::size_t readable() const override { return m_buffer.readable(); }

    // Moves the oldest unread sample into the bound value; false when there
    // is none (the value is then unchanged).
    bool read(std::string name = "") {
        (void)name;
        return m_buffer.read(m_value);
    }
    void update() { read(); }
    void operator>>(DataType& rhs) {
        read();
        rhs = m_value;
    }

    // Delivery from a connector in this process. A full buffer drops its
    // oldest sample; the new one is always taken.
    DataPortStatus::Enum put(const DataType& value) {
        m_buffer.write(value);
        return DataPortStatus::PORT_OK;
    }

    DataPortStatus::Enum putCdr(const unsigned char* data, std::size_t length,
                                bool little_endian) override {
        DataType sample;
        if (!decodeCdr(data, length, little_endian, sample)) return DataPortStatus::PORT_ERROR;
        m_buffer.write(sample);
        return DataPortStatus::PORT_OK;
    }

  private:
    DataType& m_value;
    RingBuffer<DataType> m_buffer;
    std::string m_typeName;
};

}  // namespace RTC
