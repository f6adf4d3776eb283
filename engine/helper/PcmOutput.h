// Where the back ends' samples go: leading silence shortened, converted to
// the helper's one output rate, scaled to the volume asked for, handed on as
// soon as they are made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "Resampler.h"
#include "SilenceTrimmer.h"
#include "VolumeLimiter.h"

namespace parlune::helper {

class PcmOutput {
  public:
    // Sends samples at the output rate; false when nobody listens any more.
    using Send = std::function<bool(const int16_t* samples, size_t count)>;

    PcmOutput(int outputRate, Send send);

    // Starts one synthesised stretch, holding nothing; of the silence
    // before its first audible sample at most `keepLeadMs` is kept.
    void begin(int keepLeadMs);
    // The volume of what is sent from now on, percent 0..200.
    void setVolume(int percent) { m_volume.setVolume(percent); }
    // Samples at `rate`; false when the receiver is gone.
    bool write(const int16_t* samples, size_t count, int rate);
    // Ends the stretch, sending what the converter still holds.
    bool end();

    // While held, what would be sent is kept until release() (to send a
    // stretch's marks before its samples).
    void hold() { m_holding = true; }
    bool release();
    // Output samples held now.
    size_t held() const { return m_held.size(); }
    // Whether the stretch has sounded yet: from then on the silence cut
    // from its start is known.
    bool heardSound() const { return m_started && m_trimmer.heardSound(); }

    // How the stretch begun last came out: samples written, how many of
    // them the trimming kept (it cuts only from the start), the rate they
    // came at, and samples made at the output rate.
    struct Counts {
        size_t written = 0;
        size_t kept = 0;
        int rate = 0;
        size_t made = 0;
    };
    const Counts& counts() const { return m_counts; }

  private:
    bool send();

    int m_outputRate;
    Send m_send;
    int m_keepLeadMs = 0;
    bool m_started = false;
    SilenceTrimmer m_trimmer;
    VolumeLimiter m_volume;
    std::map<int, std::unique_ptr<Resampler>> m_resamplers;  // by input rate
    Resampler* m_resampler = nullptr;
    std::vector<int16_t> m_trimmed;
    std::vector<int16_t> m_converted;
    bool m_holding = false;
    std::vector<int16_t> m_held;
    Counts m_counts;
};

}  // namespace parlune::helper
