#include "RemoteComponent.h"

#include "RemoteCall.h"
#include "ToolError.h"

namespace rtctl {

RemoteComponent::RemoteComponent(CORBA::Object_ptr object, const std::string& label)
    : m_label(label) {
    m_ref = remoteCall(subject(), "_is_a", [&] { return RTC::RTObject::_narrow(object); });
    if (CORBA::is_nil(m_ref)) throw ToolError("'" + label + "' is not an RT component");
}

std::string RemoteComponent::subject() const { return "component '" + m_label + "'"; }

RTC::RTObject_ptr RemoteComponent::ref() const { return m_ref.in(); }

const std::string& RemoteComponent::label() const { return m_label; }

RTC::ExecutionContext_var RemoteComponent::context() {
    RTC::ExecutionContextList_var owned =
        remoteCall(subject(), "get_owned_contexts", [&] { return m_ref->get_owned_contexts(); });
    for (CORBA::ULong i = 0; i < owned->length(); ++i) {
        if (!CORBA::is_nil(owned[i])) return RTC::ExecutionContext::_duplicate(owned[i]);
    }
    RTC::ExecutionContextList_var joined = remoteCall(subject(), "get_participating_contexts", [&] {
        return m_ref->get_participating_contexts();
    });
    for (CORBA::ULong i = 0; i < joined->length(); ++i) {
        if (!CORBA::is_nil(joined[i])) return RTC::ExecutionContext::_duplicate(joined[i]);
    }
    throw ToolError(subject() + " has no execution context");
}

RTC::LifeCycleState RemoteComponent::state() {
    RTC::ExecutionContext_var ec = context();
    return remoteCall("execution context of " + subject(), "get_component_state",
                      [&] { return ec->get_component_state(m_ref); });
}

RTC::ReturnCode_t RemoteComponent::change(Change change) {
    RTC::ExecutionContext_var ec = context();
    const std::string ecSubject = "execution context of " + subject();
    switch (change) {
        case Change::Activate:
            return remoteCall(ecSubject, "activate_component",
                              [&] { return ec->activate_component(m_ref); });
        case Change::Deactivate:
            return remoteCall(ecSubject, "deactivate_component",
                              [&] { return ec->deactivate_component(m_ref); });
        case Change::Reset:
            return remoteCall(ecSubject, "reset_component",
                              [&] { return ec->reset_component(m_ref); });
    }
    return RTC::BAD_PARAMETER;
}

std::vector<RemotePort> RemoteComponent::ports() {
    RTC::PortServiceList_var refs =
        remoteCall(subject(), "get_ports", [&] { return m_ref->get_ports(); });
    std::vector<RemotePort> out;
    for (CORBA::ULong i = 0; i < refs->length(); ++i) {
        RTC::PortService_ptr port = refs[i];
        if (CORBA::is_nil(port)) continue;
        RTC::PortProfile_var profile = remoteCall("a port of " + subject(), "get_port_profile",
                                                  [&] { return port->get_port_profile(); });
        out.emplace_back(port, profile.in(), static_cast<const char*>(profile->name));
    }
    return out;
}

RemotePort RemoteComponent::port(const std::string& name) {
    std::vector<RemotePort> all = ports();
    std::string known;
    for (const RemotePort& port : all) {
        std::string full = static_cast<const char*>(port.profile().name);
        if (full == name || port.shortName() == name) return port;
        known += (known.empty() ? "" : ", ") + port.shortName();
    }
    throw ToolError(subject() + " has no port '" + name +
                    "' (ports: " + (known.empty() ? "none" : known) + ")");
}

SDOPackage::Configuration_var RemoteComponent::configuration() {
    SDOPackage::Configuration_var config =
        remoteCall(subject(), "get_configuration", [&] { return m_ref->get_configuration(); });
    if (CORBA::is_nil(config)) throw ToolError(subject() + " has no configuration interface");
    return config;
}

}  // namespace rtctl
