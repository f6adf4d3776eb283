#include "ObjectPath.h"

#include <cerrno>
#include <cstdlib>

#include "ToolError.h"

namespace {
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

[[noreturn]] void bad(const std::string& message) { throw ToolError(message, ToolError::kUsage); }
}  // namespace

std::string ObjectPath::namingAddress(const std::string& text) {
    std::string host = text;
    std::string port = "2809";
    std::string::size_type colon = text.rfind(':');
    if (colon != std::string::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (host.empty() || host.find_first_of("/ \t") != std::string::npos)
        bad("invalid naming service address '" + text + "' (expected HOST:PORT)");
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos)
        bad("invalid port in naming service address '" + text + "'");
    long number = std::strtol(port.c_str(), nullptr, 10);
    if (number < 1 || number > 65535) bad("invalid port in naming service address '" + text + "'");
    if (host == "localhost") host = "127.0.0.1";
    return host + ":" + std::to_string(number);
}

ObjectPath ObjectPath::component(const std::string& text) { return parse(text, text); }

ObjectPath ObjectPath::port(const std::string& text) {
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
    ObjectPath path = parse(text.substr(0, sep), text);
    path.m_port = portName;
    return path;
}

ObjectPath ObjectPath::parse(const std::string& componentText, const std::string& original) {
    ObjectPath path;
    path.m_text = componentText;
    if (componentText.empty() || componentText == "/") bad("'" + original + "' names no component");
    std::string rest = componentText;
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

ObjectPath::Form ObjectPath::form() const { return m_form; }

const std::string& ObjectPath::server() const { return m_server; }

const std::vector<std::string>& ObjectPath::segments() const { return m_segments; }

const std::string& ObjectPath::portName() const { return m_port; }

const std::string& ObjectPath::text() const { return m_text; }
