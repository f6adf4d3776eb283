// flite in this process: the English voices rms, slt, awb and kal16.
// flite's voices are process-wide and not for concurrent use; one thread
// synthesises.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "SynthBackend.h"

struct cst_voice_struct;

namespace parlune::helper {

class FliteBackend : public SynthBackend {
  public:
    // A word longer than this is cut into pieces of this length: flite's
    // time grows faster than linearly with the length of a word.
    static constexpr size_t kMaxWordBytes = 24;

    // How the CG voices (rms, slt, awb) make their sound: streamed within
    // the sentence (FliteStream.h), or by flite's own cg_synth, whole.
    enum class CgSynthesis { Streaming, Whole };

    explicit FliteBackend(CgSynthesis synthesis = CgSynthesis::Streaming);

    std::string load(const std::string& voice) override;
    // flite sets up its lexicon on first use: done here, not on the first text.
    void warmUp(const std::string& voice) override;

    using SynthBackend::speak;
    Result speak(const std::string& voice, std::string_view text, const Prosody& prosody,
                 const PcmCallback& out) override;
    // Words from the Word and Token relations, phones from Segment.
    bool givesMarks() const override { return true; }
    Result speak(const std::string& voice, std::string_view text, const Prosody& prosody,
                 const PcmCallback& out, const MarkCallback& marks) override;

    // What flite is given for `text`: Latin letters folded to ASCII,
    // typographic quotes and dashes to plain ones, other characters to
    // spaces, runs of one symbol shortened to three, long words cut.
    // `origin`, when given, receives for each byte given the offset in
    // `text` of the character it comes from.
    static std::string prepare(std::string_view text, std::vector<size_t>* origin = nullptr);

  private:
    const CgSynthesis m_synthesis;
    std::map<std::string, cst_voice_struct*> m_voices;
};

}  // namespace parlune::helper
