// Open JTalk for Japanese: its program run once per sentence, the WAV it
// writes read from a pipe. A run that fails, ends without a WAV or takes
// longer than the sentence's time limit (growing with its length) is killed and counts as a failed
// sentence. The next run is started as soon as one ends, so that it has loaded its dictionary and
// voice by the time the next sentence comes.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "UniqueFd.h"

#include "SynthBackend.h"

namespace parlune::helper {

class OpenJTalkBackend : public SynthBackend {
  public:
    struct Setup {
        std::string program;     // open_jtalk
        std::string dictionary;  // its MeCab dictionary directory
        std::string voiceDir;    // holding the .htsvoice files
        int timeLimitMs = 5000;  // per sentence, and WorkLimit's share of its bytes
    };

    explicit OpenJTalkBackend(Setup setup);
    ~OpenJTalkBackend() override;
    OpenJTalkBackend(const OpenJTalkBackend&) = delete;
    OpenJTalkBackend& operator=(const OpenJTalkBackend&) = delete;

    // Starts a run for this voice, speed and pitch ahead of the first sentence.
    void prepare(const std::string& voice, const Prosody& prosody);

    // The file of a voice ("mei", "m001") in the voice directory.
    std::string voiceFile(const std::string& voice) const;
    // Checks the program, the dictionary and the voice's file; "" when all
    // are usable, else what is wrong, naming the file.
    std::string check(const std::string& voice) const;

    Result speak(const std::string& voice, std::string_view text, const Prosody& prosody,
                 const PcmCallback& out) override;

    // Whether `bytes` look like a whole HTS voice: its header, and every
    // part the header lists inside the file.
    static bool isVoiceData(const std::string& bytes);

  private:
    // One started program waiting for its line on `input`.
    struct Run {
        pid_t pid = -1;
        UniqueFd input;
        UniqueFd output;
        std::string voice;
        int speed = 0;
        int pitch = 0;
        ~Run();  // kills and reaps the program
    };

    std::unique_ptr<Run> start(const std::string& voice, const Prosody& prosody) const;

    Setup m_setup;
    std::unique_ptr<Run> m_next;
};

}  // namespace parlune::helper
