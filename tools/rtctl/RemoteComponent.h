#pragma once

#include <string>
#include <vector>

#include "RTC.hh"
#include "RemotePort.h"

namespace rtctl {

// A remote RT component reached through its object reference.
class RemoteComponent {
  public:
    enum class Change { Activate, Deactivate, Reset };

    // Throws ToolError when `object` is unreachable or not a component.
    // `label` names the component in messages.
    RemoteComponent(CORBA::Object_ptr object, const std::string& label);

    RTC::RTObject_ptr ref() const;
    const std::string& label() const;

    // The context the component runs in: its first own one, else the first it
    // takes part in. Throws ToolError when it has none.
    RTC::ExecutionContext_var context();
    RTC::LifeCycleState state();
    // What the context answered.
    RTC::ReturnCode_t change(Change change);

    std::vector<RemotePort> ports();
    // By its full ("ConsoleIn0.out") or short ("out") name; throws ToolError
    // naming the ports there are when there is no such port.
    RemotePort port(const std::string& name);

    SDOPackage::Configuration_var configuration();

  private:
    std::string subject() const;

    RTC::RTObject_var m_ref;
    std::string m_label;
};

}  // namespace rtctl
