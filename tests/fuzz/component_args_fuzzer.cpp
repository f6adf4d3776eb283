// libFuzzer target: a creation request as createComponent takes it
// ("Type?key=value&...", or a full "RTC:vendor:category:Type:..." id), from a
// preload list, rtc.conf or a peer. Whatever the bytes, the type stops at the
// first '?', the new component's instance name is the one the manager gives,
// and no argument reaches a file.
#include <coil/Properties.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "rtm/ComponentProperties.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string request(reinterpret_cast<const char*>(data), size);
    RTC::ComponentProperties args(request);
    if (args.type().find('?') != std::string::npos) std::abort();
    (void)args.requestedName();

    coil::Properties profile;
    profile.setProperty("implementation_id", "Fuzzed");
    profile.setProperty("category", "Test");
    profile.setProperty("exec_cxt.periodic.rate", "10");
    // No configuration file is named: the arguments alone decide.
    const coil::Properties config;
    const coil::Properties props = args.assemble(profile, "Fuzzed0", config);
    if (props.getProperty("instance_name") != "Fuzzed0") std::abort();
    (void)args.profileRate(profile);
    if (!args.fileRate().empty()) std::abort();
    for (const std::string& name : props.propertyNames()) (void)props.getProperty(name);
    return 0;
}
