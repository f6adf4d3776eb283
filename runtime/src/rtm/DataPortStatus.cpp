#include <rtm/DataPortStatus.h>

namespace RTC {

const char* DataPortStatus::toString(Enum status) {
    static const char* const names[] = {"PORT_OK",         "PORT_ERROR",   "BUFFER_ERROR",
                                        "BUFFER_FULL",     "BUFFER_EMPTY", "BUFFER_TIMEOUT",
                                        "SEND_FULL",       "SEND_TIMEOUT", "RECV_EMPTY",
                                        "RECV_TIMEOUT",    "INVALID_ARGS", "PRECONDITION_NOT_MET",
                                        "CONNECTION_LOST", "UNKNOWN_ERROR"};
    if (status < PORT_OK || status > UNKNOWN_ERROR) return "UNKNOWN_ERROR";
    return names[status];
}

}  // namespace RTC
