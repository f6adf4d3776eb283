// The speech component's opt-in marks port, from outside: switched on by -o,
// read with rtctl print beside the status port; off, the component has only
// its input port (SpeechStatus.OffByDefault...).
#include <gtest/gtest.h>

#include <signal.h>

#include <sstream>

#include "E2e.h"

using namespace e2e;
using testsupport::waitUntil;

namespace {

// One sample as rtctl print --tm shows it: "STAMP SEC.NSEC", mark lines, a
// blank line.
struct Sample {
    std::string stamp;
    double heard = 0;
    std::vector<std::string> lines;
};

std::vector<Sample> parse(const std::string& out) {
    std::vector<Sample> samples;
    std::istringstream lines(out);
    std::string line;
    bool open = false;
    while (std::getline(lines, line)) {
        if (line.empty()) {
            open = false;
        } else if (!open) {
            const auto space = line.find(' ');
            if (space == std::string::npos) continue;
            samples.push_back({line.substr(0, space), std::stod(line.substr(space + 1)), {}});
            open = true;
        } else {
            samples.back().lines.push_back(line);
        }
    }
    return samples;
}

std::unique_ptr<Process> watch(const TempDir& dir, const std::string& port) {
    std::unique_ptr<Process> p(
        new Process({RTCTL, "-n", naming(), "print", port, "--tm", "-t", "170"}, dir.path()));
    return p;
}

TEST(SpeechMarks, EachSentenceIsTimedAndStampedWithItsText) {
    TempDir dir, wav;
    auto speech = launch(SPEECH_LAUNCHER, dir, wav.path(),
                         {"-o", "manager.components.preactivation:Parlune0", "-o",
                          "Etc.Parlune.marks.enable:YES", "-o", "Etc.Parlune.status.enable:YES"});
    ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    auto marks = watch(dir, "Parlune0.marks");
    auto status = watch(dir, "Parlune0.status");
    ASSERT_TRUE(waitUntil(
        [&] {
            const std::string listing = rtctl(dir, {"ls", "-l"}).out;
            return listing.find("marks  DataOutPort  IDL:RTC/TimedString:1.0  connectors=1") !=
                       std::string::npos &&
                   listing.find("status  DataOutPort  IDL:RTC/TimedString:1.0  connectors=1") !=
                       std::string::npos;
        },
        std::chrono::seconds(20), std::chrono::milliseconds(100)));
    ASSERT_TRUE(
        rtctl(dir, {"inject", "Parlune0.in", "Hello there.", "Two sentences. こんにちは。"}).ok);
    ASSERT_TRUE(waitWavs(wav.path(), 2, 60000));
    ASSERT_TRUE(waitUntil([&] { return parse(marks->out()).size() >= 3; }, std::chrono::seconds(30),
                          std::chrono::milliseconds(50)))
        << marks->out();
    ASSERT_TRUE(waitUntil([&] { return status->out().find("idle") != std::string::npos; },
                          std::chrono::seconds(30), std::chrono::milliseconds(50)));

    // The stamps of the two texts, as status tells them ("STAMP queued").
    std::vector<std::string> stamps;
    std::istringstream events(status->out());
    std::string line;
    while (std::getline(events, line)) {
        if (line.size() > 7 && line.substr(line.size() - 7) == " queued")
            stamps.push_back(line.substr(0, line.find(' ')));
    }
    ASSERT_EQ(stamps.size(), 2u) << status->out();
    const std::vector<Sample> samples = parse(marks->out());
    ASSERT_EQ(samples.size(), 3u) << marks->out();
    // One sample for the first text, one per script of the second.
    EXPECT_EQ(samples[0].stamp, stamps[0]);
    EXPECT_EQ(samples[1].stamp, stamps[1]);
    EXPECT_EQ(samples[2].stamp, stamps[1]);
    EXPECT_EQ(samples[1].heard, samples[2].heard);
    EXPECT_LT(samples[0].heard, samples[1].heard);
    const std::vector<std::string> wavs = filesEndingIn(wav.path(), ".wav");
    ASSERT_EQ(wavs.size(), 2u);
    for (size_t i = 0; i < samples.size(); ++i) {
        const Sample& s = samples[i];
        ASSERT_FALSE(s.lines.empty());
        EXPECT_EQ(s.lines[0].compare(0, 9, "sentence "), 0) << s.lines[0];
        bool viseme = false;
        long last = 0;
        for (const std::string& l : s.lines) {
            std::istringstream fields(l);
            std::string kind;
            long start = 0, end = 0;
            fields >> kind >> start >> end;
            viseme = viseme || kind == "viseme";
            last = std::max(last, end);
        }
        EXPECT_TRUE(viseme);
        // The last sentence of a text ends where its file does.
        if (i != 1) {
            EXPECT_NEAR(static_cast<double>(last), wavSeconds(wavs[i == 0 ? 0 : 1]) * 1000.0, 10.0)
                << i;
        }
    }
}

// A marks reader that stops reading, before the first sample or after one,
// holds up neither the speech nor the component: every text is spoken, the
// context passes on the next text at once and deactivation does not wait.
TEST(SpeechMarks, AStoppedReaderHoldsUpNeitherSpeechNorTheComponent) {
    struct Case {
        const char* name;
        size_t readFirst;  // samples the reader takes before it stops
    };
    const Case cases[] = {{"never reads", 0}, {"stops after one", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir, wav;
        auto speech = launch(SPEECH_LAUNCHER, dir, wav.path(),
                             {"-o", "manager.components.preactivation:Parlune0", "-o",
                              "Etc.Parlune.marks.enable:YES"});
        ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
        auto marks = watch(dir, "Parlune0.marks");
        ASSERT_TRUE(waitUntil(
            [&] {
                return rtctl(dir, {"ls", "-l"})
                           .out.find(
                               "marks  DataOutPort  "
                               "IDL:RTC/TimedString:1.0  connectors=1") != std::string::npos;
            },
            std::chrono::seconds(20), std::chrono::milliseconds(100)));
        if (c.readFirst > 0) {
            ASSERT_TRUE(rtctl(dir, {"inject", "Parlune0.in", "The first text."}).ok);
            ASSERT_TRUE(waitUntil([&] { return parse(marks->out()).size() >= c.readFirst; },
                                  std::chrono::seconds(30), std::chrono::milliseconds(50)));
        }
        marks->signal(SIGSTOP);
        // Many sentences, each a sample of marks the reader never takes.
        std::vector<std::string> texts;
        for (int i = 1; i <= 12; ++i) {
            texts.push_back("Text " + std::to_string(i) +
                            " has three sentences. They are short. Each is marked.");
        }
        std::vector<std::string> args = {"inject", "Parlune0.in"};
        args.insert(args.end(), texts.begin(), texts.end());
        ASSERT_TRUE(rtctl(dir, args, 60000).ok);
        const size_t before = c.readFirst > 0 ? 1 : 0;
        EXPECT_TRUE(waitWavs(wav.path(), before + texts.size(), 90000));
        // The context still reads and passes on a text at once.
        ASSERT_TRUE(rtctl(dir, {"inject", "Parlune0.in", "Still here."}).ok);
        EXPECT_TRUE(waitWavs(wav.path(), before + texts.size() + 1, 20000));
        const ToolResult state = rtctl(dir, {"state", "Parlune0"});
        EXPECT_NE(std::string::npos, state.out.find("Active")) << state.out;
        EXPECT_TRUE(rtctl(dir, {"deactivate", "Parlune0"}, 10000).ok);
        marks->signal(SIGCONT);
        speech->signal(SIGINT);
        EXPECT_TRUE(speech->wait(15000));
    }
}

}  // namespace
