#include "ConfigurationServant.h"

#include <rtm/ConfigAdmin.h>

#include "LiveComponent.h"
#include "NVUtil.h"

namespace RTC {
namespace corba {

namespace {

SDOPackage::NVList setValues(const coil::Properties& set) {
    SDOPackage::NVList nv;
    toNVList(set, nv);
    return nv;
}

}  // namespace

SDOPackage::ParameterList* ConfigurationServant::get_configuration_parameters() {
    LiveComponent alive(*m_entry);
    return new SDOPackage::ParameterList;
}

SDOPackage::NVList* ConfigurationServant::get_configuration_parameter_values() {
    LiveComponent alive(*m_entry);
    ConfigAdmin& config = alive.comp()->getConfigAdmin();
    return new SDOPackage::NVList(
        setValues(config.getConfigurationSet(config.getActiveId().c_str())));
}

CORBA::Any* ConfigurationServant::get_configuration_parameter_value(const char* name) {
    LiveComponent alive(*m_entry);
    ConfigAdmin& config = alive.comp()->getConfigAdmin();
    coil::Properties set = config.getConfigurationSet(config.getActiveId().c_str());
    if (name == nullptr || set.findNode(name) == nullptr)
        throw SDOPackage::InvalidParameter("no such parameter");
    CORBA::Any_var value = new CORBA::Any;
    value <<= set.getProperty(name).c_str();
    return value._retn();
}

CORBA::Boolean ConfigurationServant::set_configuration_parameter(const char* name,
                                                                 const CORBA::Any& value) {
    LiveComponent alive(*m_entry);
    const char* text = nullptr;
    if (name == nullptr || !(value >>= text))
        throw SDOPackage::InvalidParameter("value must be a string");
    ConfigAdmin& config = alive.comp()->getConfigAdmin();
    return config.setParameter(config.getActiveId().c_str(), name, text);
}

SDOPackage::ConfigurationSetList* ConfigurationServant::get_configuration_sets() {
    LiveComponent alive(*m_entry);
    ConfigAdmin& config = alive.comp()->getConfigAdmin();
    SDOPackage::ConfigurationSetList_var list = new SDOPackage::ConfigurationSetList;
    std::vector<std::string> ids = config.getConfigurationSetIds();
    list->length(static_cast<CORBA::ULong>(ids.size()));
    for (CORBA::ULong i = 0; i < list->length(); ++i) {
        list[i].id = ids[i].c_str();
        list[i].description = "";
        list[i].configuration_data = setValues(config.getConfigurationSet(ids[i].c_str()));
    }
    return list._retn();
}

SDOPackage::ConfigurationSet* ConfigurationServant::get_configuration_set(const char* config_id) {
    LiveComponent alive(*m_entry);
    ConfigAdmin& config = alive.comp()->getConfigAdmin();
    if (config_id == nullptr || !config.haveConfig(config_id))
        throw SDOPackage::InternalError("no such configuration set");
    SDOPackage::ConfigurationSet_var set = new SDOPackage::ConfigurationSet;
    set->id = config_id;
    set->description = "";
    set->configuration_data = setValues(config.getConfigurationSet(config_id));
    return set._retn();
}

CORBA::Boolean ConfigurationServant::set_configuration_set_values(
    const SDOPackage::ConfigurationSet& set) {
    LiveComponent alive(*m_entry);
    ConfigAdmin& config = alive.comp()->getConfigAdmin();
    if (!config.haveConfig(set.id)) throw SDOPackage::InvalidParameter("no such configuration set");
    for (CORBA::ULong i = 0; i < set.configuration_data.length(); ++i) {
        const char* text = nullptr;
        if (!(set.configuration_data[i].value >>= text))
            throw SDOPackage::InvalidParameter("values must be strings");
    }
    for (CORBA::ULong i = 0; i < set.configuration_data.length(); ++i) {
        const char* text = nullptr;
        set.configuration_data[i].value >>= text;
        config.setParameter(set.id, set.configuration_data[i].name, text);
    }
    return true;
}

SDOPackage::ConfigurationSet* ConfigurationServant::get_active_configuration_set() {
    std::string id;
    {
        LiveComponent alive(*m_entry);
        id = alive.comp()->getConfigAdmin().getActiveId();
    }
    return get_configuration_set(id.c_str());
}

CORBA::Boolean ConfigurationServant::add_configuration_set(
    const SDOPackage::ConfigurationSet& configuration_set) {
    LiveComponent alive(*m_entry);
    coil::Properties set(configuration_set.id);
    coil::Properties values = toProperties(configuration_set.configuration_data);
    for (const std::string& key : values.propertyNames())
        set.setProperty(key, values.getProperty(key));
    if (!alive.comp()->getConfigAdmin().addConfigurationSet(set))
        throw SDOPackage::InvalidParameter("set exists");
    return true;
}

CORBA::Boolean ConfigurationServant::remove_configuration_set(const char* config_id) {
    LiveComponent alive(*m_entry);
    if (!alive.comp()->getConfigAdmin().removeConfigurationSet(config_id)) {
        throw SDOPackage::InvalidParameter("no such set, or it is the default or active one");
    }
    return true;
}

CORBA::Boolean ConfigurationServant::activate_configuration_set(const char* config_id) {
    LiveComponent alive(*m_entry);
    if (!alive.comp()->getConfigAdmin().activateConfigurationSet(config_id)) {
        throw SDOPackage::InvalidParameter("no such configuration set");
    }
    return true;
}

}  // namespace corba
}  // namespace RTC
