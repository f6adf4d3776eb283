#include "ComponentRegistry.h"

#include <coil/stringutil.h>
#include <rtm/RTObject.h>

#include <algorithm>
#include <cstring>

namespace RTC {

ComponentRegistry::ComponentRegistry() : rtclog("manager") {}

bool ComponentRegistry::addFactory(const coil::Properties& profile, RtcNewFunc new_func,
                                   RtcDeleteFunc delete_func) {
    const std::string id = profile.getProperty("implementation_id");
    if (id.empty() || new_func == nullptr || delete_func == nullptr) {
        RTC_ERROR(("registerFactory: profile without implementation_id or missing functions"));
        return false;
    }
    std::lock_guard<std::mutex> guard(m_mutex);
    for (const auto& f : m_factories) {
        if (f.implementationId == id) {
            RTC_WARN(("factory %s is registered already", id.c_str()));
            return false;
        }
    }
    m_factories.push_back(FactoryEntry{
        std::unique_ptr<FactoryBase>(new FactoryCXX(profile, new_func, delete_func)), id});
    RTC_INFO(("factory %s registered", id.c_str()));
    return true;
}

std::vector<coil::Properties> ComponentRegistry::factoryProfiles() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    std::vector<coil::Properties> profiles;
    for (const auto& f : m_factories) profiles.push_back(f.factory->profile());
    return profiles;
}

FactoryBase* ComponentRegistry::factory(const std::string& type) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    for (const auto& f : m_factories) {
        if (f.implementationId == type) return f.factory.get();
    }
    return nullptr;
}

bool ComponentRegistry::nameTaken(const std::string& name) const {
    for (RTObject_impl* c : m_components) {
        if (name == c->getInstanceName()) return true;
    }
    for (const auto& r : m_reserved) {
        if (r.first == name) return true;
    }
    return false;
}

int ComponentRegistry::freeNumber(const std::string& type, int from) const {
    int n = from;
    while (nameTaken(type + std::to_string(n))) ++n;
    return n;
}

std::string ComponentRegistry::reserveName(const std::string& type, const std::string& requested,
                                           const NameInUse& in_use) {
    int number = 0;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_closed) {
            RTC_ERROR(("createComponent: the manager is shutting down"));
            return "";
        }
        long max_instance = 0;
        for (const auto& f : m_factories) {
            if (f.implementationId == type)
                coil::stringTo(max_instance,
                               f.factory->profile().getProperty("max_instance").c_str());
        }
        long count = std::count_if(m_components.begin(), m_components.end(),
                                   [&](RTObject_impl* c) { return type == c->getTypeName(); });
        count += std::count_if(
            m_reserved.begin(), m_reserved.end(),
            [&](const std::pair<std::string, std::string>& r) { return r.second == type; });
        if (max_instance > 0 && count >= max_instance) {
            RTC_ERROR(
                ("createComponent: %s has reached max_instance %ld", type.c_str(), max_instance));
            return "";
        }
        if (!requested.empty()) {
            if (nameTaken(requested)) {
                RTC_ERROR(("createComponent: instance name %s is taken", requested.c_str()));
                return "";
            }
            m_reserved.emplace_back(requested, type);
            return requested;
        }
        number = freeNumber(type, 0);
        m_reserved.emplace_back(type + std::to_string(number), type);
    }
    return in_use ? renumber(type, number, in_use) : type + std::to_string(number);
}

std::string ComponentRegistry::renumber(const std::string& type, int number,
                                        const NameInUse& in_use) {
    // The reservation moves up past the numbers taken elsewhere; the naming
    // services are asked without the lock, so a slow one stalls no other call.
    const std::string first = type + std::to_string(number);
    std::string name = first;
    while (number < 1000 && in_use(name)) {
        std::lock_guard<std::mutex> guard(m_mutex);
        number = freeNumber(type, number + 1);
        const std::string next = type + std::to_string(number);
        for (auto& r : m_reserved) {
            if (r.first == name) r.first = next;
        }
        name = next;
    }
    if (name != first)
        RTC_INFO(("%s is taken in the naming service; this instance is %s", first.c_str(),
                  name.c_str()));
    return name;
}

void ComponentRegistry::dropReservation(const std::string& name) {
    m_reserved.erase(std::remove_if(m_reserved.begin(), m_reserved.end(),
                                    [&](const std::pair<std::string, std::string>& r) {
                                        return r.first == name;
                                    }),
                     m_reserved.end());
    m_released.notify_all();
}

void ComponentRegistry::releaseName(const std::string& name) {
    std::lock_guard<std::mutex> guard(m_mutex);
    dropReservation(name);
}

bool ComponentRegistry::add(RTObject_impl* comp, const std::string& reserved_name) {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_closed) return false;
    dropReservation(reserved_name);
    m_components.push_back(comp);
    return true;
}

std::vector<RTObject_impl*> ComponentRegistry::close() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_closed = true;
    m_released.wait(lock, [this] { return m_reserved.empty(); });
    return m_components;
}

bool ComponentRegistry::remove(RTObject_impl* comp, bool& none_left) {
    std::lock_guard<std::mutex> guard(m_mutex);
    auto it = std::find(m_components.begin(), m_components.end(), comp);
    if (it == m_components.end()) return false;
    m_components.erase(it);
    none_left = m_components.empty();
    return true;
}

RTObject_impl* ComponentRegistry::find(const char* instance_name) const {
    if (instance_name == nullptr) return nullptr;
    std::lock_guard<std::mutex> guard(m_mutex);
    for (RTObject_impl* c : m_components) {
        if (std::strcmp(c->getInstanceName(), instance_name) == 0) return c;
    }
    return nullptr;
}

std::vector<RTObject_impl*> ComponentRegistry::components() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_components;
}

}  // namespace RTC
