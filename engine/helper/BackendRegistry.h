// The one list of the helper's synthesisers. Adding a back end is one entry
// here (and its engine name in VoiceName); the router asks this list for
// every back end it needs and names none of them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "SynthBackend.h"
#include "VoiceName.h"

namespace parlune::helper {

// What back ends may need from the helper's settings.
struct BackendSetup {
    std::string voiceDir;    // the Japanese voice files
    std::string dictionary;  // Open JTalk's MeCab dictionary directory
};

class BackendRegistry {
  public:
    struct Entry {
        VoiceName::Engine engine;
        // The fallback every language can use: without it the helper has no voice.
        bool required;
        // Null when the synthesiser cannot start here (its data is missing).
        std::unique_ptr<SynthBackend> (*create)(const BackendSetup& setup);
    };

    static const std::vector<Entry>& entries();
};

}  // namespace parlune::helper
