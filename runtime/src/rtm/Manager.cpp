#include <rtm/Manager.h>
#include <rtm/PeriodicExecutionContext.h>

#include "../coil/ConfigReader.h"
#include "ComponentProperties.h"
#include "ComponentReaper.h"
#include "ComponentRegistry.h"
#include "LocalConnection.h"
#include "LogSink.h"
#include "ManagerConfig.h"
#include "ModuleLoader.h"
#include "NetworkLayer.h"
#include "PreStartActions.h"
#include "ShutdownSignal.h"

#include <coil/stringutil.h>

#include <unistd.h>

#include <cmath>

namespace RTC {

namespace {

Manager* g_manager = nullptr;
std::mutex g_instanceMutex;

}  // namespace

Manager::Manager()
    : m_config(new ManagerConfig()),
      m_modules(new ModuleLoader(*this)),
      m_registry(new ComponentRegistry()),
      m_reaper(new ComponentReaper()),
      rtclog("manager"),
      m_initProc(nullptr),
      m_shutdownDone(false) {}

Manager::~Manager() {}

Manager* Manager::init(int argc, char** argv) {
    std::lock_guard<std::mutex> guard(g_instanceMutex);
    if (g_manager != nullptr) return g_manager;
    g_manager = new Manager();
    g_manager->m_config->parseArgs(argc, argv);
    g_manager->configureLogger();
    g_manager->m_config->logWarnings();
    ShutdownSignal::install();
    if (NetworkLayer::Start start = NetworkLayer::provided())
        g_manager->m_network = start(*g_manager);
    Logger& rtclog = g_manager->rtclog;
    RTC_INFO(("manager started (%s, pid %d)",
              g_manager->getConfig().getProperty("openrtm.name").c_str(),
              static_cast<int>(getpid())));
    return g_manager;
}

Manager& Manager::instance() {
    {
        std::lock_guard<std::mutex> guard(g_instanceMutex);
        if (g_manager != nullptr) return *g_manager;
    }
    char name[] = "manager";
    char* argv[] = {name, nullptr};
    return *init(1, argv);
}

coil::Properties& Manager::getConfig() { return m_config->config(); }

void Manager::configureLogger() {
    const coil::Properties& config = getConfig();
    const bool enable = coil::toBool(config.getProperty("logger.enable"), "YES", "NO", true);
    int level = Logger::strToLogLevel(config.getProperty("logger.log_level"));
    if (level < 0) {
        m_config->addWarning("logger.log_level: unknown level '" +
                             coil::ConfigReader::printable(config.getProperty("logger.log_level"),
                                                           ManagerConfig::kMaxEcho) +
                             "'; INFO used");
        level = Logger::RTL_INFO;
    }
    for (const auto& failed :
         LogSink::instance().configure(enable, config.getProperty("logger.file_name"), level)) {
        m_config->addWarning("logger.file_name: cannot open '" +
                             coil::ConfigReader::printable(failed.first, ManagerConfig::kMaxEcho) +
                             "': " + failed.second + "; not logged there");
    }
}

void Manager::terminate() { ShutdownSignal::request(); }

void Manager::runManager(bool no_block) {
    if (!no_block) {
        ShutdownSignal::wait();
        shutdown();
        return;
    }
    if (m_runner.joinable()) return;
    m_runner = std::thread([this] {
        ShutdownSignal::wait();
        shutdown();
    });
}

void Manager::join() {
    if (m_runner.joinable() && m_runner.get_id() != std::this_thread::get_id()) m_runner.join();
}

void Manager::shutdown() {
    std::lock_guard<std::mutex> once(m_shutdownMutex);
    if (m_shutdownDone) return;
    RTC_INFO(("shutting down"));
    // No component is created from here on; those being created are finished
    // and then deleted by their creator.
    std::vector<RTObject_impl*> comps = m_registry->close();
    // In creation order, as the framework's manager does.
    for (RTObject_impl* comp : comps) deleteComponent(comp);
    // Deletions still under way (exit() from a callback or from a peer) are
    // finished while the network layer can still unbind and tell peers.
    m_reaper->stop();
    if (m_network) m_network->shutdown();
    RTC_INFO(("shutdown complete"));
    m_shutdownDone = true;
    LogSink::instance().close();
}

bool Manager::activateManager() {
    if (m_initProc != nullptr) m_initProc(this);
    const coil::Properties& config = getConfig();
    m_modules->preload(config.getProperty("manager.modules.load_path"),
                       config.getProperty("manager.modules.preload"));
    PreStartActions actions(*this, m_network.get());
    actions.precreate(config.getProperty("manager.components.precreate"));
    actions.preconnect(config.getProperty("manager.components.preconnect"));
    actions.preactivate(config.getProperty("manager.components.preactivation"));
    return true;
}

ReturnCode_t Manager::load(const std::string& fname, const std::string& initfunc) {
    return m_modules->load(getConfig().getProperty("manager.modules.load_path"), fname, initfunc);
}

bool Manager::registerFactory(coil::Properties& profile, RtcNewFunc new_func,
                              RtcDeleteFunc delete_func) {
    return m_registry->addFactory(profile, new_func, delete_func);
}

std::vector<coil::Properties> Manager::getFactoryProfiles() const {
    return m_registry->factoryProfiles();
}

double Manager::executionRate(const std::string& profile_rate, const std::string& file_rate) const {
    double rate = PeriodicExecutionContext::kDefaultRate;
    auto take = [this, &rate](const std::string& text) {
        double v = 0.0;
        if (text.empty()) return;
        if (!coil::stringTo(v, text.c_str()) || !PeriodicExecutionContext::rateInRange(v)) {
            RTC_WARN(("exec_cxt.periodic.rate '%s' is not a rate from %g to %g Hz; ignored",
                      text.c_str(), PeriodicExecutionContext::kMinRate,
                      PeriodicExecutionContext::kMaxRate));
            return;
        }
        rate = v;
    };
    take(profile_rate);
    take(m_config->setByUser().getProperty("exec_cxt.periodic.rate"));
    take(file_rate);
    return rate;
}

RTObject_impl* Manager::createComponent(const char* comp_args) {
    if (comp_args == nullptr || comp_args[0] == '\0') {
        RTC_ERROR(("createComponent: empty component name"));
        return nullptr;
    }
    ComponentProperties request(comp_args);
    const std::string& type = request.type();

    FactoryBase* factory = m_registry->factory(type);
    if (factory == nullptr) {
        RTC_ERROR(("createComponent: no factory for '%s'", type.c_str()));
        return nullptr;
    }
    // Under a numbering policy the network layer says which names are taken elsewhere.
    const std::string policy =
        coil::normalize(getConfig().getProperty("manager.components.naming_policy"));
    ComponentRegistry::NameInUse in_use;
    if (m_network && (policy == "ns_unique" || policy == "node_unique"))
        in_use = [this, policy](const std::string& n) { return m_network->nameInUse(n, policy); };
    const std::string instance_name =
        m_registry->reserveName(type, request.requestedName(), in_use);
    if (instance_name.empty()) return nullptr;
    const coil::Properties& profile = factory->profile();
    const coil::Properties comp_prop = request.assemble(profile, instance_name, getConfig());

    RTObject_impl* comp = nullptr;
    try {
        comp = factory->create(this);
    } catch (...) {
        comp = nullptr;
    }
    if (comp == nullptr) {
        RTC_ERROR(("createComponent: the factory of %s failed", type.c_str()));
        m_registry->releaseName(instance_name);
        return nullptr;
    }
    comp->setProperties(comp_prop);
    comp->setInstanceName(instance_name.c_str());
    if (comp->initialize() != RTC_OK) {
        RTC_ERROR(("createComponent: onInitialize of %s failed", instance_name.c_str()));
        try {
            factory->destroy(comp);
        } catch (...) {
        }
        m_registry->releaseName(instance_name);
        return nullptr;
    }

    const double rate = executionRate(request.profileRate(profile), request.fileRate());
    comp->attachExecutionContext(
        std::unique_ptr<PeriodicExecutionContext>(new PeriodicExecutionContext(comp, rate)));
    comp->getOwnedExecutionContext()->start();
    if (m_network) m_network->componentCreated(comp);
    // Only now may others find (and delete) it; the reservation kept its name.
    if (!m_registry->add(comp, instance_name)) {
        RTC_ERROR(("createComponent: %s was made during shutdown; deleted", instance_name.c_str()));
        destroyComponent(comp);
        m_registry->releaseName(instance_name);
        return nullptr;
    }
    // From here a peer may already have deleted it (exit() over the network).
    RTC_INFO(("component %s created (%g Hz)", instance_name.c_str(), rate));
    return comp;
}

void Manager::destroyComponent(RTObject_impl* comp) {
    FactoryBase* factory = m_registry->factory(comp->getTypeName());
    const std::string name = comp->getInstanceName();
    std::unique_ptr<PeriodicExecutionContext> ec = releaseComponent(comp);
    if (factory != nullptr) {
        try {
            factory->destroy(comp);
        } catch (...) {
            RTC_ERROR(("the delete function of %s threw", name.c_str()));
        }
    }
    RTC_INFO(("component %s deleted", name.c_str()));
}

std::unique_ptr<PeriodicExecutionContext> Manager::releaseComponent(RTObject_impl* comp) {
    if (m_network) m_network->componentDeleting(comp);
    if (PeriodicExecutionContext* ec = comp->getOwnedExecutionContext()) ec->stop();
    comp->finalize();
    return comp->detachExecutionContext();
}

void Manager::forgetComponent(RTObject_impl* comp) {
    bool none_left = false;
    m_registry->remove(comp, none_left);
    releaseComponent(comp);
}

void Manager::deleteComponent(RTObject_impl* comp) {
    if (comp == nullptr) return;
    bool none_left = false;
    if (!m_registry->remove(comp, none_left)) return;
    // As the framework does: a process whose last component has gone ends,
    // once that component is unbound and deleted.
    const bool end_process =
        none_left &&
        coil::toBool(getConfig().getProperty("manager.shutdown_on_nortcs"), "YES", "NO", true);
    auto finish = [this, comp, end_process] {
        destroyComponent(comp);
        if (end_process) terminate();
    };
    // A component in ERROR is reset (onReset) before it goes, as the
    // framework does; from its own callback the reset is queued and still runs
    // before the context ends.
    PeriodicExecutionContext* ec = comp->getOwnedExecutionContext();
    if (ec != nullptr && ec->get_component_state() == ERROR_STATE) ec->reset_component();
    // A component deleting itself from its own callback: its context ends
    // after the callback returns, so the reaper (which joins it) finishes.
    if (ec != nullptr && ec->is_running() && ec->stop() == RTC_OK && ec->is_running()) {
        if (!m_reaper->post(finish))
            RTC_ERROR(("cannot delete %s: the manager has shut down", comp->getInstanceName()));
        return;
    }
    finish();
}

void Manager::requestDelete(const std::string& instance_name) {
    if (!m_reaper->post([this, instance_name] { deleteComponent(instance_name.c_str()); }))
        RTC_ERROR(("cannot delete %s: the manager has shut down", instance_name.c_str()));
}

void Manager::deleteComponent(const char* instance_name) {
    deleteComponent(getComponent(instance_name));
}

RTObject_impl* Manager::getComponent(const char* instance_name) const {
    return m_registry->find(instance_name);
}

std::vector<RTObject_impl*> Manager::getComponents() const { return m_registry->components(); }

ReturnCode_t Manager::connectPorts(const std::string& out_port, const std::string& in_port,
                                   const coil::Properties& prop) {
    auto find = [this](const std::string& full) -> PortBase* {
        const auto dot = full.rfind('.');
        if (dot == std::string::npos) return nullptr;
        RTObject_impl* comp = getComponent(full.substr(0, dot).c_str());
        return comp ? comp->findPort(full.substr(dot + 1)) : nullptr;
    };
    if (out_port.find("://") != std::string::npos || in_port.find("://") != std::string::npos) {
        if (m_network && m_network->connectRemote(out_port, in_port, prop)) return RTC_OK;
        RTC_ERROR(("cannot connect %s -> %s: remote ports are not reachable", out_port.c_str(),
                   in_port.c_str()));
        return RTC_ERROR;
    }
    auto* out = dynamic_cast<OutPortBase*>(find(out_port));
    auto* in = dynamic_cast<InPortBase*>(find(in_port));
    if (out == nullptr || in == nullptr) {
        // The pair may be given in the other order.
        out = dynamic_cast<OutPortBase*>(find(in_port));
        in = dynamic_cast<InPortBase*>(find(out_port));
    }
    if (out == nullptr || in == nullptr) {
        if (m_network && m_network->connectRemote(out_port, in_port, prop)) return RTC_OK;
        RTC_ERROR(
            ("cannot connect %s -> %s: no such pair of ports", out_port.c_str(), in_port.c_str()));
        return BAD_PARAMETER;
    }
    ReturnCode_t r = connectLocal(*out, *in, prop);
    if (r != RTC_OK) {
        RTC_ERROR(("cannot connect %s -> %s: data types differ (%s, %s)", out_port.c_str(),
                   in_port.c_str(), out->dataType().c_str(), in->dataType().c_str()));
    }
    return r;
}

}  // namespace RTC
