// What the manager asks of the layer that makes its components reachable
// from other processes. The core owns this interface and never names the
// layer: the layer's library hands the manager a start function as it is
// loaded (provide()), and Manager::init() starts it. Without one the
// manager's components and connections stay inside the process.
#pragma once

#include <coil/Properties.h>

#include <memory>
#include <string>

namespace RTC {

class Manager;
class RTObject_impl;

class NetworkLayer {
  public:
    // Starts the layer for a manager whose configuration has been read.
    typedef std::unique_ptr<NetworkLayer> (*Start)(Manager& manager);
    // Called once by the layer's library while it loads (static
    // initialisation), before any manager exists.
    static void provide(Start start);
    // The start function provided, or null.
    static Start provided();

    virtual ~NetworkLayer() {}

    // A component was created and initialised: make it reachable (register).
    virtual void componentCreated(RTObject_impl* comp) = 0;
    // A component is about to be finalised and deleted (unregister).
    virtual void componentDeleting(RTObject_impl* comp) = 0;
    // Connects two ports of which at least one lives in another process.
    virtual bool connectRemote(const std::string& out_port, const std::string& in_port,
                               const coil::Properties& prop) = 0;
    // Activates a component in another process.
    virtual bool activateRemote(const std::string& name) = 0;
    // True when a live component elsewhere already has this instance name
    // under the numbering policy ("ns_unique": anywhere in the name servers,
    // "node_unique": under this host's context).
    virtual bool nameInUse(const std::string& instance_name, const std::string& policy) = 0;
    // The manager has deleted every component; the layer stops serving.
    virtual void shutdown() = 0;
};

}  // namespace RTC
