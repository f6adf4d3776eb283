// libFuzzer target: the manager's command line and configuration text. The
// input up to the first two NUL bytes in a row is the command line, its words
// split at single NUL bytes; the rest is a configuration file's text. Every
// problem must come out as one short line of printable ASCII, at most five
// of them and a count, and every -o value kept must be a usable entry.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "coil/ConfigReader.h"
#include "rtm/ManagerConfig.h"

namespace {

bool printableLine(const std::string& line) {
    for (unsigned char c : line) {
        if (c < 0x20 || c >= 0x7f) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string::size_type end = input.find(std::string(2, '\0'));
    const std::string line = input.substr(0, end);
    const std::string text = end == std::string::npos ? "" : input.substr(end + 2);

    std::vector<std::string> words{"manager"};
    std::string::size_type start = 0;
    while (!line.empty()) {
        const std::string::size_type nul = line.find('\0', start);
        words.push_back(line.substr(start, nul == std::string::npos ? nul : nul - start));
        if (nul == std::string::npos) break;
        start = nul + 1;
    }
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(&w[0]);
    argv.push_back(nullptr);

    RTC::ManagerConfig config;
    std::ostringstream messages;
    config.setMessageStream(messages);
    const RTC::ManagerConfig::Arguments args =
        config.readArgs(static_cast<int>(words.size()), argv.data());
    std::istringstream in(text);
    config.loadText(in, args.configFile.empty() ? "rtc.conf" : args.configFile);
    config.finishWarnings();

    for (const auto& kv : args.overrides) {
        if (kv.first.empty() || !coil::ConfigReader::checkEntry(kv.first, kv.second).empty())
            std::abort();
        // An empty value leaves a default showing, as Properties does.
        config.config().setProperty(kv.first, kv.second);
        if (!kv.second.empty() && config.config().getProperty(kv.first) != kv.second) std::abort();
    }
    if (config.warnings().size() > RTC::ManagerConfig::kMaxWarnings + 1) std::abort();
    for (const std::string& warning : config.warnings()) {
        if (warning.empty() || warning.size() > 400 || !printableLine(warning)) std::abort();
    }
    // What was written is the same lines, each after the program name.
    std::string expected;
    for (const std::string& warning : config.warnings()) expected += "manager: " + warning + "\n";
    if (messages.str() != expected) std::abort();
    for (const std::string& name : config.config().propertyNames())
        (void)config.config().getProperty(name);
    return 0;
}
