#include "ToolError.h"

namespace rtctl {

ToolError::ToolError(const std::string& message, int status)
    : std::runtime_error(message), m_status(status) {}

int ToolError::status() const { return m_status; }

}  // namespace rtctl
