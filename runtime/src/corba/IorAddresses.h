// The network addresses a stringified object reference ("IOR:...") tells
// its callers to use: the host of each IIOP profile and of each alternate
// address it carries.
#pragma once

#include <string>
#include <vector>

namespace RTC {
namespace corba {

// "host:port" items in the order the reference lists them, duplicates
// removed; empty when the text is not a well-formed reference.
std::vector<std::string> iorAddresses(const std::string& ior);

}  // namespace corba
}  // namespace RTC
