// Cuts a piece of text into sentences and sorts them by script, so each can
// go to the synthesiser that reads it: Japanese (kana or kanji), Latin
// letters, or anything else. Control characters are removed on the way.
//
// Japanese sentences are cut further into runs the Japanese synthesiser
// takes safely: one line each, a bounded number of bytes and of ASCII
// characters; a long ASCII run inside one is given to the Latin voice.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace parlune::helper {

class ScriptRouter {
  public:
    enum class Script { Japanese, Latin, Other };

    struct Segment {
        Script script;
        std::string text;
    };

    struct Limits {
        size_t japaneseBytes = 360;   // per Japanese segment
        size_t japaneseAscii = 120;   // ASCII characters per Japanese segment
        size_t asciiRunToLatin = 48;  // an ASCII run this long leaves a Japanese sentence
    };

    // `hanziAreJapanese`: ideographs without kana count as Japanese (false
    // when the operator's language is Chinese).
    static std::vector<Segment> split(std::string_view utf8, bool hanziAreJapanese,
                                      const Limits& limits);
    static std::vector<Segment> split(std::string_view utf8, bool hanziAreJapanese = true) {
        return split(utf8, hanziAreJapanese, Limits{});
    }

    static bool isKana(char32_t cp);
    static bool isIdeograph(char32_t cp);
};

}  // namespace parlune::helper
