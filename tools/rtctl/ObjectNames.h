#pragma once

#include <corbakit/NamingPath.h>

#include <string>

namespace rtctl {

// Components, ports and naming service addresses as given on the command
// line (the forms corbakit::NamingPath reads); malformed text throws
// ToolError with the usage status.
corbakit::NamingPath componentPath(const std::string& text);
corbakit::NamingPath portPath(const std::string& text);
std::string namingAddress(const std::string& text);

}  // namespace rtctl
