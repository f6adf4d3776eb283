// Where the samples of one utterance go. Used by one worker thread only.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace parlune {

class EngineConfig;

class AudioSink {
  public:
    virtual ~AudioSink() = default;

    // The sink chosen by `config`. Waits inside the sink end early once
    // `stop` is set.
    static std::unique_ptr<AudioSink> create(const EngineConfig& config,
                                             const std::atomic<bool>& stop);

    // Starts one utterance of `text`; false when output is not possible.
    virtual bool begin(const std::string& text, int sampleRate) = 0;
    // Adds mono signed 16-bit samples; false when output failed.
    virtual bool write(const int16_t* samples, size_t count) = 0;
    // Completes the utterance (plays it out, publishes the file).
    virtual bool finish() = 0;
    // Drops the utterance begun last, with whatever was written of it.
    virtual void abandon() = 0;
    // Ends the utterance begun last at once, where it has come to: what is
    // still to be heard is silenced, what was kept so far stays kept (a file
    // is completed). By default abandon(). False when output failed.
    virtual bool cut();
    // When the first of the last `count` samples written will be heard
    // (CLOCK_MONOTONIC nanoseconds), as far as the sink can tell; by default
    // now, for sinks that take samples as they come.
    virtual int64_t heardAtNs(size_t count);
    // Whether heardAtNs follows an audio clock, so that writing keeps pace
    // with hearing; sinks that take samples as fast as they come have none.
    virtual bool hasClock() const { return false; }
};

}  // namespace parlune
