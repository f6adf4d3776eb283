// One stretch of a voice spoken with marks: each of the back end's sentences
// has its marks sent before its samples, and its samples are held only until
// then. A sentence's marks go as soon as the back end has given them all
// (SpeechMark::Kind::Sentence) and the silence cut from the stretch's start
// is known; what a back end gives without such a sentence goes as one
// sentence when the call ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "HelperProtocol.h"
#include "MarkBuilder.h"
#include "PcmOutput.h"
#include "SynthBackend.h"

namespace parlune::helper {

class MarkedStretch {
  public:
    // Receives a sentence's marks; false when the receiver is gone.
    using Sink = std::function<bool(const std::vector<protocol::MarkRecord>&)>;

    // `out` has begun the stretch and makes samples at `outputRate`;
    // `text` is what the back end speaks, a stretch of the builder's piece.
    MarkedStretch(PcmOutput& out, int outputRate, MarkBuilder& builder, std::string_view text,
                  const Sink& sink)
        : m_out(out), m_outputRate(outputRate), m_builder(builder), m_text(text), m_sink(sink) {}

    // The back end's callbacks; write() is false once the receiver is gone.
    void mark(const SpeechMark& mark);
    bool write(const int16_t* samples, size_t count, int rate);

    // After the back end returned `result` and out.end(): the rest as one
    // sentence, as long as what was made of it; what is held is sent.
    // False when the receiver is gone.
    bool finish(SynthBackend::Result result);

  private:
    // Sends the due sentence's marks and what it held, when it can.
    bool flush();
    // Sends the marks of the call's samples start..end, which come out as
    // `made` samples.
    bool send(size_t start, size_t end, size_t made);
    // The samples the trimming cut from the stretch's start.
    size_t cut() const;

    PcmOutput& m_out;
    int m_outputRate;
    MarkBuilder& m_builder;
    std::string_view m_text;
    const Sink& m_sink;
    std::vector<SpeechMark> m_found;
    std::optional<SpeechMark> m_due;  // a sentence of the back end, complete
    size_t m_written = 0;             // samples the back end gave
    size_t m_markedUpTo = 0;          // the samples whose marks were sent
    size_t m_sentEnd = 0;             // where the last sentence sent ends, in samples sent
    bool m_sentAny = false;
    bool m_ok = true;
};

}  // namespace parlune::helper
