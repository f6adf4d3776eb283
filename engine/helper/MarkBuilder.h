// Turns a back end's marks for one sentence into the marks the library
// gets: times moved to the samples actually sent (after the leading silence
// was cut and the rate converted), the whole sentence covered by visemes
// (silence between and after words is "sil"), words placed in the bytes of
// the piece of text the helper was given.
#pragma once

#include <string_view>
#include <vector>

#include "HelperProtocol.h"
#include "PcmOutput.h"
#include "SynthBackend.h"

namespace parlune::helper {

class MarkBuilder {
  public:
    // Words are looked for in `piece`, in order, from its start.
    explicit MarkBuilder(std::string_view piece) : m_piece(piece) {}

    // The marks of a sentence `text` (a stretch of the piece, perhaps with
    // control characters removed) whose samples came out as `counts` says.
    std::vector<protocol::MarkRecord> sentence(std::string_view text, std::vector<SpeechMark> marks,
                                               const PcmOutput::Counts& counts);

  private:
    // Words a back end ran together with the one before ("on the" as one
    // word) get marks of their own: the time split by their bytes, each cut
    // at the nearest phoneme start; a suffix joined on ("It" of "It's") is
    // taken into the word.
    std::vector<protocol::MarkRecord> separate(const std::vector<protocol::MarkRecord>& words,
                                               const std::vector<SpeechMark>& phonemes) const;
    // Where `bytes` is in the piece at or after the last word found; npos
    // when it is not there.
    size_t locate(std::string_view bytes);

    std::string_view m_piece;
    size_t m_cursor = 0;
};

}  // namespace parlune::helper
