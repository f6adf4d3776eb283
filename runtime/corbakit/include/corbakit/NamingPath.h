// A component, or a port of one, named by its place in a naming service:
//   Name0                          to be searched for
//   ctx.host_cxt/Name0.rtc         a path under the naming service's root
//   /host:port/ctx/Name0.rtc       a path whose first part names the naming service
//   rtcname://host[:port]/ctx/Name0  the same, as the framework's managers write it
// A port follows the component after the last ':' or '.' of the last
// element (Name0.out, ctx.host_cxt/Name0.rtc:out, rtcname://host/ctx/Name0.out).
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include <omniORB4/Naming.hh>

namespace corbakit {

// Malformed text; what() says what is wrong with it.
class NamingError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

class NamingPath {
  public:
    enum class Form { Bare, Relative, Absolute };

    // Both throw NamingError on malformed text.
    static NamingPath component(const std::string& text);
    static NamingPath port(const std::string& text);

    Form form() const { return m_form; }
    // Absolute form only: the naming service address, "host:port".
    const std::string& server() const { return m_server; }
    // Naming path; the last element is the component's "Name.rtc".
    const std::vector<std::string>& segments() const { return m_segments; }
    // Empty for a component.
    const std::string& portName() const { return m_port; }
    // The component as given, for messages.
    const std::string& text() const { return m_text; }
    // "corbaname::host:port#ctx/Name0.rtc" (absolute form only).
    std::string corbanameUrl() const;

  private:
    static NamingPath parse(const std::string& componentText, const std::string& original);

    Form m_form = Form::Bare;
    std::string m_server;
    std::vector<std::string> m_segments;
    std::string m_port;
    std::string m_text;
};

// True when text starts with "rtcname://".
bool isRtcName(const std::string& text);
// "host" or "host:port" to "host:port" (2809 by default; "localhost" is
// 127.0.0.1). Throws NamingError.
std::string namingAddress(const std::string& text);
// Path elements "id.kind" (the kind after the last '.') as a naming service name.
CosNaming::Name toCosName(const std::vector<std::string>& segments);
// One name component as "id.kind" ("id" when it has no kind).
std::string toText(const CosNaming::NameComponent& component);
// This host's name, as "%h" stands for in naming formats.
std::string localHostName();

}  // namespace corbakit
