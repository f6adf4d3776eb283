// Open JTalk for Japanese: its program run once per sentence, the WAV it
// writes read from a pipe. A run that fails, ends without a WAV or takes
// longer than the time limit is killed and counts as a failed sentence.
#pragma once

#include <map>
#include <string>

#include "SynthBackend.h"

namespace parlune::helper {

class OpenJTalkBackend : public SynthBackend {
  public:
    struct Setup {
        std::string program;     // open_jtalk
        std::string dictionary;  // its MeCab dictionary directory
        std::string voiceDir;    // holding the .htsvoice files
        int timeLimitMs = 5000;  // per sentence
    };

    explicit OpenJTalkBackend(Setup setup);

    // The file of a voice ("mei", "m001") in the voice directory.
    std::string voiceFile(const std::string& voice) const;
    // Checks the program, the dictionary and the voice's file; "" when all
    // are usable, else what is wrong, naming the file.
    std::string check(const std::string& voice) const;

    Result speak(const std::string& voice, std::string_view text, int speed,
                 const PcmCallback& out) override;

    // Whether `bytes` look like a whole HTS voice: its header, and every
    // part the header lists inside the file.
    static bool isVoiceData(const std::string& bytes);

  private:
    Setup m_setup;
};

}  // namespace parlune::helper
