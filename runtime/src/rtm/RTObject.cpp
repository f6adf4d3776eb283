#include <rtm/Manager.h>
#include <rtm/PeriodicExecutionContext.h>
#include <rtm/RTObject.h>

#include <algorithm>
#include <exception>

namespace RTC {

RTObject_impl::RTObject_impl(Manager* manager)
    : m_pManager(manager), m_configsets(m_properties.getNode("conf")), rtclog("") {}

RTObject_impl::~RTObject_impl() {
    // Too late for a class derived from this one (its parts are gone), but
    // the context must not outlive the component in any case.
    leaveManager();
}

void RTObject_impl::leaveManager() {
    // The manager stops and detaches the context before the delete function
    // runs: a context still here means the component was deleted behind the
    // manager's back (not through Manager::deleteComponent or exit()).
    if (!m_ec) return;
    RTC_ERROR(
        ("deleted while its execution context was attached; delete components through the "
         "manager"));
    if (m_pManager != nullptr) {
        m_pManager->forgetComponent(this);
    } else {
        m_ec->stop();
        m_ec.reset();
    }
}

template <typename Callback>
ReturnCode_t RTObject_impl::guarded(const char* name, Callback callback) {
    ReturnCode_t result = RTC_ERROR;
    try {
        result = callback();
    } catch (const std::exception& e) {
        RTC_ERROR(("%s threw an exception: %s", name, e.what()));
        return RTC_ERROR;
    } catch (...) {
        RTC_ERROR(("%s threw an exception", name));
        return RTC_ERROR;
    }
    if (result != RTC_OK) RTC_ERROR(("%s returned %d", name, static_cast<int>(result)));
    return result;
}

ReturnCode_t RTObject_impl::on_initialize() {
    return guarded("onInitialize", [&] { return onInitialize(); });
}
ReturnCode_t RTObject_impl::on_finalize() {
    return guarded("onFinalize", [&] { return onFinalize(); });
}
ReturnCode_t RTObject_impl::on_startup(UniqueId id) {
    return guarded("onStartup", [&] { return onStartup(id); });
}
ReturnCode_t RTObject_impl::on_shutdown(UniqueId id) {
    return guarded("onShutdown", [&] { return onShutdown(id); });
}
ReturnCode_t RTObject_impl::on_activated(UniqueId id) {
    return guarded("onActivated", [&] { return onActivated(id); });
}
ReturnCode_t RTObject_impl::on_deactivated(UniqueId id) {
    return guarded("onDeactivated", [&] { return onDeactivated(id); });
}
ReturnCode_t RTObject_impl::on_execute(UniqueId id) {
    return guarded("onExecute", [&] { return onExecute(id); });
}
ReturnCode_t RTObject_impl::on_aborting(UniqueId id) {
    return guarded("onAborting", [&] { return onAborting(id); });
}
ReturnCode_t RTObject_impl::on_error(UniqueId id) {
    return guarded("onError", [&] { return onError(id); });
}
ReturnCode_t RTObject_impl::on_reset(UniqueId id) {
    return guarded("onReset", [&] { return onReset(id); });
}
ReturnCode_t RTObject_impl::on_state_update(UniqueId id) {
    return guarded("onStateUpdate", [&] { return onStateUpdate(id); });
}
ReturnCode_t RTObject_impl::on_rate_changed(UniqueId id) {
    return guarded("onRateChanged", [&] { return onRateChanged(id); });
}

ReturnCode_t RTObject_impl::initialize() {
    ReturnCode_t ret = on_initialize();
    if (ret != RTC_OK) return ret;
    std::string active = m_properties.getProperty("configuration.active_config", "default");
    if (!m_configsets.haveConfig(active.c_str())) active = "default";
    m_configsets.activateConfigurationSet(active.c_str());
    m_configsets.update(active.c_str());
    return RTC_OK;
}

ReturnCode_t RTObject_impl::finalize() {
    if (m_ec && m_ec->is_running()) return PRECONDITION_NOT_MET;
    return on_finalize();
}

ReturnCode_t RTObject_impl::exit() {
    if (m_pManager == nullptr) return PRECONDITION_NOT_MET;
    m_pManager->deleteComponent(this);
    return RTC_OK;
}

const char* RTObject_impl::getInstanceName() const {
    return m_properties.getProperty("instance_name").c_str();
}

void RTObject_impl::setInstanceName(const char* instance_name) {
    m_properties.setProperty("instance_name", instance_name ? instance_name : "");
    rtclog.setName(getInstanceName());
    for (PortBase* port : m_ports) port->setOwner(this);
}

const char* RTObject_impl::getTypeName() const {
    return m_properties.getProperty("type_name").c_str();
}

const char* RTObject_impl::getCategory() const {
    return m_properties.getProperty("category").c_str();
}

void RTObject_impl::setProperties(const coil::Properties& prop) {
    m_properties << prop;
    rtclog.setName(getInstanceName());
}

void RTObject_impl::updateParameters(const char* config_set) { m_configsets.update(config_set); }

bool RTObject_impl::addPort(PortBase& port) {
    if (std::find(m_ports.begin(), m_ports.end(), &port) != m_ports.end()) return false;
    for (PortBase* p : m_ports) {
        if (p->getShortName() == port.getShortName()) {
            RTC_ERROR(("a port named %s exists already", port.getShortName().c_str()));
            return false;
        }
    }
    port.setOwner(this);
    m_ports.push_back(&port);
    return true;
}

bool RTObject_impl::addInPort(const char* name, InPortBase& inport) {
    if (name != nullptr && inport.getShortName() != name) inport.setName(name);
    return addPort(inport);
}

void RTObject_impl::registerInPort(const char* name, InPortBase& inport) {
    addInPort(name, inport);
}

bool RTObject_impl::addOutPort(const char* name, OutPortBase& outport) {
    if (name != nullptr && outport.getShortName() != name) outport.setName(name);
    // The port's own connection settings from the component's properties:
    // the settings for every out port ("dataport") win over the port's own.
    coil::Properties own;
    for (const std::string& prefix :
         {"port.outport." + outport.getShortName(), std::string("port.outport.dataport")}) {
        if (const coil::Properties* node = m_properties.findNode(prefix)) own << *node;
    }
    outport.init(own);
    return addPort(outport);
}

void RTObject_impl::registerOutPort(const char* name, OutPortBase& outport) {
    addOutPort(name, outport);
}

bool RTObject_impl::removePort(PortBase& port) {
    auto it = std::find(m_ports.begin(), m_ports.end(), &port);
    if (it == m_ports.end()) return false;
    port.disconnect_all();
    port.setOwner(nullptr);
    m_ports.erase(it);
    return true;
}

bool RTObject_impl::removeInPort(InPortBase& port) { return removePort(port); }

bool RTObject_impl::removeOutPort(OutPortBase& port) { return removePort(port); }

PortBase* RTObject_impl::findPort(const std::string& name) const {
    for (PortBase* p : m_ports) {
        if (p->getShortName() == name || p->getName() == name) return p;
    }
    return nullptr;
}

void RTObject_impl::attachExecutionContext(std::unique_ptr<PeriodicExecutionContext> ec) {
    m_ec = std::move(ec);
}

std::unique_ptr<PeriodicExecutionContext> RTObject_impl::detachExecutionContext() {
    return std::move(m_ec);
}

ReturnCode_t RTObject_impl::onInitialize() { return RTC_OK; }
ReturnCode_t RTObject_impl::onFinalize() { return RTC_OK; }
ReturnCode_t RTObject_impl::onStartup(UniqueId) { return RTC_OK; }
ReturnCode_t RTObject_impl::onShutdown(UniqueId) { return RTC_OK; }
ReturnCode_t RTObject_impl::onActivated(UniqueId) { return RTC_OK; }
ReturnCode_t RTObject_impl::onDeactivated(UniqueId) { return RTC_OK; }
ReturnCode_t RTObject_impl::onExecute(UniqueId) { return RTC_OK; }
ReturnCode_t RTObject_impl::onAborting(UniqueId) { return RTC_OK; }
ReturnCode_t RTObject_impl::onError(UniqueId) { return RTC_OK; }
ReturnCode_t RTObject_impl::onReset(UniqueId) { return RTC_OK; }
ReturnCode_t RTObject_impl::onStateUpdate(UniqueId) { return RTC_OK; }
ReturnCode_t RTObject_impl::onRateChanged(UniqueId) { return RTC_OK; }

}  // namespace RTC
