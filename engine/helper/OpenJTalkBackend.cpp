#include "OpenJTalkBackend.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "Viseme.h"

namespace parlune::helper {

namespace {

bool readFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    bytes = all.str();
    return true;
}

}  // namespace

OpenJTalkBackend::OpenJTalkBackend(Setup setup) : m_setup(std::move(setup)) {}

std::string OpenJTalkBackend::voiceFile(const std::string& voice) const {
    const char* name = voice == "m001" ? "nitech_jp_atr503_m001.htsvoice" : "mei_normal.htsvoice";
    return m_setup.voiceDir + "/" + name;
}

bool OpenJTalkBackend::isVoiceData(const std::string& bytes) {
    if (bytes.compare(0, 8, "[GLOBAL]") != 0) {
        return false;
    }
    size_t data = bytes.find("[DATA]\n");
    size_t position = bytes.find("[POSITION]\n");
    if (data == std::string::npos || position == std::string::npos || position > data) {
        return false;
    }
    size_t dataStart = data + 7;
    size_t dataBytes = bytes.size() - dataStart;
    // Lines such as "STREAM_PDF[MCP]:25757-583536,..." give byte ranges in the data part.
    std::istringstream lines(bytes.substr(position, data - position));
    std::string line;
    bool any = false;
    while (std::getline(lines, line)) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        std::istringstream ranges(line.substr(colon + 1));
        std::string range;
        while (std::getline(ranges, range, ',')) {
            size_t dash = range.find('-');
            if (dash == std::string::npos) {
                return false;
            }
            unsigned long long last = std::strtoull(range.c_str() + dash + 1, nullptr, 10);
            if (last >= dataBytes) {
                return false;
            }
            any = true;
        }
    }
    return any;
}

std::string OpenJTalkBackend::load(const std::string& voice) {
    if (m_checked.count(voice) != 0) {
        return std::string();
    }
    struct stat st {};
    if (::stat((m_setup.dictionary + "/sys.dic").c_str(), &st) != 0) {
        return "the dictionary " + m_setup.dictionary + " is missing";
    }
    std::string path = voiceFile(voice);
    std::string bytes;
    if (!readFile(path, bytes)) {
        return "the voice file " + path + " is missing or unreadable";
    }
    if (!isVoiceData(bytes)) {
        return "the voice file " + path + " is damaged";
    }
    m_checked.insert(voice);
    return std::string();
}

HtsVoice* OpenJTalkBackend::ready(const std::string& voice) {
    auto found = m_voices.find(voice);
    if (found != m_voices.end()) {
        return found->second.get();
    }
    if (!load(voice).empty() || !m_analysis.load(m_setup.dictionary)) {
        return nullptr;
    }
    auto loaded = std::make_unique<HtsVoice>();
    if (!loaded->load(voiceFile(voice))) {
        return nullptr;
    }
    return (m_voices[voice] = std::move(loaded)).get();
}

void OpenJTalkBackend::warmUp(const std::string& voice) {
    speak(voice, "準備ができました。", Prosody{}, [](const int16_t*, size_t, int) { return true; });
}

SynthBackend::Result OpenJTalkBackend::speak(const std::string& voice, std::string_view text,
                                             const Prosody& prosody, const PcmCallback& out) {
    HtsVoice* hts = ready(voice);
    if (hts == nullptr) {
        return Result::Failed;
    }
    std::vector<std::string> labels = m_analysis.labels(text);
    if (labels.empty()) {
        return Result::Failed;  // nothing to say, as the program reports it
    }
    // The first pause inside the utterance's first sentence ("、"): its
    // first sound need not wait for the whole sentence's parameters, only
    // for those up to it. The head's pitch range is then its own, not the
    // sentence's, so later sentences, already awaited, are made whole; so
    // is a sentence at another rate than the voice's own, whose length the
    // engine spreads over all its states (a head alone came out 11% longer
    // at 300%).
    const bool cut = prosody.firstSound && prosody.speed == 100;
    size_t pause = 0;
    for (size_t i = 1; cut && i + 1 < labels.size() && pause == 0; ++i) {
        pause = JapaneseAnalysis::phonemeOf(labels[i]) == "pau" ? i : 0;
    }
    return hts->speakSoon(labels, pause, prosody, out);
}

SynthBackend::Result OpenJTalkBackend::speak(const std::string& voice, std::string_view text,
                                             const Prosody& prosody, const PcmCallback& out,
                                             const MarkCallback& marks) {
    HtsVoice* hts = ready(voice);
    if (hts == nullptr) {
        return Result::Failed;
    }
    std::vector<JapaneseAnalysis::Word> words;
    std::vector<std::string> labels = m_analysis.labels(text, &words);
    if (labels.empty()) {
        return Result::Failed;
    }
    std::vector<size_t> ends;
    bool marked = false;
    // Passed on with the first samples, when the durations are known.
    auto first = [&](const int16_t* samples, size_t count, int rate) {
        for (size_t i = 0; !marked && i < labels.size() && i < ends.size(); ++i) {
            SpeechMark mark;
            mark.kind = SpeechMark::Kind::Phoneme;
            mark.name = std::string(JapaneseAnalysis::phonemeOf(labels[i]));
            mark.viseme = Viseme::fromOpenJTalk(mark.name);
            mark.start = i > 0 ? ends[i - 1] : 0;
            mark.end = ends[i];
            marks(mark);
        }
        for (size_t i = 0; !marked && i < words.size(); ++i) {
            const JapaneseAnalysis::Word& w = words[i];
            if (w.first == 0 || w.last >= ends.size()) {
                continue;  // never so: words lie between the two silences
            }
            SpeechMark mark;
            mark.kind = SpeechMark::Kind::Word;
            mark.start = ends[w.first - 1];
            mark.end = ends[w.last];
            mark.offset = w.offset;
            mark.length = w.length;
            marks(mark);
        }
        if (!marked && !ends.empty()) {
            SpeechMark whole;
            whole.kind = SpeechMark::Kind::Sentence;
            whole.end = ends.back();
            marks(whole);
        }
        marked = true;
        return out(samples, count, rate);
    };
    return hts->speak(labels, prosody, first, &ends);
}

}  // namespace parlune::helper
