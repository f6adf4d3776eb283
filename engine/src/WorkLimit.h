// How long a synthesiser may work on one text before it is taken for stuck,
// even while the helper says it is busy: the helper's silence limit
// (PARLUNE_HELPER_TIMEOUT_MS) plus a share for every byte, so that a long
// sentence on a loaded machine is never cut short. A Japanese sentence of
// 360 bytes gets the silence limit and 18 s.
#pragma once

#include <chrono>
#include <cstddef>

namespace parlune {

class WorkLimit {
  public:
    static constexpr int kPerByteMs = 50;

    static std::chrono::milliseconds of(int silenceLimitMs, size_t textBytes) {
        return std::chrono::milliseconds(silenceLimitMs) +
               std::chrono::milliseconds(kPerByteMs) * static_cast<long>(textBytes);
    }
};

}  // namespace parlune
