// Connections between ports of one process (used by preconnect and tests).
#pragma once

#include <rtm/InPortBase.h>
#include <rtm/OutPortBase.h>
#include <rtm/RTC.h>

#include <string>

namespace RTC {

// Connects out to in when their data types match; the new connection's id
// goes to *id. BAD_PARAMETER for a type mismatch.
ReturnCode_t connectLocal(OutPortBase& out, InPortBase& in,
                          const coil::Properties& prop = coil::Properties(),
                          std::string* id = nullptr);

// A fresh connection id.
std::string newConnectorId();

}  // namespace RTC
