// Base of every component: lifecycle callbacks, ports, configuration,
// properties and the component's logger.
#pragma once

#include <coil/Properties.h>
#include <coil/stringutil.h>
#include <rtm/ConfigAdmin.h>
#include <rtm/InPortBase.h>
#include <rtm/OutPortBase.h>
#include <rtm/RTC.h>
#include <rtm/SystemLogger.h>

#include <memory>
#include <string>
#include <vector>

namespace RTC {

class Manager;
class PeriodicExecutionContext;

class RTObject_impl {
  public:
    explicit RTObject_impl(Manager* manager);
    virtual ~RTObject_impl();
    RTObject_impl(const RTObject_impl&) = delete;
    RTObject_impl& operator=(const RTObject_impl&) = delete;

    // Framework-side entry points: they call the matching on...() callback,
    // turn an escaping exception into RTC_ERROR and log failures.
    ReturnCode_t on_initialize();
    ReturnCode_t on_finalize();
    ReturnCode_t on_startup(UniqueId ec_id);
    ReturnCode_t on_shutdown(UniqueId ec_id);
    ReturnCode_t on_activated(UniqueId ec_id);
    ReturnCode_t on_deactivated(UniqueId ec_id);
    ReturnCode_t on_execute(UniqueId ec_id);
    ReturnCode_t on_aborting(UniqueId ec_id);
    ReturnCode_t on_error(UniqueId ec_id);
    ReturnCode_t on_reset(UniqueId ec_id);
    ReturnCode_t on_state_update(UniqueId ec_id);
    ReturnCode_t on_rate_changed(UniqueId ec_id);

    // Runs onInitialize and applies the active configuration set.
    ReturnCode_t initialize();
    // Runs onFinalize; the context must be stopped first.
    ReturnCode_t finalize();
    // Asks the manager to finalize and delete this component.
    ReturnCode_t exit();

    const char* getInstanceName() const;
    void setInstanceName(const char* instance_name);
    const char* getTypeName() const;
    const char* getCategory() const;
    coil::Properties& getProperties() { return m_properties; }
    // Merges prop into the component's properties.
    void setProperties(const coil::Properties& prop);

    template <typename VarType>
    bool bindParameter(const char* param_name, VarType& var, const char* def_val,
                       bool (*trans)(VarType&, const char*) = coil::stringTo) {
        return m_configsets.bindParameter(param_name, var, def_val, trans);
    }
    void updateParameters(const char* config_set);
    ConfigAdmin& getConfigAdmin() { return m_configsets; }

    bool addPort(PortBase& port);
    bool addInPort(const char* name, InPortBase& inport);
    void registerInPort(const char* name, InPortBase& inport);
    bool addOutPort(const char* name, OutPortBase& outport);
    void registerOutPort(const char* name, OutPortBase& outport);
    bool removePort(PortBase& port);
    bool removeInPort(InPortBase& port);
    bool removeOutPort(OutPortBase& port);
    std::vector<PortBase*> getPorts() const { return m_ports; }
    // By short ("in") or full ("Comp0.in") name; null when missing.
    PortBase* findPort(const std::string& name) const;

    // The context that drives this component (null before the manager
    // attached one).
    PeriodicExecutionContext* getOwnedExecutionContext() const { return m_ec.get(); }

  protected:
    virtual ReturnCode_t onInitialize();
    virtual ReturnCode_t onFinalize();
    virtual ReturnCode_t onStartup(UniqueId exec_handle);
    virtual ReturnCode_t onShutdown(UniqueId exec_handle);
    virtual ReturnCode_t onActivated(UniqueId exec_handle);
    virtual ReturnCode_t onDeactivated(UniqueId exec_handle);
    virtual ReturnCode_t onExecute(UniqueId exec_handle);
    virtual ReturnCode_t onAborting(UniqueId exec_handle);
    virtual ReturnCode_t onError(UniqueId exec_handle);
    virtual ReturnCode_t onReset(UniqueId exec_handle);
    virtual ReturnCode_t onStateUpdate(UniqueId exec_handle);
    virtual ReturnCode_t onRateChanged(UniqueId exec_handle);

    Manager* m_pManager;
    coil::Properties m_properties;
    ConfigAdmin m_configsets;
    Logger rtclog;

  private:
    // Only the manager gives a component its context, and it stops the
    // context before it finalizes and deletes the component: a context never
    // runs while a derived class is being destroyed.
    friend class Manager;
    template <class T>
    friend class Hosted;
    void attachExecutionContext(std::unique_ptr<PeriodicExecutionContext> ec);
    std::unique_ptr<PeriodicExecutionContext> detachExecutionContext();
    // First step of destroying a component: one whose context is still
    // attached was deleted behind the manager's back and is taken out of the
    // manager (and the network) here, its context stopped, while the derived
    // parts still exist. Nothing to do for one the manager deletes.
    void leaveManager();

    template <typename Callback>
    ReturnCode_t guarded(const char* name, Callback callback);

    std::vector<PortBase*> m_ports;
    std::unique_ptr<PeriodicExecutionContext> m_ec;
};

}  // namespace RTC
