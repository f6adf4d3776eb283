// The voice benchmark's probe and script, run as the benchmark runs them:
// against the private PulseAudio server of the test (with-pulse), judged by
// their output and exit status.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/Files.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace {

using testsupport::Launch;
using testsupport::run;
using testsupport::splitLines;

// The voice chosen as a user would: espeak-ng's English voice.
Launch englishVoice(const std::string& audio) {
    Launch launch;
    launch.env = {"LANG=en_US.UTF-8", "PARLUNE_VOICE=en", "PARLUNE_AUDIO=" + audio};
    launch.unset = {"LC_*", "PARLUNE_VOICE_JA", "PARLUNE_VOICE_EN"};
    return launch;
}

std::vector<std::string> linesStartingWith(const std::string& text, const std::string& head) {
    std::vector<std::string> found;
    for (const std::string& line : splitLines(text)) {
        if (line.compare(0, head.size(), head) == 0) found.push_back(line);
    }
    return found;
}

TEST(VoiceProbeAudible, EverySampleIsPrintedAsItComesThenASummary) {
    const auto r = run({VOICE_PROBE, "audible", "cap.monitor", "3", "Please close the front door."},
                       englishVoice("pulse"), std::chrono::seconds(60));
    ASSERT_FALSE(r.timedOut) << r.err;
    EXPECT_EQ(r.status, 0) << r.err;
    const auto samples = linesStartingWith(r.out, "audible_ms ");
    ASSERT_EQ(samples.size(), 3u) << r.out;
    // The utterances waited for say how long they sounded; the last one is
    // cut short by Release, so it has no length.
    EXPECT_NE(samples[0].find(" span_ms "), std::string::npos) << samples[0];
    EXPECT_NE(samples[1].find(" span_ms "), std::string::npos) << samples[1];
    EXPECT_EQ(samples[2].find("span_ms"), std::string::npos) << samples[2];
    const auto summary = linesStartingWith(r.out, "audible count=3 missed=0 cut=0 ");
    EXPECT_EQ(summary.size(), 1u) << r.out;
}

TEST(VoiceProbeAudible, SpeechThatNeverSoundsIsMissedAtItsDeadline) {
    // The engine speaks into nothing: neither the warm-up nor the Play is
    // ever heard. Each wait ends at its 10 s deadline; the probe reports the
    // miss and fails instead of waiting on.
    const auto r = run({VOICE_PROBE, "audible", "cap.monitor", "1", "Please close the door."},
                       englishVoice("null"), std::chrono::seconds(60));
    ASSERT_FALSE(r.timedOut) << r.err;
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(linesStartingWith(r.out, "audible_ms ").empty()) << r.out;
    EXPECT_EQ(linesStartingWith(r.out, "audible count=1 missed=1 ").size(), 1u) << r.out;
    EXPECT_NE(r.err.find("warm-up sentence was not heard within 10 s"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Play 1 was not heard within 10 s"), std::string::npos) << r.err;
}

TEST(VoiceProbeAudible, BadArgumentsAreRefusedWithUsage) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"audible", "cap.monitor", "0", "Hello."},
          {"audible", "cap.monitor", "many", "Hello."},
          {"audible", "cap.monitor", "2"},
          {"audible", "cap.monitor", "1", "Hello.", "0"},
          {"audible", "cap.monitor", "1", "Hello.", "loud"},
          {"wav", "/nonexistent", "texts", "-1"},
          {"relead", "in.wav", "out.wav", "-5"},
          {"relead", "in.wav", "out.wav", "soon"},
          {"listen"}}) {
        std::vector<std::string> argv{VOICE_PROBE};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto r = run(argv, englishVoice("pulse"));
        EXPECT_EQ(r.status, 2) << args[0] << " " << (args.size() > 2 ? args[2] : "");
        EXPECT_NE(r.err.find("usage: voice_probe"), std::string::npos) << r.err;
    }
    // A source the server does not have: said at once, nothing measured.
    const auto r =
        run({VOICE_PROBE, "audible", "nosuchsink.monitor", "1", "Hello."}, englishVoice("pulse"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot record nosuchsink.monitor"), std::string::npos) << r.err;
    EXPECT_TRUE(linesStartingWith(r.out, "audible").empty()) << r.out;
}

// One utterance of espeak-ng into a WAV file, then its lead set to 250 ms:
// the silence before the first sample above -60 dBFS, whatever it was.
TEST(VoiceProbeRelead, TheLeadBecomesExactlyTheOneAskedAndBadFilesAreRefused) {
    testsupport::TempDir dir;
    std::ofstream(dir.file("texts")) << "Please close the front door.\n";
    const auto spoken = run({VOICE_PROBE, "wav", dir.path(), dir.file("texts")},
                            englishVoice("wav:" + dir.path()), std::chrono::seconds(60));
    ASSERT_EQ(spoken.status, 0) << spoken.err;
    const auto utt = linesStartingWith(spoken.out, "utt ");
    ASSERT_EQ(utt.size(), 1u) << spoken.out;
    const std::string file = utt[0].substr(utt[0].find("file=") + 5);
    const auto r = run({VOICE_PROBE, "relead", dir.file(file), dir.file("lead.wav"), "250"},
                       englishVoice("null"));
    ASSERT_EQ(r.status, 0) << r.err;
    // With no lead at all, the 250 ms of zeros are all that differs.
    const auto none = run({VOICE_PROBE, "relead", dir.file("lead.wav"), dir.file("again.wav"), "0"},
                          englishVoice("null"));
    EXPECT_EQ(none.status, 0) << none.err;
    const std::string lead = testsupport::readFile(dir.file("lead.wav"));
    const std::string again = testsupport::readFile(dir.file("again.wav"));
    // 250 ms of 22050 Hz, 16-bit samples more than the file without a lead.
    const size_t leadBytes = 2 * (22050 * 250 / 1000);
    EXPECT_EQ(lead.size(), again.size() + leadBytes);
    EXPECT_TRUE(lead.substr(44 + leadBytes) == again.substr(44));
    EXPECT_EQ(lead.substr(44, leadBytes), std::string(leadBytes, '\0'));

    std::ofstream(dir.file("empty")) << "";
    const auto bad = run({VOICE_PROBE, "relead", dir.file("empty"), dir.file("x.wav"), "250"},
                         englishVoice("null"));
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("is not a 16-bit mono WAV file"), std::string::npos) << bad.err;
}

// The script restricted to its quick section and few voices.
Launch quickScript(const std::string& build) {
    Launch launch;
    launch.env = {"PARLUNE_BUILD=" + build,
                  "VOICE_ONLY=wav",
                  "WAV_REPEATS=1",
                  "ROUNDS=1",
                  "VOICES_EN=en flite:rms",
                  "VOICES_JA=ja openjtalk:mei",
                  "VOICES_DE=de"};
    launch.unset = {"VOICE_INSIDE"};
    return launch;
}

TEST(VoiceBenchScript, RunsToItsTablesSayingWhereItIsOnTheWay) {
    const auto r = run({VOICE_RUN}, quickScript(BUILD_DIR), std::chrono::seconds(100));
    ASSERT_FALSE(r.timedOut) << r.err;
    EXPECT_EQ(r.status, 0) << r.err;
    // A row of figures per voice, then a row of ratios per voice that is not
    // its language's baseline.
    for (const char* row : {"en/en ", "en/flite:rms ", "ja/ja ", "ja/openjtalk:mei ", "de/de "}) {
        const auto lines = linesStartingWith(r.out, row);
        ASSERT_FALSE(lines.empty()) << row << "\n" << r.out;
        EXPECT_EQ(lines[0].find(" : "), std::string::npos) << lines[0];
    }
    EXPECT_EQ(linesStartingWith(r.out, "en/flite:rms : en/en ").size(), 1u) << r.out;
    EXPECT_EQ(linesStartingWith(r.out, "ja/openjtalk:mei : ja/ja ").size(), 1u) << r.out;
    // One progress line per voice and text, before the tables.
    bool sawJapanese = false;
    for (const std::string& line : r.errLines()) {
        if (line.find(": wav: ja/openjtalk:mei long x1") != std::string::npos) sawJapanese = true;
    }
    EXPECT_TRUE(sawJapanese) << r.err;
}

TEST(VoiceBenchScript, AMissingProbeIsNamedAndNothingRuns) {
    testsupport::TempDir empty;
    const auto r = run({VOICE_RUN}, quickScript(empty.path()), std::chrono::seconds(30));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("voice_probe is missing"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

// The in-process flite probe: both ways timed for every text, the first
// chunk never after the end; bad counts and unknown voices refused.
TEST(FliteProbe, TimesBothWaysForEveryTextAndRefusesBadArguments) {
    const auto r = run({FLITE_PROBE, "slt", "2", "Yes.", "Turn left, then stop."}, Launch{});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* text : {"text0", "text1"}) {
        for (const char* way : {"_streamed", "_whole"}) {
            const std::string key = std::string(text) + way;
            double first = -1;
            double whole = -1;
            for (const std::string& line : splitLines(r.out)) {
                if (line.rfind(key + "_first_p50_ms=", 0) == 0) {
                    first = std::stod(line.substr(line.find('=') + 1));
                } else if (line.rfind(key + "_whole_p50_ms=", 0) == 0) {
                    whole = std::stod(line.substr(line.find('=') + 1));
                }
            }
            EXPECT_GT(first, 0) << key << "\n" << r.out;
            EXPECT_GE(whole, first) << key;
            EXPECT_EQ(linesStartingWith(r.out, key + "_first_cpu_max_ms=").size(), 1u) << r.out;
        }
    }
    EXPECT_TRUE(linesStartingWith(r.out, "text2").empty()) << r.out;

    for (const char* repeat : {"0", "-1", "many", "3x", ""}) {
        const auto bad = run({FLITE_PROBE, "rms", repeat}, Launch{});
        EXPECT_EQ(bad.status, 2) << "\"" << repeat << "\"";
        EXPECT_NE(bad.err.find("usage: flite_probe"), std::string::npos) << bad.err;
    }
    const auto unknown = run({FLITE_PROBE, "nosuch", "1"}, Launch{});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("no voice nosuch"), std::string::npos) << unknown.err;
    EXPECT_TRUE(unknown.out.empty()) << unknown.out;
}

}  // namespace
