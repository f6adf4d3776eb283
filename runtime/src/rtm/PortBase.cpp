#include <rtm/PortBase.h>
#include <rtm/RTObject.h>

#include "ConnectorBase.h"

#include <algorithm>
#include <chrono>
#include <system_error>

namespace RTC {

PortBase::PortBase(const char* name)
    : m_shortName(name ? name : ""), m_name(m_shortName), m_owner(nullptr) {}

PortBase::~PortBase() {
    disconnect_all();
    // The lost connections' peers are told before the port goes.
    std::lock_guard<std::mutex> guard(m_noticesMutex);
    m_notices.clear();
}

std::string PortBase::getName() const { return m_name; }

void PortBase::setName(const char* name) { m_name = name ? name : ""; }

void PortBase::setOwner(RTObject_impl* owner) {
    m_owner = owner;
    m_name = owner ? std::string(owner->getInstanceName()) + "." + m_shortName : m_shortName;
}

std::vector<ConnectorInfo> PortBase::getConnectorProfiles() const {
    std::lock_guard<std::mutex> guard(m_connectorsMutex);
    std::vector<ConnectorInfo> profiles;
    for (const auto& c : m_connectors) profiles.push_back(c->profile());
    return profiles;
}

std::vector<std::shared_ptr<ConnectorBase>> PortBase::getConnectors() const {
    std::lock_guard<std::mutex> guard(m_connectorsMutex);
    return m_connectors;
}

bool PortBase::hasConnector(const std::string& id) const {
    std::lock_guard<std::mutex> guard(m_connectorsMutex);
    return std::any_of(m_connectors.begin(), m_connectors.end(),
                       [&](const std::shared_ptr<ConnectorBase>& c) { return c->id() == id; });
}

bool PortBase::disconnect(const std::string& id) {
    std::shared_ptr<ConnectorBase> connector = removeConnector(id);
    if (!connector) return false;
    // Outside our lock: the other end takes its own.
    connector->onDisconnect();
    return true;
}

void PortBase::disconnect_all() {
    std::vector<std::shared_ptr<ConnectorBase>> all;
    {
        std::lock_guard<std::mutex> guard(m_connectorsMutex);
        all.swap(m_connectors);
    }
    for (const auto& c : all) {
        connectorRemoved(c->id());
        c->stopPublisher();
        c->onDisconnect();
    }
}

void PortBase::dropLostConnectors() {
    std::vector<std::shared_ptr<ConnectorBase>> lost;
    {
        std::lock_guard<std::mutex> guard(m_connectorsMutex);
        for (auto it = m_connectors.begin(); it != m_connectors.end();) {
            if ((*it)->lost()) {
                lost.push_back(*it);
                it = m_connectors.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto& c : lost) {
        connectorRemoved(c->id());
        c->stopPublisher();
        tellLater(c);
    }
}

void PortBase::tellLater(const std::shared_ptr<ConnectorBase>& connector) {
    std::lock_guard<std::mutex> guard(m_noticesMutex);
    m_notices.erase(std::remove_if(m_notices.begin(), m_notices.end(),
                                   [](const std::future<void>& f) {
                                       return f.wait_for(std::chrono::seconds(0)) ==
                                              std::future_status::ready;
                                   }),
                    m_notices.end());
    // The peers of a lost connection may be gone too: telling them can take
    // a call timeout each, which is not the writer's to wait for.
    try {
        m_notices.push_back(
            std::async(std::launch::async, [connector] { connector->onDisconnect(); }));
        return;
    } catch (const std::system_error&) {
        // No thread to be had: told here, late rather than never.
    }
    connector->onDisconnect();
}

void PortBase::addConnector(const std::shared_ptr<ConnectorBase>& connector) {
    connectorAdded(*connector);
    std::lock_guard<std::mutex> guard(m_connectorsMutex);
    m_connectors.push_back(connector);
}

std::shared_ptr<ConnectorBase> PortBase::removeConnectorAfterSending(const std::string& id) {
    std::lock_guard<std::mutex> sending(m_sendMutex);
    return removeConnector(id);
}

std::shared_ptr<ConnectorBase> PortBase::removeConnector(const std::string& id) {
    std::shared_ptr<ConnectorBase> found;
    {
        std::lock_guard<std::mutex> guard(m_connectorsMutex);
        for (auto it = m_connectors.begin(); it != m_connectors.end(); ++it) {
            if ((*it)->id() == id) {
                found = *it;
                m_connectors.erase(it);
                break;
            }
        }
    }
    // Outside the lock: a send in progress may call back into this port.
    if (found) {
        connectorRemoved(id);
        found->stopPublisher();
    }
    return found;
}

}  // namespace RTC
