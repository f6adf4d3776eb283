#include "RemoteConnector.h"

#include <omniORB4/omniORB.h>
#include <rtm/SystemLogger.h>

#include <string>

namespace RTC {
namespace corba {

RemoteConnector::RemoteConnector(const ConnectorInfo& info, const RTC::ConnectorProfile& profile,
                                 RTC::PortService_ptr self)
    : ConnectorBase(info), m_profile(profile), m_self(RTC::PortService::_duplicate(self)) {}

RemoteConnector::~RemoteConnector() { release(); }

void RemoteConnector::setTarget(OpenRTM::InPortCdr_ptr target) {
    m_target = OpenRTM::InPortCdr::_duplicate(target);
    // A receiver that hangs must not stall the sender's context for long.
    omniORB::setClientCallTimeout(m_target.in(), 2000);
}

void RemoteConnector::setServant(PortableServer::POA_ptr poa, const PortableServer::ObjectId& id) {
    m_poa = PortableServer::POA::_duplicate(poa);
    m_servantId = new PortableServer::ObjectId(id);
}

DataPortStatus::Enum RemoteConnector::putCdr(const unsigned char* data, std::size_t length) {
    if (CORBA::is_nil(m_target.in()) || m_lost.load()) return DataPortStatus::CONNECTION_LOST;
    // A receiver may have closed the connection while it was idle; the ORB
    // does not always notice before the request goes out. A failure that
    // provably came before the request left (COMPLETED_NO) is answered by a
    // second try on a new connection. Any other failure may have delivered
    // the sample already: it is reported, never sent again.
    for (int attempt = 1;; ++attempt) {
        try {
            const DataPortStatus::Enum status = putOnce(data, length);
            reportTimeouts();
            return status;
        } catch (const CORBA::TIMEOUT&) {
            // Like COMPLETED_MAYBE: the sample may have arrived, so it is
            // counted as sent; the run is logged once it ends.
            ++m_timeouts;
            return DataPortStatus::SEND_TIMEOUT;
        } catch (const CORBA::COMM_FAILURE& e) {
            if (e.completed() == CORBA::COMPLETED_NO && attempt < 2) continue;
        } catch (const CORBA::TRANSIENT& e) {
            if (e.completed() == CORBA::COMPLETED_NO && attempt < 2) continue;
        } catch (...) {
        }
        // Gone (refused, closed twice, no such object, a reply lost): the
        // connection is over.
        reportTimeouts();
        warn("the connection to the receiver failed; the connection is lost");
        m_lost = true;
        return DataPortStatus::CONNECTION_LOST;
    }
}

void RemoteConnector::reportTimeouts() {
    const unsigned long count = m_timeouts.exchange(0);
    if (count == 0) return;
    const std::string what = std::to_string(count) +
                             " put(s) timed out before the receiver answered; each sample may "
                             "or may not have arrived and was not sent again";
    warn(what.c_str());
}

void RemoteConnector::warn(const char* what) const {
    Logger rtclog(profile().name.c_str());
    RTC_WARN(("put on connection %s: %s", id().c_str(), what));
}

DataPortStatus::Enum RemoteConnector::putOnce(const unsigned char* data, std::size_t length) {
    // Wraps the encoder's buffer; nothing is copied on this side.
    OpenRTM::CdrData cdr(static_cast<CORBA::ULong>(length), static_cast<CORBA::ULong>(length),
                         const_cast<CORBA::Octet*>(data), false);
    switch (m_target->put(cdr)) {
        case OpenRTM::PORT_OK:
            return DataPortStatus::PORT_OK;
        // The receiver's buffer, not ours: the sender's side says so.
        case OpenRTM::BUFFER_FULL:
            return DataPortStatus::SEND_FULL;
        case OpenRTM::BUFFER_EMPTY:
            return DataPortStatus::BUFFER_EMPTY;
        // Not stored: unlike the call's own timeout, it may be sent again.
        case OpenRTM::BUFFER_TIMEOUT:
            return DataPortStatus::BUFFER_TIMEOUT;
        case OpenRTM::PORT_ERROR:
            return DataPortStatus::PORT_ERROR;
        default:
            return DataPortStatus::UNKNOWN_ERROR;
    }
}

void RemoteConnector::onDisconnect() {
    // Tell every other port of the connection, a lost one too: a failed put
    // says nothing about the port, which would otherwise keep its half and
    // refuse the same two ports later. A port that already forgot it answers
    // BAD_PARAMETER, one that is gone raises: both are fine.
    for (CORBA::ULong i = 0; i < m_profile.ports.length(); ++i) {
        RTC::PortService_ptr port = m_profile.ports[i];
        if (CORBA::is_nil(port)) continue;
        try {
            if (!CORBA::is_nil(m_self.in()) && port->_is_equivalent(m_self.in())) continue;
            omniORB::setClientCallTimeout(port, 1000);
            port->notify_disconnect(m_profile.connector_id);
        } catch (...) {
        }
    }
    release();
}

void RemoteConnector::release() {
    // The sending thread ends before what it sends through goes.
    stopPublisher();
    reportTimeouts();
    if (m_released.exchange(true)) return;
    if (!CORBA::is_nil(m_poa.in()) && m_servantId.operator->() != nullptr) {
        try {
            m_poa->deactivate_object(m_servantId.in());
        } catch (...) {
        }
    }
}

}  // namespace corba
}  // namespace RTC
