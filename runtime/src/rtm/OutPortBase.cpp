#include <rtm/OutPortBase.h>

#include "ConnectorBase.h"
#include "Publisher.h"
#include "PublisherSettings.h"

#include <mutex>

namespace RTC {

OutPortBase::OutPortBase(const char* name) : PortBase(name) {}

OutPortBase::~OutPortBase() {}

const char* OutPortBase::subscriptionTypes() { return kOutPortSubscriptionTypes; }

void OutPortBase::init(const coil::Properties& prop) {
    std::lock_guard<std::mutex> guard(m_connectorsMutex);
    m_own = prop;
}

coil::Properties OutPortBase::connectionProperties(const coil::Properties& requested) const {
    coil::Properties merged(requested);
    std::lock_guard<std::mutex> guard(m_connectorsMutex);
    // The connection's "dataport.outport.<key>", then its "dataport.<key>",
    // then the port's own <key>: the port fills in only what is not asked for.
    for (const std::string& key : m_own.propertyNames()) {
        const std::string outKey = "dataport.outport." + key;
        if (!requested.getProperty(outKey).empty() ||
            !requested.getProperty("dataport." + key).empty())
            continue;
        merged.setProperty(outKey, m_own.getProperty(key));
    }
    return merged;
}

bool OutPortBase::publish(const void* value, Encoder encode) {
    bool all_ok = true;
    bool any_lost = false;
    bool encoded[2] = {false, false};
    // No port lock is held while sending: a peer may call back into this
    // port (a disconnect) before its put returns.
    std::lock_guard<std::mutex> writing(m_sendMutex);
    {
        std::lock_guard<std::mutex> guard(m_connectorsMutex);
        m_sending.assign(m_connectors.begin(), m_connectors.end());
    }
    for (const auto& connector : m_sending) {
        Publisher* publisher = connector->publisher();
        // Encode once per byte order, only when a connection needs it.
        const int order = connector->littleEndian() ? 1 : 0;
        if (!encoded[order]) {
            encode(value, order == 1, m_cdr[order]);
            encoded[order] = true;
        }
        const auto* data = static_cast<const unsigned char*>(m_cdr[order].bufPtr());
        const std::size_t size = m_cdr[order].bufSize();
        const DataPortStatus::Enum status =
            publisher != nullptr ? publisher->write(data, size) : connector->putCdr(data, size);
        if (status != DataPortStatus::PORT_OK) all_ok = false;
        if (status == DataPortStatus::CONNECTION_LOST) any_lost = true;
    }
    m_sending.clear();
    if (any_lost) dropLostConnectors();
    return all_ok;
}

}  // namespace RTC
