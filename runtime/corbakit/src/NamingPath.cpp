#include "corbakit/NamingPath.h"

#include <unistd.h>

#include <cstdlib>

namespace corbakit {

namespace {

const char kRtcName[] = "rtcname://";

std::vector<std::string> split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type end = text.find(sep, start);
        parts.push_back(
            text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

[[noreturn]] void bad(const std::string& message) { throw NamingError(message); }

}  // namespace

bool isRtcName(const std::string& text) {
    return text.compare(0, sizeof kRtcName - 1, kRtcName) == 0;
}

std::string namingAddress(const std::string& text) {
    std::string host = text;
    std::string port = "2809";
    std::string::size_type colon = text.rfind(':');
    if (colon != std::string::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (host.empty() || host.find_first_of(std::string("/ \t\0", 4)) != std::string::npos)
        bad("invalid naming service address '" + text + "' (expected HOST:PORT)");
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos)
        bad("invalid port in naming service address '" + text + "'");
    long number = std::strtol(port.c_str(), nullptr, 10);
    if (number < 1 || number > 65535) bad("invalid port in naming service address '" + text + "'");
    if (host == "localhost") host = "127.0.0.1";
    return host + ":" + std::to_string(number);
}

NamingPath NamingPath::component(const std::string& text) { return parse(text, text); }

NamingPath NamingPath::port(const std::string& text) {
    if (text.find('\0') != std::string::npos) bad("a name contains a NUL byte");
    // The port is split off the last path element only, so that a naming
    // service address "host:port" in front is left alone.
    std::string::size_type slash = text.rfind('/');
    std::string::size_type lastStart = slash == std::string::npos ? 0 : slash + 1;
    std::string::size_type sep = text.rfind(':');
    if (sep == std::string::npos || sep < lastStart) sep = text.rfind('.');
    if (sep == std::string::npos || sep < lastStart)
        bad("'" + text + "' names no port (expected COMPONENT.PORT)");
    std::string portName = text.substr(sep + 1);
    if (portName.empty()) bad("'" + text + "' has an empty port name");
    NamingPath path = parse(text.substr(0, sep), text);
    path.m_port = portName;
    return path;
}

NamingPath NamingPath::parse(const std::string& componentText, const std::string& original) {
    NamingPath path;
    path.m_text = componentText;
    if (componentText.empty() || componentText == "/") bad("'" + original + "' names no component");
    // A naming service name is a C string: a NUL byte would cut it short.
    if (componentText.find('\0') != std::string::npos) bad("a name contains a NUL byte");
    std::string rest = componentText;
    // rtcname://host/... is the absolute form /host/... under another spelling.
    if (isRtcName(rest)) rest = rest.substr(sizeof kRtcName - 2);
    if (rest[0] == '/') {
        path.m_form = Form::Absolute;
        std::string::size_type end = rest.find('/', 1);
        if (end == std::string::npos || end + 1 >= rest.size())
            bad("'" + original + "' names no component after the naming service");
        path.m_server = namingAddress(rest.substr(1, end - 1));
        rest = rest.substr(end + 1);
    } else if (rest.find('/') != std::string::npos) {
        path.m_form = Form::Relative;
    }
    for (const std::string& segment : split(rest, '/')) {
        if (segment.empty()) bad("'" + original + "' has an empty path element");
        path.m_segments.push_back(segment);
    }
    // A component's naming entry has the kind "rtc"; it may be left out.
    std::string& last = path.m_segments.back();
    if (last.find('.') == std::string::npos) last += ".rtc";
    if (last.front() == '.' || last.back() == '.')
        bad("'" + original + "' is not a valid component name");
    return path;
}

std::string NamingPath::corbanameUrl() const {
    std::string url = "corbaname::" + m_server + "#";
    for (std::size_t i = 0; i < m_segments.size(); ++i) url += (i ? "/" : "") + m_segments[i];
    return url;
}

CosNaming::Name toCosName(const std::vector<std::string>& segments) {
    CosNaming::Name name;
    name.length(static_cast<CORBA::ULong>(segments.size()));
    for (CORBA::ULong i = 0; i < name.length(); ++i) {
        const std::string& segment = segments[i];
        std::string::size_type dot = segment.rfind('.');
        name[i].id = (dot == std::string::npos ? segment : segment.substr(0, dot)).c_str();
        name[i].kind = (dot == std::string::npos ? std::string() : segment.substr(dot + 1)).c_str();
    }
    return name;
}

std::string toText(const CosNaming::NameComponent& component) {
    std::string text = static_cast<const char*>(component.id);
    const char* kind = component.kind;
    if (kind != nullptr && *kind != '\0') text += std::string(".") + kind;
    return text;
}

std::string localHostName() {
    char buffer[256] = {};
    if (gethostname(buffer, sizeof(buffer) - 1) != 0) return "localhost";
    return buffer;
}

}  // namespace corbakit
