// Untyped side of an output port.
#pragma once

#include <rtm/PortBase.h>

namespace RTC {

class OutPortBase : public PortBase {
  public:
    explicit OutPortBase(const char* name) : PortBase(name) {}
    const char* portType() const override { return "DataOutPort"; }
};

}  // namespace RTC
