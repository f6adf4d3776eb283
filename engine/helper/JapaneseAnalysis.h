// Open JTalk's text analysis, resident: UTF-8 Japanese text in, the
// full-context labels its HTS voices read out. The MeCab dictionary is
// loaded once. Not for concurrent use; the helper synthesises on one thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parlune::helper {

class JapaneseAnalysis {
  public:
    JapaneseAnalysis();
    ~JapaneseAnalysis();
    JapaneseAnalysis(const JapaneseAnalysis&) = delete;
    JapaneseAnalysis& operator=(const JapaneseAnalysis&) = delete;

    // Loads the dictionary directory (holding sys.dic); false when it cannot.
    bool load(const std::string& dictionary);

    // A word of the analysis: the labels of its phonemes and its bytes in
    // the text. Words read out of digits share the digits' bytes.
    struct Word {
        size_t first = 0;  // its first label
        size_t last = 0;   // its last label
        size_t offset = 0;
        size_t length = 0;
    };

    // The labels of `text`, one per phoneme with "sil" at both ends; empty
    // when the text holds nothing to say. `words`, when given, receives the
    // words in order (none when they cannot be placed in the text).
    std::vector<std::string> labels(std::string_view text, std::vector<Word>* words = nullptr);

    // The phoneme a label stands for ("a", "pau", "sil").
    static std::string_view phonemeOf(std::string_view label);

  private:
    struct State;
    std::unique_ptr<State> m_state;
    bool m_loaded = false;
};

}  // namespace parlune::helper
