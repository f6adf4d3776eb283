#pragma once

#include <string>
#include <vector>

// A component, or a port of one, as named on the command line:
//   Name0                      searched for in the naming service
//   ctx.host_cxt/Name0.rtc     a path under the naming service's root
//   /host:port/.../Name0.rtc   a path whose first part names the naming service
// A port follows the component after its last '.' (Name0.out) or ':'
// (host.host_cxt/Name0.rtc:out).
class ObjectPath {
  public:
    enum class Form { Bare, Relative, Absolute };

    // Both throw ToolError with the usage status on malformed text.
    static ObjectPath component(const std::string& text);
    static ObjectPath port(const std::string& text);

    // "host" or "host:port" to "host:port" (2809 by default; "localhost" is
    // 127.0.0.1). Throws ToolError with the usage status.
    static std::string namingAddress(const std::string& text);

    Form form() const;
    // Absolute form only: the naming service address, "host:port".
    const std::string& server() const;
    // Naming path; the last element is the component's "Name.rtc".
    const std::vector<std::string>& segments() const;
    // Empty for a component.
    const std::string& portName() const;
    // The component as given, for messages.
    const std::string& text() const;

  private:
    static ObjectPath parse(const std::string& componentText, const std::string& original);

    Form m_form = Form::Bare;
    std::string m_server;
    std::vector<std::string> m_segments;
    std::string m_port;
    std::string m_text;
};
