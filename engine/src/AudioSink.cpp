#include "AudioSink.h"

#include "EngineConfig.h"
#include "EventQueue.h"
#include "NullSink.h"
#include "PulseSink.h"
#include "WavSink.h"

namespace parlune {

std::unique_ptr<AudioSink> AudioSink::create(const EngineConfig& config,
                                             const std::atomic<bool>& stop) {
    switch (config.output) {
        case EngineConfig::Output::Wav:
            return std::make_unique<WavSink>(config.wavDirectory);
        case EngineConfig::Output::Null:
            return std::make_unique<NullSink>();
        case EngineConfig::Output::Pulse:
            break;
    }
    return std::make_unique<PulseSink>(stop);
}

int64_t AudioSink::heardAtNs(size_t) { return EventQueue::now(); }

bool AudioSink::cut() {
    abandon();
    return true;
}

}  // namespace parlune
