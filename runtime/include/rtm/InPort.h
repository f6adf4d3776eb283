// Typed input port: every connection delivers into the port's buffer under
// its own buffer settings (InPortSettings: by default 1024 samples, a sender
// beyond that waits for a read); read() moves the oldest sample of any
// connection into the bound value.
#pragma once

#include <rtm/CdrCodec.h>
#include <rtm/InPortBase.h>

#include <string>
#include <vector>

namespace RTC {

template <class DataType>
class InPort : public InPortBase {
  public:
    // The trailing arguments of the older API describe the buffer of samples
    // put without a connection (put(), putCdr() without an id): its length,
    // whether a full one makes the writer wait (else the oldest sample is
    // overwritten) and whether a read waits for a sample, timeouts in
    // milliseconds. Connections bring their own settings.
    InPort(const char* name, DataType& value, int bufsize = 64, bool read_block = false,
           bool write_block = false, int read_timeout = 0, int write_timeout = 0)
        : InPortBase(name, bufsize, read_block, write_block, read_timeout, write_timeout),
          m_value(value),
          m_typeName(toRepositoryId<DataType>()) {
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

    bool isNew() { return readable() > 0; }
    bool isEmpty() { return readable() == 0; }

    // Moves the oldest unread sample into the bound value; false when there
    // is none (the value is then unchanged), after waiting for one when a
    // connection's read.empty_policy is block.
    bool read(std::string name = "") {
        (void)name;
        std::vector<unsigned char> sample;
        bool little = true;
        if (!takeSample(sample, little)) return false;
        return decodeCdr(sample.data(), sample.size(), little, m_value);
    }
    void update() { read(); }
    void operator>>(DataType& rhs) {
        read();
        rhs = m_value;
    }

    // Delivery of a sample that belongs to no connection.
    DataPortStatus::Enum put(const DataType& value) {
        CdrStream cdr;
        encodeCdr(value, true, cdr);
        const auto* data = static_cast<const unsigned char*>(cdr.bufPtr());
        return storeUnconnected(std::vector<unsigned char>(data, data + cdr.bufSize()), true);
    }

  protected:
    bool decodes(const unsigned char* data, std::size_t length, bool little_endian) const override {
        DataType sample;
        return decodeCdr(data, length, little_endian, sample);
    }

  private:
    DataType& m_value;
    std::string m_typeName;
};

}  // namespace RTC
