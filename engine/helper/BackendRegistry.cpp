#include "BackendRegistry.h"

#include "EspeakBackend.h"
#include "FliteBackend.h"
#include "OpenJTalkBackend.h"

namespace parlune::helper {

const std::vector<BackendRegistry::Entry>& BackendRegistry::entries() {
    using Engine = VoiceName::Engine;
    static const std::vector<Entry> kEntries = {
        {Engine::Espeak, true,
         [](const BackendSetup&) -> std::unique_ptr<SynthBackend> {
             return EspeakBackend::create();
         }},
        {Engine::Flite, false,
         [](const BackendSetup&) -> std::unique_ptr<SynthBackend> {
             return std::make_unique<FliteBackend>();
         }},
        {Engine::OpenJTalk, false,
         [](const BackendSetup& setup) -> std::unique_ptr<SynthBackend> {
             return std::make_unique<OpenJTalkBackend>(
                 OpenJTalkBackend::Setup{setup.dictionary, setup.voiceDir});
         }},
    };
    return kEntries;
}

}  // namespace parlune::helper
