// The speech component's opt-in interrupt port and volume and pitch, from
// outside: rtctl injects, prints the status port and sets the parameters;
// speech goes to a private PulseAudio server.
#include "E2e.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <thread>

using namespace e2e;
using testsupport::waitUntil;

namespace {

// Each text's status words by its stamp, texts in the order they first came.
using Told = std::vector<std::pair<std::string, std::vector<std::string>>>;

Told byText(const std::string& printed) {
    Told texts;
    std::istringstream lines(printed);
    std::string line;
    while (std::getline(lines, line)) {
        const auto space = line.find(' ');
        if (space == std::string::npos || line.substr(space + 1) == "idle") continue;
        const std::string stamp = line.substr(0, space);
        auto it = std::find_if(texts.begin(), texts.end(),
                               [&](const auto& t) { return t.first == stamp; });
        if (it == texts.end()) it = texts.insert(texts.end(), {stamp, {}});
        it->second.push_back(line.substr(space + 1));
    }
    return texts;
}

bool isFinal(const std::string& word) {
    return word.rfind("finished", 0) == 0 || word.rfind("skipped", 0) == 0 ||
           word.rfind("dropped", 0) == 0;
}

std::string longText() {
    std::string text;
    for (int i = 0; i < 100; ++i) text += "This sentence is one of many in a long speech. ";
    return text;
}

class SpeechInterrupt : public ::testing::Test {
  protected:
    // Parlune0 with both extensions and its status port on, playing to the
    // audio server; rtctl print on its status port.
    void start() {
        speech = launch(SPEECH_LAUNCHER, dir, "",
                        {"-o", "manager.components.preactivation:Parlune0", "-o",
                         "Etc.Parlune.status.enable:YES", "-o", "Etc.Parlune.interrupt.enable:YES",
                         "-o", "Etc.Parlune.controls.enable:YES"},
                        {"PARLUNE_HELPER_TIMEOUT_MS=600000"});
        ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
        printer.reset(new Process(
            {RTCTL, "-n", naming(), "print", "Parlune0.status", "--tm", "-t", "170"}, dir.path()));
        ASSERT_TRUE(waitUntil(
            [&] {
                return rtctl(dir, {"ls", "-l"})
                           .out.find(
                               "status  DataOutPort  "
                               "IDL:RTC/TimedString:1.0  connectors=1") != std::string::npos;
            },
            std::chrono::seconds(20), std::chrono::milliseconds(100)));
    }
    // Waits until `done` holds for what the status port told so far.
    bool waitTold(const std::function<bool(const Told&)>& done) {
        return waitUntil([&] { return done(byText(printer->out())); }, std::chrono::seconds(60),
                         std::chrono::milliseconds(20));
    }
    static bool hasWord(const Told& t, size_t text, const std::string& word) {
        return t.size() > text && std::count(t[text].second.begin(), t[text].second.end(), word);
    }

    TempDir dir;
    std::unique_ptr<Process> speech;
    std::unique_ptr<Process> printer;
};

// A long text cut mid-sentence: it finished interrupted, the one queued
// behind it is dropped, the urgent text is spoken next; each ends once.
TEST_F(SpeechInterrupt, UrgentTextCutsALongOneAndIsSpokenNext) {
    start();
    ASSERT_TRUE(rtctl(dir, {"inject", "Parlune0.in", longText(), "queued behind"}).ok);
    ASSERT_TRUE(waitTold([](const Told& t) { return hasWord(t, 0, "started"); })) << printer->out();
    ASSERT_TRUE(rtctl(dir, {"inject", "Parlune0.interrupt", "Stop now."}).ok);
    ASSERT_TRUE(waitTold([](const Told& t) { return hasWord(t, 2, "finished"); }))
        << printer->out();
    const Told t = byText(printer->out());
    ASSERT_EQ(3u, t.size()) << printer->out();
    EXPECT_EQ((std::vector<std::string>{"queued", "started", "finished interrupted"}), t[0].second);
    EXPECT_EQ((std::vector<std::string>{"queued", "dropped interrupted"}), t[1].second);
    EXPECT_EQ((std::vector<std::string>{"queued", "started", "finished"}), t[2].second);
    EXPECT_EQ("Active\n", rtctl(dir, {"state", "Parlune0"}).out);
}

// An empty interrupt only silences; then the component goes on as before,
// with volume and pitch set through rtctl applying from the next text.
TEST_F(SpeechInterrupt, EmptyInterruptOnlySilences) {
    start();
    ASSERT_TRUE(rtctl(dir, {"inject", "Parlune0.in", longText()}).ok);
    ASSERT_TRUE(waitTold([](const Told& t) { return hasWord(t, 0, "started"); })) << printer->out();
    ASSERT_TRUE(rtctl(dir, {"inject", "Parlune0.interrupt", ""}).ok);
    ASSERT_TRUE(waitTold([](const Told& t) { return hasWord(t, 0, "finished interrupted"); }))
        << printer->out();
    ASSERT_TRUE(rtctl(dir, {"conf", "Parlune0", "set", "volume", "0"}).ok);
    ASSERT_TRUE(rtctl(dir, {"conf", "Parlune0", "set", "pitch", "high"}).ok);
    EXPECT_EQ("0\n", rtctl(dir, {"conf", "Parlune0", "get", "volume"}).out);
    ASSERT_TRUE(rtctl(dir, {"inject", "Parlune0.in", "after"}).ok);
    ASSERT_TRUE(waitTold([](const Told& t) { return hasWord(t, 1, "finished"); }))
        << printer->out();
    EXPECT_EQ(2u, byText(printer->out()).size()) << printer->out();
}

// Deactivation and an interrupt at once: whatever the order, every text the
// component took ends exactly once.
TEST_F(SpeechInterrupt, InterruptWhileDeactivating) {
    start();
    ASSERT_TRUE(rtctl(dir, {"inject", "Parlune0.in", longText(), "second", "third"}).ok);
    ASSERT_TRUE(waitTold([](const Told& t) { return hasWord(t, 0, "started"); })) << printer->out();
    Process deactivate({RTCTL, "-n", naming(), "deactivate", "Parlune0"}, dir.path());
    // --keep: the component may already be inactive when rtctl connects.
    Process interrupt({RTCTL, "-n", naming(), "inject", "--keep", "Parlune0.interrupt", "urgent"},
                      dir.path());
    ASSERT_TRUE(deactivate.wait(30000) && deactivate.exitedWith(0)) << deactivate.err();
    ASSERT_TRUE(interrupt.wait(30000) && interrupt.exitedWith(0)) << interrupt.err();
    ASSERT_TRUE(waitTold([](const Told& t) {
        return t.size() >= 3 && std::all_of(t.begin(), t.begin() + 3, [](const auto& text) {
                   return std::any_of(text.second.begin(), text.second.end(), isFinal);
               });
    })) << printer->out();
    // Nothing more comes for them.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (const auto& [stamp, words] : byText(printer->out())) {
        EXPECT_EQ(1, std::count_if(words.begin(), words.end(), isFinal)) << stamp << "\n"
                                                                         << printer->out();
    }
    EXPECT_EQ("Inactive\n", rtctl(dir, {"state", "Parlune0"}).out);
}

}  // namespace
