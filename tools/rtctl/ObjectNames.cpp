#include "ObjectNames.h"

#include "ToolError.h"

namespace rtctl {

namespace {

template <typename Parse>
auto asUsage(Parse&& parse) -> decltype(parse()) {
    try {
        return parse();
    } catch (const corbakit::NamingError& e) {
        throw ToolError(e.what(), ToolError::kUsage);
    }
}

}  // namespace

corbakit::NamingPath componentPath(const std::string& text) {
    return asUsage([&] { return corbakit::NamingPath::component(text); });
}

corbakit::NamingPath portPath(const std::string& text) {
    return asUsage([&] { return corbakit::NamingPath::port(text); });
}

std::string namingAddress(const std::string& text) {
    return asUsage([&] { return corbakit::namingAddress(text); });
}

}  // namespace rtctl
