// One end of a corba_cdr connection with a port in another process (or
// reached through the ORB). The sending end pushes CDR data with
// InPortCdr::put; the receiving end owns the InPortCdr servant.
#pragma once

#include "rtm/ConnectorBase.h"

#include <atomic>

#include "DataPort_OpenRTM.hh"
#include "RTC.hh"

namespace RTC {
namespace corba {

class RemoteConnector : public ConnectorBase {
  public:
    // self: the reference of the port this end belongs to.
    RemoteConnector(const ConnectorInfo& info, const RTC::ConnectorProfile& profile,
                    RTC::PortService_ptr self);
    ~RemoteConnector() override;

    const RTC::ConnectorProfile& corbaProfile() const { return m_profile; }

    // Sending end: where put() goes.
    void setTarget(OpenRTM::InPortCdr_ptr target);
    // Receiving end: the servant to deactivate when the connection ends.
    void setServant(PortableServer::POA_ptr poa, const PortableServer::ObjectId& id);

    DataPortStatus::Enum putCdr(const unsigned char* data, std::size_t length) override;
    bool lost() const override { return m_lost.load(); }
    // Tells the other ports and releases what this end holds.
    void onDisconnect() override;
    // Releases what this end holds without telling anybody.
    void release();

  private:
    // One put(); the ORB's exceptions pass through.
    DataPortStatus::Enum putOnce(const unsigned char* data, std::size_t length);
    // A WARNING in the log about a failed put.
    void warn(const char* what) const;
    // One WARNING for the run of timed-out puts that just ended, if any.
    void reportTimeouts();

    RTC::ConnectorProfile m_profile;
    RTC::PortService_var m_self;
    OpenRTM::InPortCdr_var m_target;
    PortableServer::POA_var m_poa;
    PortableServer::ObjectId_var m_servantId;
    std::atomic<bool> m_lost{false};
    std::atomic<bool> m_released{false};
    std::atomic<unsigned long> m_timeouts{0};  // timed-out puts in the current run
};

}  // namespace corba
}  // namespace RTC
