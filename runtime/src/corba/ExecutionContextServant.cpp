#include "ExecutionContextServant.h"

#include <sstream>

#include "LiveComponent.h"
#include "NVUtil.h"

namespace RTC {
namespace corba {

namespace {

// The context's options from the component's "exec_cxt" keys, as the
// framework's contexts publish them: the periodic options ("type", "rate")
// and the general ones a periodic context takes over.
coil::Properties contextProperties(const coil::Properties& comp, double rate) {
    static const char* const kInherited[] = {
        "sync_transition",    "sync_activation",    "sync_deactivation",    "sync_reset",
        "transition_timeout", "activation_timeout", "deactivation_timeout", "reset_timeout",
        "cpu_affinity",       "priority",           "stack_size",           "interrupt"};
    coil::Properties out;
    for (const char* key : kInherited) {
        const std::string full = std::string("exec_cxt.") + key;
        if (comp.findNode(full) != nullptr) out.setProperty(key, comp.getProperty(full));
    }
    if (const coil::Properties* periodic = comp.findNode("exec_cxt.periodic")) {
        for (const std::string& key : periodic->propertyNames())
            out.setProperty(key, periodic->getProperty(key));
    }
    if (out.getProperty("type").empty()) out.setProperty("type", "PeriodicExecutionContext");
    // The rate it runs at now, which set_rate may have changed since start-up.
    std::ostringstream text;
    text << rate;
    out.setProperty("rate", text.str());
    return out;
}

}  // namespace

bool ExecutionContextServant::isOwner(RTC::LightweightRTObject_ptr comp) {
    if (CORBA::is_nil(comp)) return false;
    try {
        return comp->_is_equivalent(m_entry->compRef.in());
    } catch (...) {
        return false;
    }
}

CORBA::Boolean ExecutionContextServant::is_running() {
    LiveComponent alive(*m_entry);
    return alive.ec().is_running();
}

CORBA::Double ExecutionContextServant::get_rate() {
    LiveComponent alive(*m_entry);
    return alive.ec().get_rate();
}

RTC::ReturnCode_t ExecutionContextServant::set_rate(CORBA::Double rate) {
    LiveComponent alive(*m_entry);
    return alive.ec().set_rate(rate);
}

RTC::ReturnCode_t ExecutionContextServant::change(RTC::LightweightRTObject_ptr comp, Change what) {
    LiveComponent alive(*m_entry);
    if (!isOwner(comp)) return RTC::BAD_PARAMETER;
    switch (what) {
        case Change::Activate:
            return alive.ec().activate_component();
        case Change::Deactivate:
            return alive.ec().deactivate_component();
        case Change::Reset:
            return alive.ec().reset_component();
    }
    return RTC::RTC_ERROR;
}

RTC::ReturnCode_t ExecutionContextServant::activate_component(RTC::LightweightRTObject_ptr comp) {
    return change(comp, Change::Activate);
}

RTC::ReturnCode_t ExecutionContextServant::deactivate_component(RTC::LightweightRTObject_ptr comp) {
    return change(comp, Change::Deactivate);
}

RTC::ReturnCode_t ExecutionContextServant::reset_component(RTC::LightweightRTObject_ptr comp) {
    return change(comp, Change::Reset);
}

RTC::LifeCycleState ExecutionContextServant::get_component_state(
    RTC::LightweightRTObject_ptr comp) {
    LiveComponent alive(*m_entry);
    if (!isOwner(comp)) return RTC::CREATED_STATE;
    return alive.ec().get_component_state();
}

RTC::ExecutionContextProfile* ExecutionContextServant::get_profile() {
    LiveComponent alive(*m_entry);
    RTC::ExecutionContextProfile_var p = new RTC::ExecutionContextProfile;
    p->kind = RTC::PERIODIC;
    p->rate = alive.ec().get_rate();
    toNVList(contextProperties(alive.comp()->getProperties(), p->rate), p->properties);
    p->owner = RTC::RTObject::_narrow(m_entry->compRef.in());
    // As the framework does: the owner is not listed among the participants.
    p->participants.length(0);
    return p._retn();
}

}  // namespace corba
}  // namespace RTC
