// Untyped side of an output port: sends one encoded sample to every
// connection, into a port of this process directly, to other processes
// through the object request broker.
#pragma once

#include <rtm/CdrCodec.h>
#include <rtm/PortBase.h>

#include <memory>
#include <vector>

namespace RTC {

class OutPortBase : public PortBase {
  public:
    explicit OutPortBase(const char* name);
    ~OutPortBase() override;
    const char* portType() const override { return "DataOutPort"; }
    // What the port advertises as its subscription types (and io_mode).
    static const char* subscriptionTypes();

    // The port's own settings for its connections (the component's
    // "port.outport.<name>.*" keys with "port.outport.dataport.*" laid over
    // them, without the prefix: io_mode, buffer.length, ...). A connection's
    // own request ("dataport.*", "dataport.outport.*") overrides them.
    void init(const coil::Properties& prop);
    // The properties a connection is made with: `requested`, and as
    // "dataport.outport.<key>" each of the port's own settings for a key the
    // request leaves unset; its profile shows them.
    coil::Properties connectionProperties(const coil::Properties& requested) const;

  protected:
    // Encodes the sample at `value` in the given byte order.
    typedef void (*Encoder)(const void* value, bool little_endian, CdrStream& stream);
    // Sends one sample to every connection, encoded once per byte order that
    // a connection asks for. True when every connection took it (also with
    // no connection).
    bool publish(const void* value, Encoder encode);

  private:
    coil::Properties m_own;  // under m_connectorsMutex
    CdrStream m_cdr[2];
    std::vector<std::shared_ptr<ConnectorBase>> m_sending;
};

}  // namespace RTC
