#include "ComponentProperties.h"

#include <coil/stringutil.h>

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
    for (const std::string& key : {category + "." + instance_name + ".config_file",
                                   category + "." + m_type + ".config_file"}) {
        const std::string& file = config.getProperty(key);
        if (file.empty()) continue;
        std::ifstream in(file);
        if (!in) {
            RTC_ERROR(("cannot read component configuration file %s", file.c_str()));
            continue;
        }
        m_file.load(in);
        break;
    }
    props << m_file;
    return props;
}

std::string ComponentProperties::profileRate(const coil::Properties& profile) const {
    const std::string& rate = m_args.getProperty("exec_cxt.periodic.rate");
    return rate.empty() ? profile.getProperty("exec_cxt.periodic.rate") : rate;
}

}  // namespace RTC
