#include "ComponentServant.h"

#include <rtm/Manager.h>

#include "LiveComponent.h"
#include "NVUtil.h"

namespace RTC {
namespace corba {

CORBA::Boolean ComponentServant::is_alive(RTC::ExecutionContext_ptr) {
    std::shared_lock<std::shared_mutex> lock(m_entry->lock);
    return m_entry->comp != nullptr;
}

RTC::ReturnCode_t ComponentServant::exit() {
    std::string name;
    {
        LiveComponent alive(*m_entry);
        name = alive.comp()->getInstanceName();
    }
    // Deletion waits for remote calls on this component, this one included:
    // the manager carries it out after this call has returned.
    Manager::instance().requestDelete(name);
    return RTC::RTC_OK;
}

RTC::ExecutionContextHandle_t ComponentServant::attach_context(RTC::ExecutionContext_ptr) {
    throw CORBA::NO_IMPLEMENT();
}

RTC::ExecutionContext_ptr ComponentServant::get_context(RTC::ExecutionContextHandle_t exec_handle) {
    LiveComponent alive(*m_entry);
    if (exec_handle != 0) return RTC::ExecutionContext::_nil();
    return RTC::ExecutionContext::_narrow(m_entry->ecRef.in());
}

RTC::ExecutionContextList* ComponentServant::get_owned_contexts() {
    LiveComponent alive(*m_entry);
    RTC::ExecutionContextList_var list = new RTC::ExecutionContextList;
    list->length(1);
    list[0] = RTC::ExecutionContext::_narrow(m_entry->ecRef.in());
    return list._retn();
}

RTC::ExecutionContextList* ComponentServant::get_participating_contexts() {
    LiveComponent alive(*m_entry);
    return new RTC::ExecutionContextList;
}

RTC::ExecutionContextHandle_t ComponentServant::get_context_handle(RTC::ExecutionContext_ptr cxt) {
    LiveComponent alive(*m_entry);
    if (!CORBA::is_nil(cxt) && cxt->_is_equivalent(m_entry->ecRef.in())) return 0;
    return static_cast<RTC::ExecutionContextHandle_t>(-1);
}

RTC::ComponentProfile* ComponentServant::get_component_profile() {
    RTC::ComponentProfile_var profile = new RTC::ComponentProfile;
    RTC::PortServiceList_var ports;
    {
        LiveComponent alive(*m_entry);
        coil::Properties& prop = alive.comp()->getProperties();
        profile->instance_name = alive.comp()->getInstanceName();
        profile->type_name = prop.getProperty("type_name").c_str();
        profile->description = prop.getProperty("description").c_str();
        profile->version = prop.getProperty("version").c_str();
        profile->vendor = prop.getProperty("vendor").c_str();
        profile->category = prop.getProperty("category").c_str();
        profile->parent = RTC::RTObject::_nil();
        toNVList(prop, profile->properties);
        ports = m_entry->layer->portRefs(m_entry);
    }
    // Collocated calls to our own port servants, outside the entry lock they take.
    profile->port_profiles.length(ports->length());
    for (CORBA::ULong i = 0; i < ports->length(); ++i) {
        RTC::PortProfile_var pp = ports[i]->get_port_profile();
        profile->port_profiles[i] = pp.in();
    }
    return profile._retn();
}

RTC::PortServiceList* ComponentServant::get_ports() {
    LiveComponent alive(*m_entry);
    return m_entry->layer->portRefs(m_entry);
}

SDOPackage::OrganizationList* ComponentServant::get_owned_organizations() {
    return new SDOPackage::OrganizationList;
}

char* ComponentServant::get_sdo_id() {
    LiveComponent alive(*m_entry);
    return CORBA::string_dup(alive.comp()->getInstanceName());
}

char* ComponentServant::get_sdo_type() {
    LiveComponent alive(*m_entry);
    return CORBA::string_dup(alive.comp()->getProperties().getProperty("description").c_str());
}

SDOPackage::DeviceProfile* ComponentServant::get_device_profile() {
    LiveComponent alive(*m_entry);
    coil::Properties& prop = alive.comp()->getProperties();
    SDOPackage::DeviceProfile_var dp = new SDOPackage::DeviceProfile;
    dp->device_type = prop.getProperty("category").c_str();
    dp->manufacturer = prop.getProperty("vendor").c_str();
    dp->model = prop.getProperty("type_name").c_str();
    dp->version = prop.getProperty("version").c_str();
    return dp._retn();
}

SDOPackage::ServiceProfileList* ComponentServant::get_service_profiles() {
    return new SDOPackage::ServiceProfileList;
}

SDOPackage::ServiceProfile* ComponentServant::get_service_profile(const char*) {
    throw SDOPackage::InvalidParameter("no such service");
}

SDOPackage::SDOService_ptr ComponentServant::get_sdo_service(const char*) {
    throw SDOPackage::InvalidParameter("no such service");
}

SDOPackage::Configuration_ptr ComponentServant::get_configuration() {
    LiveComponent alive(*m_entry);
    return SDOPackage::Configuration::_narrow(m_entry->configRef.in());
}

SDOPackage::Monitoring_ptr ComponentServant::get_monitoring() {
    throw SDOPackage::InterfaceNotImplemented("monitoring is not offered");
}

SDOPackage::OrganizationList* ComponentServant::get_organizations() {
    return new SDOPackage::OrganizationList;
}

SDOPackage::NVList* ComponentServant::get_status_list() { return new SDOPackage::NVList; }

CORBA::Any* ComponentServant::get_status(const char*) {
    throw SDOPackage::InvalidParameter("no such status");
}

}  // namespace corba
}  // namespace RTC
