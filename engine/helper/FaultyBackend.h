// Test-only: a back end made to fail or to be slow on purpose, around any
// real one, so that tests reach the engine's failure paths through the real
// helper. Chosen by PARLUNE_HELPER_FAULTS (see engine/README.md), a comma
// separated list of
//   fail=ENGINE  every text given to ENGINE (espeak, flite, openjtalk) fails
//   slow=MS      every back end waits MS before each text it is given
// e.g. "fail=openjtalk,fail=flite" or "slow=400". Unset: no back end is wrapped.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "SynthBackend.h"
#include "VoiceName.h"

namespace parlune::helper {

class FaultyBackend : public SynthBackend {
  public:
    struct Faults {
        std::vector<VoiceName::Engine> failing;
        int slowMs = 0;
        // nullopt when `text` is not such a list.
        static std::optional<Faults> parse(const std::string& text);
        bool touch(VoiceName::Engine engine) const;
        bool fails(VoiceName::Engine engine) const;
    };

    FaultyBackend(SynthBackend& inner, bool fails, int slowMs);

    std::string load(const std::string& voice) override { return m_inner.load(voice); }
    void warmUp(const std::string& voice) override { m_inner.warmUp(voice); }
    using SynthBackend::speak;
    Result speak(const std::string& voice, std::string_view text, const Prosody& prosody,
                 const PcmCallback& out) override;
    bool givesMarks() const override { return m_inner.givesMarks(); }
    Result speak(const std::string& voice, std::string_view text, const Prosody& prosody,
                 const PcmCallback& out, const MarkCallback& marks) override;

  private:
    SynthBackend& m_inner;
    const bool m_fails;
    const int m_slowMs;
};

}  // namespace parlune::helper
