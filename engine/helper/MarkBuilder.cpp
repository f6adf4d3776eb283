#include "MarkBuilder.h"

#include <algorithm>
#include <cstring>

#include "Utf8.h"
#include "Viseme.h"

namespace parlune::helper {

namespace {

namespace proto = protocol;
using Kind = SpeechMark::Kind;

proto::MarkRecord record(uint32_t kind, size_t start, size_t end, std::string_view name = {}) {
    proto::MarkRecord r{};
    r.kind = kind;
    r.start = static_cast<uint32_t>(start);
    r.end = static_cast<uint32_t>(std::max(start, end));
    // Cut at a character boundary, keeping a NUL.
    size_t n = std::min(name.size(), sizeof r.name - 1);
    while (n > 0 && n < name.size() && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) {
        --n;
    }
    name.copy(r.name, n);
    return r;
}

// Whether a phoneme moves the mouth (compared by name: tables may hold
// their own copies of "sil").
bool sounds(const SpeechMark& p) {
    return p.viseme != nullptr && std::strcmp(p.viseme, Viseme::kSilence) != 0;
}

// Letters, digits and apostrophes of Latin script make words.
bool isWordChar(char32_t cp) {
    return (cp >= '0' && cp <= '9') || (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') ||
           cp == '\'' || (cp >= 0xC0 && cp <= 0x24F && cp != 0xD7 && cp != 0xF7);
}

// Sentence, word, viseme, phoneme: the order of marks that start together.
bool earlier(const proto::MarkRecord& a, const proto::MarkRecord& b) {
    return a.start != b.start ? a.start < b.start : a.kind < b.kind;
}

}  // namespace

std::vector<proto::MarkRecord> MarkBuilder::separate(
    const std::vector<proto::MarkRecord>& words, const std::vector<SpeechMark>& phonemes) const {
    std::vector<proto::MarkRecord> out;
    for (size_t i = 0; i < words.size(); ++i) {
        proto::MarkRecord w = words[i];
        const bool last = i + 1 == words.size();
        size_t limit = last ? w.offset + w.length : words[i + 1].offset;
        // After the last word only a suffix joined on.
        for (size_t pos = limit;
             last && pos < m_piece.size() && isWordChar(utf8::next(m_piece, pos));) {
            limit = pos;
        }
        // The words between this one and the next, and a suffix joined to it.
        std::vector<std::pair<size_t, size_t>> parts{{w.offset, w.length}};
        size_t pos = w.offset + w.length;
        while (pos < limit) {
            const size_t from = pos;
            const bool letter = isWordChar(utf8::next(m_piece, pos));
            if (!letter) {
                continue;
            }
            if (from == parts.back().first + parts.back().second) {
                parts.back().second = pos - parts.back().first;  // "It" + "'s"
            } else {
                parts.emplace_back(from, pos - from);
            }
        }
        if (w.length == 0 || limit < w.offset) {
            out.push_back(w);
            continue;
        }
        size_t bytes = 0;
        for (const auto& part : parts) {
            bytes += part.second;
        }
        // The run's phonemes shared out by bytes; by time when it has too few.
        std::vector<size_t> starts;
        for (const SpeechMark& p : phonemes) {
            if (p.start >= w.start && p.start < w.end && sounds(p)) {
                starts.push_back(p.start);
            }
        }
        size_t start = w.start;
        size_t done = 0;
        size_t taken = 0;  // phonemes given out so far
        for (size_t k = 0; k < parts.size(); ++k) {
            done += parts[k].second;
            size_t end = w.end;
            if (k + 1 < parts.size()) {
                const size_t share = (starts.size() * done + bytes / 2) / bytes;
                const size_t left = parts.size() - 1 - k;  // each later word keeps one
                if (starts.size() >= parts.size()) {
                    taken = std::clamp(share, taken + 1, starts.size() - left);
                    end = starts[taken];
                } else {
                    end = w.start + (w.end - w.start) * done / bytes;
                }
            }
            proto::MarkRecord r = w;
            r.start = static_cast<uint32_t>(start);
            r.end = static_cast<uint32_t>(std::max(start, end));
            r.offset = static_cast<uint32_t>(parts[k].first);
            r.length = static_cast<uint32_t>(parts[k].second);
            out.push_back(r);
            start = r.end;
        }
    }
    return out;
}

size_t MarkBuilder::locate(std::string_view bytes) {
    size_t at = bytes.empty() ? std::string_view::npos : m_piece.find(bytes, m_cursor);
    if (at != std::string_view::npos) {
        m_cursor = at + bytes.size();
    }
    return at;
}

std::vector<proto::MarkRecord> MarkBuilder::sentence(std::string_view text,
                                                     std::vector<SpeechMark> marks,
                                                     const PcmOutput::Counts& counts) {
    const size_t made = counts.made;
    const size_t cut = counts.written - std::min(counts.kept, counts.written);
    // A back end's sample to a sample sent: the cut start removed, the rest
    // scaled so that the last one written is the last one sent.
    auto sent = [&](size_t sample) -> size_t {
        if (counts.kept == 0 || sample <= cut) {
            return 0;
        }
        const unsigned long long scaled =
            (static_cast<unsigned long long>(sample - cut) * made + counts.kept / 2) / counts.kept;
        return std::min<size_t>(static_cast<size_t>(scaled), made);
    };
    std::vector<SpeechMark> words;
    std::vector<SpeechMark> phonemes;
    for (SpeechMark& mark : marks) {
        if (mark.kind == Kind::Sentence) {
            continue;  // the caller's cut, not a mark of its own
        }
        (mark.kind == Kind::Word ? words : phonemes).push_back(std::move(mark));
    }
    auto byStart = [](const SpeechMark& a, const SpeechMark& b) { return a.start < b.start; };
    std::stable_sort(words.begin(), words.end(), byStart);
    std::stable_sort(phonemes.begin(), phonemes.end(), byStart);
    size_t previous = 0;
    for (size_t i = 0; i < phonemes.size(); ++i) {
        SpeechMark& p = phonemes[i];
        size_t next = i + 1 < phonemes.size() ? phonemes[i + 1].start : counts.written;
        p.end = sent(p.end != 0 ? p.end : next);
        // No overlap where two utterances of a back end meet.
        p.start = std::min(std::max(sent(p.start), previous), p.end);
        previous = p.end;
    }

    std::vector<proto::MarkRecord> out;
    size_t first = std::string_view::npos;
    size_t last = 0;
    for (size_t i = 0; i < words.size(); ++i) {
        const SpeechMark& w = words[i];
        size_t next = i + 1 < words.size() ? words[i + 1].start : counts.written;
        const size_t start = sent(w.start);
        size_t end = sent(w.end != 0 ? w.end : next);
        // A word ends with its last sounding phoneme, not the pause after it.
        size_t sounding = start;
        for (const SpeechMark& p : phonemes) {
            if (p.start >= start && p.start < end && sounds(p)) {
                sounding = std::max(sounding, p.end);
            }
        }
        end = sounding > start ? std::min(end, sounding) : end;
        std::string_view bytes =
            w.offset < text.size() ? text.substr(w.offset, w.length) : std::string_view();
        // Words of one stretch of text ("21": "twenty one") share its bytes.
        const bool again = i > 0 && w.offset == words[i - 1].offset &&
                           w.length == words[i - 1].length && !out.empty();
        size_t at = again ? out.back().offset : locate(bytes);
        if (at == std::string_view::npos) {
            at = m_cursor;  // not in the piece: no bytes, only its time
            bytes = std::string_view();
        }
        proto::MarkRecord r = record(proto::kMarkWord, start, end);
        r.offset = static_cast<uint32_t>(at);
        r.length = static_cast<uint32_t>(again ? out.back().length : bytes.size());
        out.push_back(r);
        first = std::min(first, at);
        last = std::max(last, at + r.length);
    }
    out = separate(out, phonemes);
    proto::MarkRecord whole = record(proto::kMarkSentence, 0, made);
    if (first == std::string_view::npos) {
        // No words: the sentence is placed by its first bytes.
        first = locate(text.substr(0, std::min<size_t>(text.size(), 8)));
        first = first != std::string_view::npos ? first : m_cursor;
        last = std::min(m_piece.size(), first + text.size());
        m_cursor = std::max(m_cursor, last);
    }
    whole.offset = static_cast<uint32_t>(first);
    whole.length = static_cast<uint32_t>(last - first);
    out.push_back(whole);

    // Visemes from end to end; "sil" wherever no phoneme sounds.
    size_t covered = 0;
    auto addViseme = [&](size_t start, size_t end, const char* viseme) {
        if (end <= start) {
            return;
        }
        for (auto it = out.rbegin(); it != out.rend(); ++it) {
            if (it->kind == proto::kMarkViseme) {
                if (it->end == start && std::strcmp(it->name, viseme) == 0) {
                    it->end = static_cast<uint32_t>(end);  // one shape held on
                    covered = end;
                    return;
                }
                break;
            }
        }
        out.push_back(record(proto::kMarkViseme, start, end, viseme));
        covered = end;
    };
    for (const SpeechMark& p : phonemes) {
        const size_t start = std::max(p.start, covered);
        addViseme(covered, start, Viseme::kSilence);
        addViseme(start, p.end, p.viseme != nullptr ? p.viseme : Viseme::kSilence);
        out.push_back(record(proto::kMarkPhoneme, p.start, p.end, p.name));
    }
    addViseme(covered, made, Viseme::kSilence);
    std::stable_sort(out.begin(), out.end(), earlier);
    return out;
}

}  // namespace parlune::helper
