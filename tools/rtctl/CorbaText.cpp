#include "CorbaText.h"

#include <cstring>

namespace rtctl {

namespace {
bool named(const CORBA::Exception& e, const char* name) {
    return std::strcmp(e._name(), name) == 0;
}

template <typename E>
bool describeSdo(const CORBA::UserException& e, std::string& out) {
    const E* sdo = dynamic_cast<const E*>(&e);
    if (sdo == nullptr) return false;
    out = std::string(e._name());
    const char* text = sdo->description;
    if (text != nullptr && *text != '\0') out += std::string(": ") + text;
    return true;
}
}  // namespace

std::string CorbaText::describe(const std::string& subject, const std::string& operation,
                                const CORBA::SystemException& e) {
    const char* minor = e.NP_minorString();
    std::string detail = " (" + std::string(minor != nullptr ? minor : e._name()) + ")";
    if (named(e, "TRANSIENT") || named(e, "COMM_FAILURE"))
        return subject + " is not reachable" + detail;
    if (named(e, "OBJECT_NOT_EXIST")) return subject + " no longer exists" + detail;
    if (named(e, "TIMEOUT")) return subject + " did not answer " + operation + " in time" + detail;
    if (named(e, "BAD_OPERATION") || named(e, "NO_IMPLEMENT"))
        return subject + " does not implement " + operation + detail;
    return subject + ": " + operation + " failed" + detail;
}

std::string CorbaText::describe(const std::string& subject, const std::string& operation,
                                const CORBA::UserException& e) {
    std::string out;
    if (!describeSdo<SDOPackage::InvalidParameter>(e, out) &&
        !describeSdo<SDOPackage::NotAvailable>(e, out) &&
        !describeSdo<SDOPackage::InternalError>(e, out) &&
        !describeSdo<SDOPackage::InterfaceNotImplemented>(e, out))
        out = e._name();
    return subject + ": " + operation + " failed (" + out + ")";
}

std::string CorbaText::returnCode(RTC::ReturnCode_t code) {
    switch (code) {
        case RTC::RTC_OK:
            return "RTC_OK";
        case RTC::RTC_ERROR:
            return "RTC_ERROR";
        case RTC::BAD_PARAMETER:
            return "BAD_PARAMETER";
        case RTC::UNSUPPORTED:
            return "UNSUPPORTED";
        case RTC::OUT_OF_RESOURCES:
            return "OUT_OF_RESOURCES";
        case RTC::PRECONDITION_NOT_MET:
            return "PRECONDITION_NOT_MET";
        default:
            break;
    }
    return "return code " + std::to_string(static_cast<unsigned long>(code));
}

std::string CorbaText::state(RTC::LifeCycleState state) {
    switch (state) {
        case RTC::CREATED_STATE:
            return "Created";
        case RTC::INACTIVE_STATE:
            return "Inactive";
        case RTC::ACTIVE_STATE:
            return "Active";
        case RTC::ERROR_STATE:
            return "Error";
        default:
            break;
    }
    return "Unknown(" + std::to_string(static_cast<unsigned long>(state)) + ")";
}

std::string CorbaText::portStatus(OpenRTM::PortStatus status) {
    switch (status) {
        case OpenRTM::PORT_OK:
            return "PORT_OK";
        case OpenRTM::PORT_ERROR:
            return "PORT_ERROR";
        case OpenRTM::BUFFER_FULL:
            return "BUFFER_FULL";
        case OpenRTM::BUFFER_EMPTY:
            return "BUFFER_EMPTY";
        case OpenRTM::BUFFER_TIMEOUT:
            return "BUFFER_TIMEOUT";
        case OpenRTM::UNKNOWN_ERROR:
            return "UNKNOWN_ERROR";
        default:
            break;
    }
    return "status " + std::to_string(static_cast<unsigned long>(status));
}

}  // namespace rtctl
