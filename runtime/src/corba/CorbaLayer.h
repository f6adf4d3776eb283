// The runtime on the network: every component, its execution context, its
// ports and its configuration become CORBA objects with the framework's
// interfaces; components are registered with a naming service; data ports
// connect across processes through the framework's corba_cdr connectors.
#pragma once

#include <rtm/Manager.h>
#include <rtm/PortBase.h>
#include <rtm/RTObject.h>
#include <rtm/SystemLogger.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "NameRegistrar.h"
#include "OpenRTM.hh"
#include "rtm/NetworkLayer.h"

namespace RTC {
namespace corba {

class CorbaLayer;

// What the servants of one component share. comp is null once the component
// is being deleted; servants hold `lock` shared while they use it.
struct ComponentEntry {
    std::shared_mutex lock;
    RTObject_impl* comp = nullptr;
    CorbaLayer* layer = nullptr;
    std::string instanceName;
    CORBA::Object_var compRef;
    CORBA::Object_var ecRef;
    CORBA::Object_var configRef;
    std::mutex idsMutex;
    std::vector<PortableServer::ObjectId_var> ids;
    // Ports that have a servant, with its reference.
    std::mutex portsMutex;
    std::vector<std::pair<PortBase*, CORBA::Object_var>> ports;
    bool registered = false;
};

class CorbaLayer : public NetworkLayer {
  public:
    CorbaLayer(Manager& manager, CORBA::ORB_ptr orb, PortableServer::POA_ptr poa);
    ~CorbaLayer() override;

    void componentCreated(RTObject_impl* comp) override;
    void componentDeleting(RTObject_impl* comp) override;
    bool connectRemote(const std::string& out_port, const std::string& in_port,
                       const coil::Properties& prop) override;
    bool activateRemote(const std::string& name) override;
    void shutdown() override;
    bool nameInUse(const std::string& instance_name, const std::string& policy) override;

    CORBA::ORB_ptr orb() const { return m_orb.in(); }
    PortableServer::POA_ptr poa() const { return m_poa.in(); }

    // The reference of a port of a live component (creating its servant when
    // the port was added late); nil when unknown.
    RTC::PortService_ptr portRef(const std::shared_ptr<ComponentEntry>& entry, PortBase* port);
    // Every port reference of a component, in registration order.
    RTC::PortServiceList* portRefs(const std::shared_ptr<ComponentEntry>& entry);
    // Reference of a port anywhere in this process, by full name ("Comp0.in").
    RTC::PortService_ptr findLocalPort(const std::string& full_name);

    // Registers a servant with the POA and takes over its reference count.
    CORBA::Object_ptr activate(PortableServer::ServantBase* servant, ComponentEntry& entry);

  private:
    RTC::PortService_ptr resolvePort(const std::string& name);
    RTC::RTObject_ptr resolveComponent(const std::string& rtcname);
    void namingLoop();

    Manager& m_manager;
    CORBA::ORB_var m_orb;
    PortableServer::POA_var m_poa;
    Logger rtclog;
    std::mutex m_mutex;
    std::map<RTObject_impl*, std::shared_ptr<ComponentEntry>> m_entries;

    bool m_namingEnabled;
    // bind() and unbind() run under m_namingMutex: the retry thread never
    // binds again a component that is being unbound.
    NameRegistrar m_names;
    std::mutex m_namingMutex;
    std::condition_variable m_namingCond;
    bool m_stopNaming = false;
    std::atomic<bool> m_orbDown{false};
    std::thread m_namingThread;
};

// Starts the ORB from the manager's configuration (OrbOptions) and the layer
// on it; ends the process with a message on standard error when the ORB
// cannot start. Defined in OrbStart.cpp, which provides it to the manager
// (NetworkLayer::provide) as the library loads.
std::unique_ptr<NetworkLayer> startCorbaLayer(Manager& manager);

}  // namespace corba
}  // namespace RTC
