// Common part of data ports: name, owner, profile properties and the list of
// connections. A port's full name is "<instance>.<port>" once it belongs to a
// component.
#pragma once

#include <coil/Properties.h>

#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace RTC {

class ConnectorBase;
class RTObject_impl;
struct ConnectorInfo;

class PortBase {
  public:
    explicit PortBase(const char* name = "");
    // Disconnects every connection of the port.
    virtual ~PortBase();
    PortBase(const PortBase&) = delete;
    PortBase& operator=(const PortBase&) = delete;

    // Full name ("Comp0.in") when owned, else the name given at construction.
    std::string getName() const;
    // The name given at construction ("in").
    const std::string& getShortName() const { return m_shortName; }
    void setName(const char* name);
    void setOwner(RTObject_impl* owner);
    RTObject_impl* getOwner() const { return m_owner; }
    coil::Properties& properties() { return m_properties; }
    const coil::Properties& properties() const { return m_properties; }

    // "DataInPort" or "DataOutPort".
    virtual const char* portType() const = 0;
    // Repository id of the data type ("IDL:RTC/TimedString:1.0").
    virtual const std::string& dataType() const = 0;

    std::vector<ConnectorInfo> getConnectorProfiles() const;
    std::vector<std::shared_ptr<ConnectorBase>> getConnectors() const;
    bool hasConnector(const std::string& id) const;
    // Removes one connection on both ends; false when the id is unknown.
    bool disconnect(const std::string& id);
    void disconnect_all();

    // Ends the connections whose other end is gone; their peers are told
    // from a thread of their own, not the caller's.
    void dropLostConnectors();

    // Connection bookkeeping, used by connectors. A removed connection's
    // sending thread has ended when removeConnector returns.
    void addConnector(const std::shared_ptr<ConnectorBase>& connector);
    std::shared_ptr<ConnectorBase> removeConnector(const std::string& id);
    // Like removeConnector, but first waits for a write in progress, so that
    // the receiving port may be destroyed afterwards.
    std::shared_ptr<ConnectorBase> removeConnectorAfterSending(const std::string& id);

  protected:
    // Told of each connection as it joins the port, and as it leaves it:
    // after it is out of the list, before its sending thread is stopped and
    // before the other end hears of it.
    virtual void connectorAdded(const ConnectorBase& connector) { (void)connector; }
    virtual void connectorRemoved(const std::string& id) { (void)id; }

    mutable std::mutex m_connectorsMutex;
    // Held by an output port while it sends one sample.
    std::mutex m_sendMutex;
    std::vector<std::shared_ptr<ConnectorBase>> m_connectors;
    coil::Properties m_properties;

  private:
    // Calls the connector's onDisconnect() on a thread of its own.
    void tellLater(const std::shared_ptr<ConnectorBase>& connector);

    std::mutex m_noticesMutex;
    std::vector<std::future<void>> m_notices;  // lost connections' peers being told
    std::string m_shortName;
    std::string m_name;
    RTObject_impl* m_owner;
};

}  // namespace RTC
