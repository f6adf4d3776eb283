#include "MarkedStretch.h"

#include <algorithm>

namespace parlune::helper {

namespace {

// Samples at `rate` as samples at `outputRate`, rounded down: the
// converter's last samples come out with the next sentence.
size_t converted(size_t samples, int rate, int outputRate) {
    if (rate <= 0) {
        return samples;
    }
    return static_cast<size_t>(static_cast<unsigned long long>(samples) *
                               static_cast<unsigned long long>(outputRate) /
                               static_cast<unsigned long long>(rate));
}

}  // namespace

void MarkedStretch::mark(const SpeechMark& mark) {
    if (mark.kind != SpeechMark::Kind::Sentence) {
        m_found.push_back(mark);
        return;
    }
    // A sentence not yet sent (no sound so far) is taken into this one.
    const size_t start = m_due ? m_due->start : mark.start;
    m_due = mark;
    m_due->start = start;
    m_ok = flush() && m_ok;
}

bool MarkedStretch::write(const int16_t* samples, size_t count, int rate) {
    m_ok = flush() && m_ok;
    if (m_written >= m_markedUpTo) {
        m_out.hold();  // beyond what the marks sent cover
    }
    m_ok = m_out.write(samples, count, rate) && m_ok;
    m_written += count;
    m_ok = flush() && m_ok;
    return m_ok;
}

bool MarkedStretch::finish(SynthBackend::Result result) {
    // A tail past a sentence's predicted end (flite's last frame) has no
    // marks of its own; a stretch without any sound still has its sentence.
    const bool rest = m_due || !m_found.empty() || !m_sentAny;
    if (result == SynthBackend::Result::Spoken && rest && m_ok) {
        const size_t start = m_due ? m_due->start : m_markedUpTo;
        m_ok = send(start, std::max(start, m_written), m_out.held());
    }
    m_due.reset();
    return m_out.release() && m_ok;
}

size_t MarkedStretch::cut() const {
    const PcmOutput::Counts& counts = m_out.counts();
    return counts.written - std::min(counts.kept, counts.written);
}

bool MarkedStretch::flush() {
    if (!m_due || !m_out.heardSound() || !m_ok) {
        return m_ok;
    }
    const size_t end = std::max(m_due->start, m_due->end);
    const size_t from = std::max(m_due->start, std::min(cut(), end));
    const bool ok =
        send(m_due->start, end, converted(end - from, m_out.counts().rate, m_outputRate));
    m_markedUpTo = std::max(m_markedUpTo, end);
    m_due.reset();
    return m_out.release() && ok;
}

bool MarkedStretch::send(size_t start, size_t end, size_t made) {
    const PcmOutput::Counts& counts = m_out.counts();
    const size_t cut = this->cut();
    const size_t from = std::max(start, std::min(cut, end));
    // The marks timed from the sentence's first sample.
    std::vector<SpeechMark> marks;
    marks.reserve(m_found.size());
    for (SpeechMark m : m_found) {
        m.start = m.start > start ? m.start - start : 0;
        m.end = m.end != 0 ? std::max(m.end, start + 1) - start : 0;
        marks.push_back(std::move(m));
    }
    m_found.clear();
    const PcmOutput::Counts own{end - start, end - from, counts.rate, made};
    std::vector<protocol::MarkRecord> records = m_builder.sentence(m_text, std::move(marks), own);
    // The library times them from the samples sent so far; the sentence
    // starts where its first kept sample comes out (after the converter's
    // delay) and never inside the sentence before.
    const size_t sent = counts.made - std::min(counts.made, m_out.held());
    const size_t at = converted(from - std::min(cut, from), counts.rate, m_outputRate);
    const size_t begins = std::max({at, sent, m_sentEnd});
    const auto shift = static_cast<uint32_t>(begins - sent);
    for (protocol::MarkRecord& r : records) {
        r.start += shift;
        r.end += shift;
    }
    m_sentEnd = begins + made;
    m_sentAny = true;
    return m_sink(records);
}

}  // namespace parlune::helper
