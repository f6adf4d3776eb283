// libFuzzer target: configuration text as rtc.conf holds it, read the way the
// manager reads it, then the resulting tree walked, copied and written out.
// Also takes the first line as a key for the API: whatever bytes a key holds,
// a value set under it is found again, unless the key is nested too deep to
// be stored at all.
#include <coil/Properties.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "coil/ConfigReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    coil::Properties p;
    coil::ConfigReader reader;
    std::istringstream in(text);
    const bool is_text = reader.read(in, p);
    if (!is_text && p.size() != 0) std::abort();
    for (const auto& problem : reader.problems()) {
        if (problem.line < 1 || problem.reason.empty()) std::abort();
    }
    for (const std::string& name : p.propertyNames()) (void)p.getProperty(name);
    coil::Properties copy(p);
    if (copy.propertyNames() != p.propertyNames()) std::abort();
    std::ostringstream out;
    copy.store(out);
    out << copy;

    // The plain loader on the same text: never more than the checked reader.
    coil::Properties loaded;
    std::istringstream again(text);
    loaded.load(again);
    if (loaded.propertyNames() != p.propertyNames()) std::abort();

    const std::string key = text.substr(0, text.find('\n'));
    if (!key.empty()) {
        coil::Properties api;
        api.setProperty(key, "v");
        std::vector<std::string> parts;
        coil::Properties::split(key, '.', parts);
        const bool storable = parts.size() <= coil::Properties::kMaxDepth;
        if (api.getProperty(key) != (storable ? "v" : "")) std::abort();
        if (!storable && api.size() != 0) std::abort();
        (void)coil::ConfigReader::checkEntry(key, key);
        (void)coil::ConfigReader::printable(key, 40);
    }
    return 0;
}
