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

    // The labels of `text`, one per phoneme with "sil" at both ends; empty
    // when the text holds nothing to say.
    std::vector<std::string> labels(std::string_view text);

    // The phoneme a label stands for ("a", "pau", "sil").
    static std::string_view phonemeOf(std::string_view label);

  private:
    struct State;
    std::unique_ptr<State> m_state;
    bool m_loaded = false;
};

}  // namespace parlune::helper
