// libFuzzer target: component and port names as the tools and the manager's
// preconnect and preactivation lists give them (Name0, ctx/Name0.rtc,
// /host:port/ctx/Name0, rtcname://host/ctx/Name0.out). Malformed text may
// only end in NamingError with a reason; what is accepted must be
// consistent with the text and survive the trip to a naming service name.
#include <corbakit/NamingPath.h>

#include <cstdint>
#include <cstdlib>
#include <string>

using corbakit::NamingError;
using corbakit::NamingPath;

namespace {

void checkAddress(const std::string& address) {
    const auto colon = address.rfind(':');
    if (colon == std::string::npos || colon == 0) std::abort();
    const long port = std::strtol(address.c_str() + colon + 1, nullptr, 10);
    if (port < 1 || port > 65535 || std::to_string(port) != address.substr(colon + 1)) std::abort();
}

void checkPath(const NamingPath& path, const std::string& text) {
    const bool absolute = text[0] == '/' || corbakit::isRtcName(text);
    if (absolute != (path.form() == NamingPath::Form::Absolute)) std::abort();
    if (path.segments().empty()) std::abort();
    if (path.form() == NamingPath::Form::Bare && path.segments().size() != 1) std::abort();
    if (path.form() == NamingPath::Form::Absolute) {
        checkAddress(path.server());
        if (path.corbanameUrl().compare(0, 11, "corbaname::") != 0) std::abort();
    }
    for (const std::string& segment : path.segments()) {
        if (segment.empty() || segment.find('/') != std::string::npos) std::abort();
        if (segment.find('\0') != std::string::npos) std::abort();
    }
    const std::string& last = path.segments().back();
    if (last.find('.') == std::string::npos || last.front() == '.' || last.back() == '.')
        std::abort();
    // Each element comes back the same from its naming service form.
    const CosNaming::Name name = corbakit::toCosName(path.segments());
    if (name.length() != path.segments().size()) std::abort();
    for (CORBA::ULong i = 0; i < name.length(); ++i) {
        const std::string& segment = path.segments()[i];
        if (segment.back() == '.') continue;  // "ctx." is the element "ctx" with no kind
        if (corbakit::toText(name[i]) != segment) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        checkPath(NamingPath::component(text), text);
    } catch (const NamingError& e) {
        if (std::string(e.what()).empty()) std::abort();
    }
    try {
        const NamingPath port = NamingPath::port(text);
        checkPath(port, text);
        if (port.portName().empty() || port.portName().find('/') != std::string::npos) std::abort();
    } catch (const NamingError& e) {
        if (std::string(e.what()).empty()) std::abort();
    }
    try {
        checkAddress(corbakit::namingAddress(text));
    } catch (const NamingError& e) {
        if (std::string(e.what()).empty()) std::abort();
    }
    return 0;
}
