// libFuzzer target: rtctl's command line. The input is split at NUL bytes
// into arguments; a malformed line may only end in ToolError with the usage
// status, and whatever is accepted must answer every accessor.
#include <CommandLine.h>
#include <ToolError.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using rtctl::CommandLine;
using rtctl::ToolError;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words{"rtctl"};
    std::string word;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\0') {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(static_cast<char>(data[i]));
        }
    }
    words.push_back(word);
    std::vector<const char*> argv;
    for (const auto& w : words) argv.push_back(w.c_str());
    argv.push_back(nullptr);
    try {
        CommandLine line = CommandLine::parse(static_cast<int>(words.size()), argv.data());
        if (line.naming().empty() && !line.help()) std::abort();
        (void)line.verb();
        (void)line.operands();
        (void)line.properties();
        (void)line.count();
        (void)line.timeoutSeconds();
        if (!(line.waitSeconds() >= 0.0)) std::abort();
        for (const auto& op : line.operands()) (void)CommandLine::isConnectorId(op);
    } catch (const ToolError& e) {
        if (e.status() != ToolError::kUsage) std::abort();
        if (std::string(e.what()).empty()) std::abort();
    }
    return 0;
}
