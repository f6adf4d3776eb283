// The text of one marks sample (see ParluneDa_NextMarks): the helper's marks
// of a sentence checked and written as lines, in milliseconds from the
// text's first audible sample and bytes of the whole text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "HelperProtocol.h"

namespace parlune {

class MarkSample {
  public:
    // CLOCK_REALTIME nanoseconds of a CLOCK_MONOTONIC time.
    static int64_t realtimeOf(int64_t monotonicNs);

    struct Sentence {
        int64_t heardNs = 0;     // CLOCK_REALTIME of the text's first audible sample
        size_t before = 0;       // samples of the text before the sentence's first
        int rate = 0;            // of the samples
        size_t pieceOffset = 0;  // of the helper's piece in the text
        size_t pieceBytes = 0;
    };
    // Marks whose bytes fall outside the piece, or whose kind is unknown,
    // are left out; names are cut at their first NUL or space.
    static std::string sentence(const Sentence& where,
                                const std::vector<protocol::MarkRecord>& marks);

    static std::string stopped(int64_t heardNs, int64_t atMs, size_t offset, const char* why);

    static int64_t milliseconds(size_t samples, int rate);
};

}  // namespace parlune
