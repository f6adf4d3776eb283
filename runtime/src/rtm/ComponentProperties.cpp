#include "ComponentProperties.h"

#include <coil/stringutil.h>

#include <algorithm>
#include <fstream>
#include <vector>

namespace RTC {

ComponentProperties::ComponentProperties(const std::string& comp_args) : rtclog("manager") {
    const std::string args = coil::eraseBothEndsBlank(comp_args);
    const auto q = args.find('?');
    m_type = args.substr(0, q);
    if (q != std::string::npos) {
        for (const std::string& kv : coil::split(args.substr(q + 1), "&", true)) {
            const auto eq = kv.find('=');
            m_args.setProperty(kv.substr(0, eq), eq == std::string::npos ? "" : kv.substr(eq + 1));
        }
    }
    if (m_type.compare(0, 4, "RTC:") == 0) {
        std::vector<std::string> id = coil::split(m_type, ":");
        if (id.size() >= 4) m_type = id[3];
    }
}

coil::Properties ComponentProperties::assemble(const coil::Properties& profile,
                                               const std::string& instance_name,
                                               const coil::Properties& config) {
    coil::Properties props(profile);
    props << m_args;
    props.setProperty("instance_name", instance_name);
    const std::string category = profile.getProperty("category");
    std::vector<std::string> files;
    m_own = configFor(category + "." + m_type, config, files);
    // The instance's own settings win over those of its type.
    if (instance_name != m_type) m_own << configFor(category + "." + instance_name, config, files);
    m_own.setProperty("config_file", coil::flatten(files));
    props << m_own;
    return props;
}

coil::Properties ComponentProperties::configFor(const std::string& prefix,
                                                const coil::Properties& config,
                                                std::vector<std::string>& files) {
    coil::Properties own;
    const std::string& file = config.getProperty(prefix + ".config_file");
    if (!file.empty()) {
        std::ifstream in(file);
        if (in) {
            own.load(in);
            if (std::find(files.begin(), files.end(), file) == files.end()) files.push_back(file);
        } else {
            RTC_ERROR(("cannot read component configuration file %s", file.c_str()));
        }
    }
    const coil::Properties* node = config.findNode(prefix);
    if (node == nullptr) return own;
    for (const std::string& key : node->propertyNames()) {
        if (key == "config_file") continue;
        own.setProperty(key, node->getProperty(key));
    }
    return own;
}

std::string ComponentProperties::profileRate(const coil::Properties& profile) const {
    const std::string& rate = m_args.getProperty("exec_cxt.periodic.rate");
    return rate.empty() ? profile.getProperty("exec_cxt.periodic.rate") : rate;
}

}  // namespace RTC
