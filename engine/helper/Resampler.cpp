#include "Resampler.h"

#include <speex/speex_resampler.h>

namespace parlune::helper {

namespace {

// Quality 5 of 0..10: the library's desktop setting; its pass band holds
// the whole of speech at these rates.
constexpr int kQuality = 5;

}  // namespace

Resampler::Resampler(int inputRate, int outputRate)
    : m_inputRate(inputRate), m_outputRate(outputRate) {
    if (inputRate != outputRate && inputRate > 0 && outputRate > 0) {
        int error = 0;
        m_state = speex_resampler_init(1, static_cast<spx_uint32_t>(inputRate),
                                       static_cast<spx_uint32_t>(outputRate), kQuality, &error);
        reset();
    }
}

Resampler::~Resampler() {
    if (m_state != nullptr) {
        speex_resampler_destroy(m_state);
    }
}

void Resampler::reset() {
    if (m_state != nullptr) {
        speex_resampler_reset_mem(m_state);
        speex_resampler_skip_zeros(m_state);
    }
}

void Resampler::process(const int16_t* samples, size_t count, std::vector<int16_t>& out) {
    if (m_state == nullptr) {
        out.insert(out.end(), samples, samples + count);
        return;
    }
    while (count > 0) {
        spx_uint32_t inLength = static_cast<spx_uint32_t>(count);
        size_t room =
            count * static_cast<size_t>(m_outputRate) / static_cast<size_t>(m_inputRate) + 64;
        size_t before = out.size();
        out.resize(before + room);
        spx_uint32_t outLength = static_cast<spx_uint32_t>(room);
        speex_resampler_process_int(m_state, 0, samples, &inLength, out.data() + before,
                                    &outLength);
        out.resize(before + outLength);
        if (inLength == 0 && outLength == 0) {
            break;  // cannot happen with room to spare; never loop for ever
        }
        samples += inLength;
        count -= inLength;
    }
}

void Resampler::flush(std::vector<int16_t>& out) {
    if (m_state == nullptr) {
        return;
    }
    std::vector<int16_t> zeros(static_cast<size_t>(speex_resampler_get_input_latency(m_state)), 0);
    process(zeros.data(), zeros.size(), out);
}

}  // namespace parlune::helper
