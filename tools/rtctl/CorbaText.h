#pragma once

#include <string>

#include "DataPort_OpenRTM.hh"
#include "RTC.hh"

namespace rtctl {

// Human-readable text for CORBA exceptions and the enumerations rtctl prints.
class CorbaText {
  public:
    // One line on a failed remote call, e.g. "component 'A0' is not reachable
    // (TRANSIENT_ConnectFailed)" or "port 'A0.in': connect failed (BAD_PARAM...)".
    static std::string describe(const std::string& subject, const std::string& operation,
                                const CORBA::SystemException& e);
    // Names the exception, with the description the SDO exceptions carry.
    static std::string describe(const std::string& subject, const std::string& operation,
                                const CORBA::UserException& e);

    static std::string returnCode(RTC::ReturnCode_t code);
    static std::string state(RTC::LifeCycleState state);
    static std::string portStatus(OpenRTM::PortStatus status);
};

}  // namespace rtctl
