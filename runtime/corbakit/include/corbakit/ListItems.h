// The framework's comma separated settings ("host1:2809, host2", endpoint
// lists): their items without the blanks around them.
#pragma once

#include <string>
#include <vector>

namespace corbakit {

// text without the blanks (space, tab, CR, LF) at either end.
std::string trimmed(const std::string& text);
// The trimmed items of a comma separated list, in order; empty ones are left out.
std::vector<std::string> listItems(const std::string& list);

}  // namespace corbakit
