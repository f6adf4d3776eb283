// Open JTalk for Japanese, resident in the helper: its text analysis
// (JapaneseAnalysis) and HTS voices (HtsVoice), the dictionary and each
// voice loaded once, samples handed on phrase by phrase as they are made.
// The text it is given is one sentence the ScriptRouter has bounded (one
// line, a limited number of bytes and of ASCII characters, no control
// characters); a crash in it ends only the helper process.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include "HtsVoice.h"
#include "JapaneseAnalysis.h"
#include "SynthBackend.h"

namespace parlune::helper {

class OpenJTalkBackend : public SynthBackend {
  public:
    struct Setup {
        std::string dictionary;  // its MeCab dictionary directory
        std::string voiceDir;    // holding the .htsvoice files
    };

    explicit OpenJTalkBackend(Setup setup);

    // Checks the dictionary and the voice's file (quick: the helper has not
    // greeted the library yet).
    std::string load(const std::string& voice) override;
    // Loads both and speaks a short sentence, so that the first text finds
    // the dictionary's and the voice's pages in memory.
    void warmUp(const std::string& voice) override;

    using SynthBackend::speak;
    Result speak(const std::string& voice, std::string_view text, const Prosody& prosody,
                 const PcmCallback& out) override;
    // Phonemes timed by the voice's own durations.
    bool givesMarks() const override { return true; }
    Result speak(const std::string& voice, std::string_view text, const Prosody& prosody,
                 const PcmCallback& out, const MarkCallback& marks) override;

    // The file of a voice ("mei", "m001") in the voice directory.
    std::string voiceFile(const std::string& voice) const;

    // Whether `bytes` look like a whole HTS voice: its header, and every
    // part the header lists inside the file.
    static bool isVoiceData(const std::string& bytes);

  private:
    // The voice loaded, loading it and the dictionary the first time; null
    // when either cannot be loaded.
    HtsVoice* ready(const std::string& voice);

    Setup m_setup;
    JapaneseAnalysis m_analysis;
    std::set<std::string> m_checked;
    std::map<std::string, std::unique_ptr<HtsVoice>> m_voices;
};

}  // namespace parlune::helper
