#pragma once

#include <string>
#include <utility>

#include "CorbaText.h"
#include "ToolError.h"

namespace rtctl {

// Runs one remote call; a CORBA exception becomes a ToolError naming the
// object (`subject`) and the operation.
template <typename Call>
auto remoteCall(const std::string& subject, const char* operation, Call&& call)
    -> decltype(call()) {
    try {
        return std::forward<Call>(call)();
    } catch (const CORBA::SystemException& e) {
        throw ToolError(CorbaText::describe(subject, operation, e));
    } catch (const CORBA::UserException& e) {
        throw ToolError(CorbaText::describe(subject, operation, e));
    }
}

}  // namespace rtctl
