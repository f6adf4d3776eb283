// libFuzzer target: the lists the manager reads before it starts, as
// manager.components.preconnect and .preactivation give them. The whole
// input is read as such a list; then its first three lines are made into a
// pair of port names and options, written in both connection forms, and
// must read back as they were written.
#include <corbakit/NamingPath.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "rtm/PreStartActions.h"

using RTC::PreStartActions;

namespace {

bool trimmed(const std::string& s) {
    return !s.empty() && s.front() != ' ' && s.front() != '\t' && s.back() != ' ' &&
           s.back() != '\t';
}

// text without the bytes that are syntax in a connection entry.
std::string clean(const std::string& text, const std::string& also) {
    std::string out;
    for (char c : text) {
        if (std::string(",?&=() \t\r\n\v\f:").find(c) == std::string::npos &&
            also.find(c) == std::string::npos && c != '\0')
            out.push_back(c);
    }
    return out;
}

// A port name made of text: plain, or a remote one under a naming service.
std::string portName(const std::string& text) {
    static const char* const kPrefixes[] = {"", "rtcname://box.example:2810/",
                                            "rtcname://127.0.0.1/", "/127.0.0.1:2809/",
                                            "rtcname://localhost:2809/box.host_cxt/"};
    const unsigned pick = text.empty() ? 0 : static_cast<unsigned char>(text[0]) % 5;
    return kPrefixes[pick] + clean(text.empty() ? text : text.substr(1), "");
}

bool validPort(const std::string& name) {
    try {
        corbakit::NamingPath::port(name);
        return true;
    } catch (const corbakit::NamingError&) {
        return false;
    }
}

void readBack(const std::string& entry, const std::string& out_port, const std::string& in_port,
              const coil::Properties& expected) {
    std::string out, in;
    coil::Properties prop;
    if (!PreStartActions::parseConnection(entry, out, in, prop)) std::abort();
    if (out != out_port || in != in_port) std::abort();
    if (prop.propertyNames() != expected.propertyNames()) std::abort();
    for (const std::string& key : expected.propertyNames()) {
        if (prop.getProperty(key) != expected.getProperty(key)) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    for (const std::string& entry : PreStartActions::listEntries(text)) {
        if (!trimmed(entry)) std::abort();
        std::string out, in;
        coil::Properties prop;
        if (PreStartActions::parseConnection(entry, out, in, prop)) {
            if (!trimmed(out) || !trimmed(in)) std::abort();
            for (const std::string& key : prop.propertyNames()) {
                if (key.find('.') == std::string::npos) std::abort();
            }
        }
        // A preactivation entry naming a remote component.
        if (corbakit::isRtcName(entry)) {
            try {
                (void)corbakit::NamingPath::component(entry).corbanameUrl();
            } catch (const corbakit::NamingError&) {
            }
        }
    }

    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (lines.size() < 3) {
        const auto nl = text.find('\n', start);
        lines.push_back(text.substr(start, nl == std::string::npos ? nl : nl - start));
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
    lines.resize(3);
    const std::string out_port = portName(lines[0]);
    const std::string in_port = portName(lines[1]);
    if (!validPort(out_port) || !validPort(in_port)) return 0;
    // Options: the third line in pieces of six bytes, three for a key and three for its value.
    std::vector<std::pair<std::string, std::string>> options;
    const std::string words = lines[2];
    for (std::string::size_type i = 0; i + 3 <= words.size() && options.size() < 4; i += 6) {
        const std::string key = clean(words.substr(i, 3), "");
        const std::string val = clean(words.substr(i + 3, 3), "");
        if (!key.empty() && key != "port") options.emplace_back(key, val);
    }
    coil::Properties expected;
    std::string current = out_port + "?port=" + in_port;
    std::string older = out_port + ":" + in_port;
    for (std::size_t i = 0; i < options.size(); ++i) {
        const auto& kv = options[i];
        const std::string key =
            kv.first.find('.') == std::string::npos ? "dataport." + kv.first : kv.first;
        expected.setProperty(key, kv.second);
        current += "&" + kv.first + "=" + kv.second;
        older += (i == 0 ? "(" : ",") + kv.first + "=" + kv.second;
    }
    if (!options.empty()) older += ")";
    readBack(current, out_port, in_port, expected);
    readBack(older, out_port, in_port, expected);
    // Both in one list, spaced as a person writes it.
    const std::vector<std::string> entries =
        PreStartActions::listEntries(" " + older + " ,\t" + current + ", ");
    if (entries.size() != 2 || entries[0] != older || entries[1] != current) std::abort();
    return 0;
}
