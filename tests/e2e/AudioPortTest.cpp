// The speech component's opt-in audio port, from outside: the sound as it is
// played, read with rtctl print (octets in hexadecimal, one chunk a line).
#include "E2e.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <sstream>

using namespace e2e;
using testsupport::waitUntil;

namespace {

struct Chunk {
    double stamp = 0;
    std::string bytes;
};

// "SEC.NANOSEC HEX" lines as rtctl print --tm writes them.
std::vector<Chunk> parse(const std::string& out) {
    std::vector<Chunk> chunks;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        const auto space = line.find(' ');
        if (space == std::string::npos) continue;
        Chunk c;
        c.stamp = std::stod(line.substr(0, space));
        for (std::size_t at = space + 1; at + 1 < line.size(); at += 2)
            c.bytes.push_back(static_cast<char>(std::stoi(line.substr(at, 2), nullptr, 16)));
        chunks.push_back(c);
    }
    return chunks;
}

std::size_t byteCount(const std::vector<Chunk>& chunks) {
    std::size_t n = 0;
    for (const Chunk& c : chunks) n += c.bytes.size();
    return n;
}

// The sample data of the engine's WAV files, one after the other.
std::string wavData(const std::string& wav_dir) {
    std::string all;
    for (const std::string& f : filesEndingIn(wav_dir, ".wav"))
        all += testsupport::readFile(f).substr(44);
    return all;
}

class AudioPort : public ::testing::Test {
  protected:
    // The speech component with these keys, its log in `in`, its WAV files in `wavs`.
    std::unique_ptr<Process> launchWith(const std::vector<std::string>& keys, const TempDir& in,
                                        const TempDir& wavs) {
        std::vector<std::string> extra = {"-o", "manager.components.preactivation:Parlune0"};
        for (const std::string& k : keys) extra.insert(extra.end(), {"-o", "Etc.Parlune." + k});
        auto speech = launch(SPEECH_LAUNCHER, in, wavs.path(), extra);
        EXPECT_TRUE(waitRegistered(dir, "Parlune0"));
        return speech;
    }
    // rtctl print on Parlune0.audio, connected once it returns.
    std::unique_ptr<Process> watch() {
        std::unique_ptr<Process> p(new Process(
            {RTCTL, "-n", naming(), "print", "Parlune0.audio", "--tm", "-t", "170"}, dir.path()));
        const bool connected = waitUntil(
            [&] {
                return rtctl(dir, {"ls", "-l"})
                           .out.find(
                               "audio  DataOutPort  IDL:RTC/TimedOctetSeq:1.0  connectors=1") !=
                       std::string::npos;
            },
            std::chrono::seconds(20), std::chrono::milliseconds(100));
        EXPECT_TRUE(connected) << p->err();
        return p;
    }

    TempDir dir;
    TempDir wav;
};

TEST_F(AudioPort, OffByDefaultOrWhenTheKeyIsNotYes) {
    for (const std::vector<std::string>& keys :
         std::vector<std::vector<std::string>>{{}, {"audio.enable:NO"}, {"audio.enable:maybe"}}) {
        SCOPED_TRACE(keys.empty() ? "no key" : keys[0]);
        auto speech = launchWith(keys, dir, wav);
        ToolResult r = rtctl(dir, {"print", "Parlune0.audio", "-n", "1"});
        EXPECT_FALSE(r.ok);
        EXPECT_NE(std::string::npos, r.err.find("audio")) << r.err;
        speech->signal(SIGTERM);
        EXPECT_TRUE(speech->wait(15000));
    }
}

// At the rate the engine plays (22050 Hz) the port carries exactly the bytes
// of the WAV files; at the others as many as that sound takes at their rate.
TEST_F(AudioPort, CarriesThePlayedSoundInChunksOfAtMost20Ms) {
    struct Case {
        std::vector<std::string> keys;
        int rate;
    };
    for (const Case& c :
         {Case{{"audio.enable:YES", "audio.rate:22050"}, 22050}, Case{{"audio.enable:yes"}, 16000},
          Case{{"audio.enable:YES", "audio.rate:48000"}, 48000},
          Case{{"audio.enable:YES", "audio.rate:44100"}, 16000}}) {
        SCOPED_TRACE(c.rate);
        TempDir logs, wavs;
        auto speech = launchWith(c.keys, logs, wavs);
        auto printer = watch();
        ASSERT_TRUE(rtctl(dir, {"inject", "Parlune0.in", "Hello there.", "And a second text."}).ok);
        ASSERT_TRUE(waitWavs(wavs.path(), 2, 60000));
        const std::string played = wavData(wavs.path());
        const double expected = double(played.size()) * c.rate / 22050;
        // The last chunks are written as they are heard, after the file is complete.
        std::size_t seen = 0;
        int still = 0;
        ASSERT_TRUE(waitUntil(
            [&] {
                const std::size_t now = byteCount(parse(printer->out()));
                still = now == seen ? still + 1 : 0;
                seen = now;
                return now >= expected * 0.99 && still >= 10;
            },
            std::chrono::seconds(30), std::chrono::milliseconds(100)))
            << seen << " of " << expected;
        speech->signal(SIGTERM);
        EXPECT_TRUE(speech->wait(15000));
        const std::vector<Chunk> chunks = parse(printer->out());
        std::string bytes;
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            EXPECT_LE(chunks[i].bytes.size(), std::size_t(c.rate / 50 * 2)) << "chunk " << i;
            EXPECT_EQ(chunks[i].bytes.size() % 2, 0u);
            if (i > 0) {
                EXPECT_GE(chunks[i].stamp, chunks[i - 1].stamp) << "chunk " << i;
            }
            bytes += chunks[i].bytes;
        }
        if (c.rate == 22050) {
            EXPECT_TRUE(bytes == played) << bytes.size() << " bytes, played " << played.size();
        } else {
            EXPECT_NEAR(double(bytes.size()), expected, expected * 0.01 + c.rate / 25);
        }
        if (c.keys.back() == "audio.rate:44100") {
            const std::string log = testsupport::readFile(logs.file("ParluneRTCComp.log"));
            EXPECT_NE(std::string::npos, log.find("audio.rate '44100'")) << log;
        }
    }
}

// A reader that stops (here: rtctl, stopped by a signal) holds up neither the
// speech nor the component: every text is spoken and the component answers.
TEST_F(AudioPort, AStoppedReaderHoldsUpNeitherSpeechNorTheComponent) {
    auto speech = launchWith({"audio.enable:YES"}, dir, wav);
    auto printer = watch();
    printer->signal(SIGSTOP);
    const std::vector<std::string> texts = {"One text that plays for a while.",
                                            "Two texts that play for a while.",
                                            "Three texts that play for a while."};
    std::vector<std::string> args = {"inject", "Parlune0.in"};
    args.insert(args.end(), texts.begin(), texts.end());
    ASSERT_TRUE(rtctl(dir, args).ok);
    EXPECT_TRUE(waitWavs(wav.path(), texts.size(), 60000));
    EXPECT_EQ(texts, spokenTexts(wav.path()));
    ToolResult state = rtctl(dir, {"state", "Parlune0"});
    EXPECT_TRUE(state.ok) << state.err;
    EXPECT_NE(std::string::npos, state.out.find("Active")) << state.out;
    // Deactivation does not wait for the stopped reader either.
    EXPECT_TRUE(rtctl(dir, {"deactivate", "Parlune0"}, 10000).ok);
    printer->signal(SIGCONT);
    speech->signal(SIGTERM);
    EXPECT_TRUE(speech->wait(15000));
}

}  // namespace
