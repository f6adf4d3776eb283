// The component's configuration sets on the network.
#pragma once

#include <memory>

#include "CorbaLayer.h"
#include "SDOPackage.hh"

namespace RTC {
namespace corba {

class ConfigurationServant : public POA_SDOPackage::Configuration {
  public:
    explicit ConfigurationServant(std::shared_ptr<ComponentEntry> entry)
        : m_entry(std::move(entry)) {}

    CORBA::Boolean set_device_profile(const SDOPackage::DeviceProfile&) override {
        throw CORBA::NO_IMPLEMENT();
    }
    // No SDO service consumer type is offered: every profile is declined,
    // and there is none to remove.
    CORBA::Boolean add_service_profile(const SDOPackage::ServiceProfile&) override { return false; }
    CORBA::Boolean add_organization(SDOPackage::Organization_ptr) override {
        throw CORBA::NO_IMPLEMENT();
    }
    CORBA::Boolean remove_service_profile(const char*) override { return false; }
    CORBA::Boolean remove_organization(const char*) override { throw CORBA::NO_IMPLEMENT(); }
    SDOPackage::ParameterList* get_configuration_parameters() override;
    SDOPackage::NVList* get_configuration_parameter_values() override;
    CORBA::Any* get_configuration_parameter_value(const char* name) override;
    CORBA::Boolean set_configuration_parameter(const char* name, const CORBA::Any& value) override;
    SDOPackage::ConfigurationSetList* get_configuration_sets() override;
    SDOPackage::ConfigurationSet* get_configuration_set(const char* config_id) override;
    CORBA::Boolean set_configuration_set_values(
        const SDOPackage::ConfigurationSet& configuration_set) override;
    SDOPackage::ConfigurationSet* get_active_configuration_set() override;
    CORBA::Boolean add_configuration_set(
        const SDOPackage::ConfigurationSet& configuration_set) override;
    CORBA::Boolean remove_configuration_set(const char* config_id) override;
    CORBA::Boolean activate_configuration_set(const char* config_id) override;

  private:
    std::shared_ptr<ComponentEntry> m_entry;
};

}  // namespace corba
}  // namespace RTC
