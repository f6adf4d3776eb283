// The manager's registry: component factories, the live components and the
// instance names (numbering, max_instance, names being created).
#pragma once

#include <coil/Properties.h>
#include <rtm/Factory.h>
#include <rtm/SystemLogger.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace RTC {

class RTObject_impl;

class ComponentRegistry {
  public:
    ComponentRegistry();
    ComponentRegistry(const ComponentRegistry&) = delete;
    ComponentRegistry& operator=(const ComponentRegistry&) = delete;

    // False (logged) for a profile without implementation_id, a missing
    // function or an id registered already.
    bool addFactory(const coil::Properties& profile, RtcNewFunc new_func,
                    RtcDeleteFunc delete_func);
    std::vector<coil::Properties> factoryProfiles() const;
    // Null for an unknown type. Factories stay for the process's lifetime.
    FactoryBase* factory(const std::string& type) const;

    // Whether a live component elsewhere (in the naming services) already
    // has this instance name; asked without the registry's lock held.
    using NameInUse = std::function<bool(const std::string& instance_name)>;

    // Reserves the instance name of a new component of type: requested, or
    // the type followed by the first number free here and, when in_use is
    // given, elsewhere. Empty (logged) when the type has reached max_instance
    // or the requested name is taken.
    std::string reserveName(const std::string& type, const std::string& requested,
                            const NameInUse& in_use = NameInUse());
    // Gives up a reservation whose component could not be made.
    void releaseName(const std::string& name);
    // Turns the reservation of reserved_name into a live entry for comp (the
    // network layer may have renumbered it since). False after close(): the
    // reservation then stays until releaseName().
    bool add(RTObject_impl* comp, const std::string& reserved_name);
    // False when comp is not registered; none_left tells whether it was the
    // last live component.
    bool remove(RTObject_impl* comp, bool& none_left);

    RTObject_impl* find(const char* instance_name) const;
    // In creation order.
    std::vector<RTObject_impl*> components() const;
    // Refuses new names from now on, waits until every component being
    // created is added or given up, and returns the live ones.
    std::vector<RTObject_impl*> close();

  private:
    struct FactoryEntry {
        std::unique_ptr<FactoryBase> factory;
        std::string implementationId;
    };

    bool nameTaken(const std::string& name) const;
    // The first number from `from` that makes type+number free here.
    int freeNumber(const std::string& type, int from) const;
    std::string renumber(const std::string& type, int number, const NameInUse& in_use);
    void dropReservation(const std::string& name);

    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_closed = false;
    std::vector<FactoryEntry> m_factories;
    std::vector<RTObject_impl*> m_components;
    // Names of components being created: (instance name, type).
    std::vector<std::pair<std::string, std::string>> m_reserved;
    Logger rtclog;
};

}  // namespace RTC
