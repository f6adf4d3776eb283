// Cuts a UTF-8 text into pieces of at most a few kilobytes for the helper,
// preferring the end of a sentence, then a space, then any character
// boundary, so a long text is synthesised piece by piece.
#pragma once

#include <string_view>
#include <vector>

namespace parlune {

class SentenceSplitter {
  public:
    static constexpr size_t kMaxPiece = 4096;

    // Pieces that concatenate back to `text`; one (possibly empty) piece for
    // a text no longer than `maxPiece`.
    static std::vector<std::string_view> split(std::string_view text, size_t maxPiece = kMaxPiece);
};

}  // namespace parlune
