// Base of periodic data-flow components.
#pragma once

#include <rtm/RTObject.h>

namespace RTC {

class DataFlowComponentBase : public RTObject_impl {
  public:
    explicit DataFlowComponentBase(Manager* manager) : RTObject_impl(manager) {}
    ~DataFlowComponentBase() override {}
    void init() {}
};

}  // namespace RTC
