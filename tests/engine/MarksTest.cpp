// Timing marks through the library's queue: for every kind of voice, each
// sentence's sample is in time order, its visemes cover its sound without a
// gap, its words are the text's own bytes, and the last mark ends where the
// WAV file ends; a cut text says where it stopped; bad arguments are refused.
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "support/Wait.h"

namespace parlune::test {
namespace {

struct Mark {
    std::string kind;
    long start = 0;
    long end = 0;
    size_t offset = 0;  // sentence, word
    size_t length = 0;
    std::string name;  // viseme, phoneme
};

struct Sample {
    double heard = 0;  // CLOCK_REALTIME seconds
    std::vector<Mark> marks;
    std::string stopped;  // the "stopped ..." line of a cut text
};

Sample parse(const std::string& text) {
    Sample sample;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    sample.heard = std::stod(line);
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        Mark m;
        fields >> m.kind >> m.start >> m.end;
        if (m.kind == "stopped") {
            sample.stopped = line;
            continue;
        }
        if (m.kind == "sentence" || m.kind == "word") {
            fields >> m.offset >> m.length;
        } else {
            fields >> m.name;
        }
        EXPECT_FALSE(fields.fail()) << line;
        sample.marks.push_back(m);
    }
    return sample;
}

int rank(const std::string& kind) {
    static const std::vector<std::string> order = {"sentence", "word", "viseme", "phoneme"};
    return static_cast<int>(std::find(order.begin(), order.end(), kind) - order.begin());
}

// The text's words: runs of letters and digits (ASCII), or of non-ASCII bytes.
std::vector<std::string> wordsOf(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            word += c;
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

// A sentence with any byte beyond ASCII is read by the Japanese voice here.
bool isJapanese(const std::string& text, const Mark& sentence) {
    const std::string bytes = text.substr(sentence.offset, sentence.length);
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

class Marks : public EngineFixture {
  protected:
    ParluneDaHandle createWithMarks() {
        ParluneDaHandle h = create();
        EXPECT_NE(h, nullptr);
        EXPECT_EQ(ParluneDa_EnableEvents(h), PARLUNE_DA_OK);
        EXPECT_EQ(ParluneDa_EnableMarks(h), PARLUNE_DA_OK);
        return h;
    }

    // Every sample waiting, of text `text` only.
    static std::vector<Sample> take(ParluneDaHandle h, uint64_t text) {
        std::vector<Sample> samples;
        std::vector<char> buffer(16);  // small: the caller asks again, larger
        for (;;) {
            uint64_t of = 0;
            const int64_t n = ParluneDa_NextMarks(h, &of, buffer.data(), buffer.size());
            EXPECT_GE(n, 0);
            if (n <= 0) return samples;
            if (static_cast<size_t>(n) >= buffer.size()) {
                buffer.resize(static_cast<size_t>(n) + 1);
                continue;
            }
            EXPECT_EQ(std::string(buffer.data()).size(), static_cast<size_t>(n));
            EXPECT_EQ(of, text);
            samples.push_back(parse(std::string(buffer.data(), static_cast<size_t>(n))));
        }
    }

    // Speaks `text` alone on a fresh handle writing into `dir`; its
    // samples and WAV file.
    std::vector<Sample> speak(const std::string& text, const TempDir& dir, WavFile& wav) {
        ::setenv("PARLUNE_AUDIO", ("wav:" + dir.path()).c_str(), 1);
        ParluneDaHandle h = createWithMarks();
        if (h == nullptr) return {};
        const double before =
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
                .count();
        EXPECT_EQ(ParluneDa_Play(h, text.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
        eventsThrough(h, 1);
        std::vector<Sample> samples = take(h, 1);
        std::vector<std::string> files;
        testsupport::waitUntil([&] { return !(files = dir.namesEndingIn(".wav")).empty(); },
                               std::chrono::seconds(30), std::chrono::milliseconds(20));
        if (!files.empty()) wav = WavFile(dir.path() + "/" + files[0]);
        for (const Sample& s : samples) {
            // The estimate of the first sound: after Play, within seconds.
            EXPECT_GT(s.heard, before - 0.01);
            EXPECT_LT(s.heard, before + 30);
        }
        release(h);
        return samples;
    }
};

struct Case {
    const char* voice;  // PARLUNE_VOICE; "" for auto
    const char* text;
    size_t sentences;
    bool words;            // the voice places words
    const char* japanese;  // the bytes its Japanese words say, one after another
};

TEST_F(Marks, EachVoiceCoversItsSoundInOrderWithTheTextsWords) {
    const Case cases[] = {
        {"", "The quick brown fox jumps over the lazy dog.", 1, true, ""},        // flite
        {"", "今日はとても良い天気です。", 1, true, "今日はとても良い天気です"},  // Open JTalk
        {"", "10時に、ｶﾞｲﾄﾞで確認して！", 1, true, "10時にｶﾞｲﾄﾞで確認して"},  // digits, half-width
        {"de", "Guten Morgen, wie geht es dir heute?", 1, true, ""},          // espeak-ng
        // Two sentences of one voice: each has a sample of its own.
        {"", "The robot is ready. Please tell me where to go.", 2, true, ""},
        {"de", "Guten Morgen, wie geht es dir? Der Roboter wartet im Flur.", 2, true, ""},
        {"", "今日は晴れです。明日は雨です。", 2, true, "今日は晴れです明日は雨です"},
        {"", "Good morning. おはようございます。 See you at 10 o'clock!", 3, true,
         "おはようございます"},  // mixed
    };
    const std::set<std::string> visemes = {"sil", "PP", "FF", "TH", "DD", "kk", "CH", "SS",
                                           "nn",  "RR", "aa", "E",  "ih", "oh", "ou"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.voice[0] != '\0') {
            ::setenv("PARLUNE_VOICE", c.voice, 1);
        } else {
            ::unsetenv("PARLUNE_VOICE");
        }
        TempDir dir;
        WavFile wav("");
        const std::vector<Sample> samples = speak(c.text, dir, wav);
        ASSERT_EQ(samples.size(), c.sentences);
        ASSERT_TRUE(wav.valid());
        const std::string text = c.text;
        std::vector<std::string> words;
        std::vector<std::pair<size_t, size_t>> japanese;  // the bytes of Japanese words
        long sentenceEnd = 0;
        size_t bytesEnd = 0;
        long last = 0;
        for (const Sample& s : samples) {
            ASSERT_FALSE(s.marks.empty());
            EXPECT_TRUE(s.stopped.empty());
            // Time order; marks starting together sentence, word, viseme, phoneme.
            for (size_t i = 1; i < s.marks.size(); ++i) {
                const Mark& a = s.marks[i - 1];
                const Mark& b = s.marks[i];
                EXPECT_TRUE(a.start < b.start ||
                            (a.start == b.start && rank(a.kind) <= rank(b.kind)))
                    << a.kind << " " << a.start << " before " << b.kind << " " << b.start;
            }
            const Mark& sentence = s.marks.front();
            ASSERT_EQ(sentence.kind, "sentence");
            EXPECT_GE(sentence.start, sentenceEnd);
            sentenceEnd = sentence.end;
            // Each sentence its own bytes, after the one before.
            EXPECT_GE(sentence.offset, bytesEnd);
            EXPECT_GT(sentence.length, 0u);
            bytesEnd = sentence.offset + sentence.length;
            long covered = sentence.start;
            for (const Mark& m : s.marks) {
                EXPECT_LE(m.start, m.end) << m.kind;
                EXPECT_GE(m.start, sentence.start) << m.kind;
                EXPECT_LE(m.end, sentence.end) << m.kind;
                last = std::max(last, m.end);
                if (m.kind == "viseme") {
                    EXPECT_EQ(m.start, covered) << "a gap or an overlap before " << m.name;
                    EXPECT_EQ(visemes.count(m.name), 1u) << m.name;
                    covered = m.end;
                } else if (m.kind == "word") {
                    ASSERT_LE(m.offset + m.length, text.size());
                    for (const std::string& w : wordsOf(text.substr(m.offset, m.length))) {
                        words.push_back(w);
                    }
                    const bool again =
                        !japanese.empty() && japanese.back() == std::make_pair(m.offset, m.length);
                    if (!again && m.length > 0 && isJapanese(text, s.marks.front())) {
                        japanese.emplace_back(m.offset, m.length);
                    }
                }
            }
            EXPECT_EQ(covered, sentence.end) << "visemes end before the sentence";
        }
        if (c.words) {
            // Every ASCII word of the text, in order, once (Japanese is
            // placed by its sentence).
            std::vector<std::string> ascii;
            for (const std::string& w : wordsOf(text)) {
                if (static_cast<unsigned char>(w[0]) < 0x80) ascii.push_back(w);
            }
            std::vector<std::string> asciiMarked;
            for (const std::string& w : words) {
                if (static_cast<unsigned char>(w[0]) < 0x80 &&
                    (asciiMarked.empty() || asciiMarked.back() != w))
                    asciiMarked.push_back(w);
            }
            EXPECT_EQ(asciiMarked, ascii);
        }
        // Japanese words one after another, each saying its own bytes.
        std::string said;
        size_t after = 0;
        for (const auto& [offset, length] : japanese) {
            EXPECT_GE(offset, after) << "a word out of order at " << offset;
            after = offset + length;
            said += text.substr(offset, length);
        }
        EXPECT_EQ(said, c.japanese);
        // The marks end where the file does.
        EXPECT_NEAR(static_cast<double>(last), wav.seconds() * 1000.0, 10.0);
    }
}

TEST_F(Marks, ACutTextSaysWhereItStopped) {
    ParluneDaHandle h = createWithMarks();
    ASSERT_NE(h, nullptr);
    std::string text;
    for (int i = 0; i < 120; ++i) text += "This sentence is one of many in a long speech. ";
    const auto played = std::chrono::steady_clock::now();
    ASSERT_EQ(ParluneDa_Play(h, text.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    std::vector<Sample> samples;
    // A sentence's marks come with its first sound: the cut comes once a
    // few sentences are under way and a word has been heard.
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            for (Sample& s : take(h, 1)) samples.push_back(s);
            return samples.size() >= 3 &&
                   std::chrono::steady_clock::now() - played > std::chrono::milliseconds(300);
        },
        std::chrono::seconds(30), std::chrono::milliseconds(2)));
    ASSERT_EQ(ParluneDa_Interrupt(h), PARLUNE_DA_OK);
    eventsThrough(h, 1);
    for (Sample& s : take(h, 1)) samples.push_back(s);
    const std::vector<std::string> files = waitForWavs(1);
    ASSERT_EQ(files.size(), 1u);
    const WavFile wav(m_wavDir.path() + "/" + files[0]);
    ASSERT_GE(samples.size(), 2u);
    const Sample& cut = samples.back();
    ASSERT_FALSE(cut.stopped.empty());
    EXPECT_EQ(cut.heard, samples.front().heard);
    for (size_t i = 0; i + 1 < samples.size(); ++i) EXPECT_TRUE(samples[i].stopped.empty());
    std::istringstream fields(cut.stopped);
    std::string word, why;
    long at = -1;
    size_t offset = 0;
    fields >> word >> at >> offset >> why;
    EXPECT_EQ(why, "interrupted");
    // Within what was written, after a word that started by then.
    EXPECT_GE(at, 0);
    EXPECT_LE(static_cast<double>(at), wav.seconds() * 1000.0 + 1.0);
    EXPECT_GT(offset, 0u);
    EXPECT_LT(offset, text.size());
    EXPECT_TRUE(offset == text.size() || text[offset] == ' ' || text[offset] == '.') << offset;
}

// A sentence left out by a failing voice: the text, finished partly, ends
// with the sample a failure midway leaves, saying where the sound went past
// the part left out and where that part starts.
TEST_F(Marks, ATextFinishedPartlySaysWhatWasLeftOut) {
    struct Case {
        const char* faults;
        const char* text;
        long offset;      // of the part left out; -1: nothing was
        bool afterFirst;  // the sound went past it where the first sentence ended
    };
    const Case cases[] = {
        {"fail=openjtalk", "English is heard. 日本語は聞こえません。", 18, true},
        {"fail=openjtalk", "日本語は聞こえません。 English is heard.", 0, false},
        {"fail=openjtalk", "First part. 日本語です。 Last part.", 12, true},
        {"fail=espeak", "A voice nobody uses may fail.", -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ::setenv("PARLUNE_HELPER_FAULTS", c.faults, 1);
        TempDir dir;
        WavFile wav("");
        const std::vector<Sample> samples = speak(c.text, dir, wav);
        ::unsetenv("PARLUNE_HELPER_FAULTS");
        ASSERT_FALSE(samples.empty());
        for (size_t i = 0; i + 1 < samples.size(); ++i) EXPECT_TRUE(samples[i].stopped.empty());
        if (c.offset < 0) {
            EXPECT_TRUE(samples.back().stopped.empty());
            continue;
        }
        ASSERT_GE(samples.size(), 2u);
        const Sample& last = samples.back();
        ASSERT_FALSE(last.stopped.empty());
        EXPECT_EQ(last.heard, samples.front().heard);
        std::istringstream fields(last.stopped);
        std::string word, why;
        long at = -1;
        long offset = -1;
        fields >> word >> at >> offset >> why;
        EXPECT_EQ(why, "failed");
        EXPECT_EQ(offset, c.offset);
        const Mark& first = samples.front().marks.front();
        EXPECT_EQ(at, c.afterFirst ? first.end : first.start);
    }
}

TEST_F(Marks, OffUntilEnabledAndBadArgumentsAreRefused) {
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ParluneDa_EnableEvents(h), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, "Nothing is kept.", 100, 0, 0, 0), PARLUNE_DA_OK);
    eventsThrough(h, 1);
    char buffer[256];
    uint64_t text = 0;
    EXPECT_EQ(ParluneDa_NextMarks(h, &text, buffer, sizeof buffer), 0);
    EXPECT_EQ(ParluneDa_NextMarks(h, nullptr, buffer, sizeof buffer), -1);
    EXPECT_EQ(ParluneDa_NextMarks(h, &text, nullptr, sizeof buffer), -1);
    EXPECT_EQ(ParluneDa_NextMarks(nullptr, &text, buffer, sizeof buffer), -1);
    EXPECT_EQ(ParluneDa_EnableMarks(nullptr), PARLUNE_DA_E_HANDLE);
    release(h);
    EXPECT_EQ(ParluneDa_NextMarks(h, &text, buffer, sizeof buffer), -1);
    EXPECT_EQ(ParluneDa_EnableMarks(h), PARLUNE_DA_E_HANDLE);
}

}  // namespace
}  // namespace parlune::test
