// Discards every utterance.
#pragma once

#include "AudioSink.h"

namespace parlune {

class NullSink : public AudioSink {
  public:
    bool begin(const std::string&, int) override { return true; }
    bool write(const int16_t*, size_t) override { return true; }
    bool finish() override { return true; }
    void abandon() override {}
};

}  // namespace parlune
