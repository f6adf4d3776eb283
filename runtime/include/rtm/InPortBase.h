// Untyped side of an input port, as connectors and the runtime see it.
#pragma once

#include <rtm/PortBase.h>

#include <cstddef>

namespace RTC {

class InPortBase : public PortBase {
  public:
    explicit InPortBase(const char* name) : PortBase(name) {}
    const char* portType() const override { return "DataInPort"; }
    // Stores one CDR-encoded sample that arrived from another process.
    virtual DataPortStatus::Enum putCdr(const unsigned char* data, std::size_t length,
                                        bool little_endian) = 0;
    // Number of samples waiting to be read.
    virtual std::size_t readable() const = 0;
};

}  // namespace RTC
