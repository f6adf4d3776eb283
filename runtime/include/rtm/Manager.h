// The process-wide manager: configuration, logging, modules, factories,
// components and their execution contexts, and the process's lifetime.
#pragma once

#include <coil/Properties.h>
#include <rtm/Factory.h>
#include <rtm/RTC.h>
#include <rtm/RTObject.h>
#include <rtm/SystemLogger.h>

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace RTC {

class ComponentReaper;
class ComponentRegistry;
class ManagerConfig;
class ModuleLoader;
class NetworkLayer;

typedef void (*ModuleInitProc)(Manager* manager);

class Manager {
  public:
    // Creates the manager from the command line on the first call (options
    // -f FILE, -o key:value, -h; otherwise ./rtc.conf when present) and
    // returns it; later calls return the same manager.
    static Manager* init(int argc, char** argv);
    static Manager& instance();

    // Asks for shutdown from any thread (also from a callback); runManager()
    // then carries it out.
    void terminate();
    // Stops every context, finalizes and deletes every component.
    void shutdown();
    // Waits until shutdown has finished (after runManager(true)).
    void join();

    coil::Properties& getConfig();
    void setModuleInitProc(ModuleInitProc proc) { m_initProc = proc; }
    // Runs the module init procedure, then the configured preload,
    // precreate, preconnect and preactivation steps.
    bool activateManager();
    // false: blocks until shutdown (SIGINT, SIGTERM or terminate()).
    // true: returns at once; shutdown runs on a thread of the manager.
    void runManager(bool no_block = false);

    // Loads a module (dlopen) and calls its init function (default: the file
    // name without extension followed by "Init").
    ReturnCode_t load(const std::string& fname, const std::string& initfunc = "");

    bool registerFactory(coil::Properties& profile, RtcNewFunc new_func, RtcDeleteFunc delete_func);
    std::vector<coil::Properties> getFactoryProfiles() const;

    // "Type" or "Type?key=value&...". Null (never an exception) for an
    // unknown type, max_instance reached, or a failed onInitialize.
    RTObject_impl* createComponent(const char* comp_args);
    // Stops the component's context, finalizes and deletes it.
    void deleteComponent(RTObject_impl* comp);
    void deleteComponent(const char* instance_name);
    // Deletes the named component on a thread of the manager, for callers
    // that must return first (a remote exit() is itself a call on the
    // component). shutdown() finishes such deletions before it returns.
    void requestDelete(const std::string& instance_name);
    RTObject_impl* getComponent(const char* instance_name) const;
    std::vector<RTObject_impl*> getComponents() const;

    // Connects "Comp0.out" to "Comp1.in" in this process.
    ReturnCode_t connectPorts(const std::string& out_port, const std::string& in_port,
                              const coil::Properties& prop = coil::Properties());

    // Execution rate a new instance gets, by precedence: built-in default,
    // its profile, the manager's configuration, its own configuration file.
    double executionRate(const std::string& profile_rate, const std::string& file_rate) const;

  private:
    Manager();
    ~Manager();
    void configureLogger();
    void destroyComponent(RTObject_impl* comp);
    // Takes comp out of the network layer, stops its context and finalizes
    // it; the context is handed back.
    std::unique_ptr<PeriodicExecutionContext> releaseComponent(RTObject_impl* comp);
    // For a component deleted behind the manager's back (see RTObject_impl).
    friend class RTObject_impl;
    void forgetComponent(RTObject_impl* comp);

    std::unique_ptr<ManagerConfig> m_config;
    std::unique_ptr<ModuleLoader> m_modules;
    std::unique_ptr<ComponentRegistry> m_registry;
    std::unique_ptr<ComponentReaper> m_reaper;
    Logger rtclog;
    ModuleInitProc m_initProc;
    std::unique_ptr<NetworkLayer> m_network;
    std::mutex m_shutdownMutex;
    bool m_shutdownDone;
    std::thread m_runner;
};

}  // namespace RTC
