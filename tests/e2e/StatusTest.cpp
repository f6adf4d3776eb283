// The speech component's opt-in status port, from outside: switched on by the
// component's configuration file or -o, read with rtctl print.
#include "E2e.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <map>
#include <sstream>

using namespace e2e;
using testsupport::waitUntil;

namespace {

struct Event {
    std::string stamp;
    std::string what;  // "finished", "skipped crash", ...
};

// "SEC.NANOSEC what" lines, as rtctl print --tm writes them.
std::vector<Event> parse(const std::string& out) {
    std::vector<Event> events;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        const auto space = line.find(' ');
        if (space == std::string::npos) continue;
        events.push_back({line.substr(0, space), line.substr(space + 1)});
    }
    return events;
}

// The events of each text, by its stamp, in the order its first came.
std::vector<std::pair<std::string, std::vector<std::string>>> byText(
    const std::vector<Event>& events) {
    std::vector<std::pair<std::string, std::vector<std::string>>> texts;
    for (const Event& e : events) {
        if (e.what == "idle") continue;
        auto it = std::find_if(texts.begin(), texts.end(),
                               [&](const auto& t) { return t.first == e.stamp; });
        if (it == texts.end()) {
            texts.push_back({e.stamp, {}});
            it = texts.end() - 1;
        }
        it->second.push_back(e.what);
    }
    return texts;
}

std::size_t count(const std::vector<Event>& events, const std::string& prefix) {
    return static_cast<std::size_t>(std::count_if(
        events.begin(), events.end(),
        [&](const Event& e) { return e.what.compare(0, prefix.size(), prefix) == 0; }));
}

class SpeechStatus : public ::testing::Test {
  protected:
    // rtctl print on Parlune0.status, connected once it returns.
    std::unique_ptr<Process> watch() {
        std::unique_ptr<Process> p(new Process(
            {RTCTL, "-n", naming(), "print", "Parlune0.status", "--tm", "-t", "170"}, dir.path()));
        const bool connected = waitUntil(
            [&] {
                return rtctl(dir, {"ls", "-l"})
                           .out.find(
                               "status  DataOutPort  "
                               "IDL:RTC/TimedString:1.0  connectors=1") != std::string::npos;
            },
            std::chrono::seconds(20), std::chrono::milliseconds(100));
        EXPECT_TRUE(connected) << p->err();
        return p;
    }
    // Waits until the printer shows `n` events starting with prefix.
    bool waitFor(const Process& printer, const std::string& prefix, std::size_t n,
                 int timeout_ms = 60000) {
        return waitUntil([&] { return count(parse(printer.out()), prefix) >= n; },
                         std::chrono::milliseconds(timeout_ms), std::chrono::milliseconds(50));
    }

    TempDir dir;
    TempDir wav;
};

TEST_F(SpeechStatus, OffByDefaultTheComponentHasOnlyItsInputPort) {
    auto speech = launch(SPEECH_LAUNCHER, dir, wav.path());
    ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    const std::string listing = rtctl(dir, {"ls", "-l"}).out;
    const auto at = listing.find("Parlune0.rtc");
    ASSERT_NE(std::string::npos, at) << listing;
    std::istringstream lines(listing.substr(at));
    std::string line, ports;
    std::getline(lines, line);
    while (std::getline(lines, line) && line.compare(0, 2, "  ") == 0) ports += line + "\n";
    EXPECT_EQ("  in  DataInPort  IDL:RTC/TimedString:1.0  connectors=0\n", ports);
    ToolResult r = rtctl(dir, {"print", "Parlune0.status", "-n", "1"});
    EXPECT_FALSE(r.ok);
    EXPECT_NE(std::string::npos, r.err.find("status")) << r.err;
}

// rtc.conf names the component's file, which switches the port on.
TEST_F(SpeechStatus, ABurstEndsOnceEachInOrderWithTheTextsStamps) {
    ASSERT_TRUE(dir.write("rtc.conf", "Etc.Parlune.config_file: parlune.conf\n"));
    ASSERT_TRUE(dir.write("parlune.conf", "status.enable: YES\n"));
    auto speech = launch(SPEECH_LAUNCHER, dir, wav.path(),
                         {"-o", "manager.components.preactivation:Parlune0"});
    ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    auto printer = watch();
    const std::vector<std::string> sent = {"one", "two", "three", "four", "five"};
    std::vector<std::string> args = {"inject", "Parlune0.in"};
    args.insert(args.end(), sent.begin(), sent.end());
    ASSERT_TRUE(rtctl(dir, args).ok);
    ASSERT_TRUE(waitFor(*printer, "finished", sent.size())) << printer->out();
    // The engine is idle once the last one ended.
    ASSERT_TRUE(waitUntil([&] { return parse(printer->out()).back().what == "idle"; },
                          std::chrono::seconds(30), std::chrono::milliseconds(50)))
        << printer->out();
    ASSERT_TRUE(waitSpoken(wav.path(), sent.size()));
    EXPECT_EQ(sent, spokenTexts(wav.path()));

    const std::vector<Event> events = parse(printer->out());
    const auto texts = byText(events);
    ASSERT_EQ(sent.size(), texts.size()) << printer->out();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ((std::vector<std::string>{"queued", "started", "finished"}), texts[i].second)
            << texts[i].first;
        // rtctl inject stamps each text when it sends it.
        if (i > 0) {
            EXPECT_LT(texts[i - 1].first, texts[i].first);
        }
    }
    // idle carries the stamp of the text that ended last.
    std::string lastEnded;
    for (const Event& e : events) {
        if (e.what == "finished") lastEnded = e.stamp;
        if (e.what == "idle") {
            EXPECT_EQ(lastEnded, e.stamp);
        }
    }
    EXPECT_EQ("Active\n", rtctl(dir, {"state", "Parlune0"}).out);
}

TEST_F(SpeechStatus, ACrashingTextIsSkippedAndTheOthersFinish) {
    auto speech = launch(
        SPEECH_LAUNCHER, dir, wav.path(),
        {"-o", "manager.components.preactivation:Parlune0", "-o", "Etc.Parlune.status.enable:yes"},
        {"PARLUNE_VOICE=espeak:en"});
    ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    auto printer = watch();
    const std::string crash =
        testsupport::readFile(std::string(CRASH_INPUTS_DIR) + "/initial-then-long-word.txt");
    ASSERT_FALSE(crash.empty());
    ASSERT_TRUE(
        rtctl(dir, {"inject", "Parlune0.in", "before the crash", crash, "after the crash"}).ok);
    ASSERT_TRUE(waitFor(*printer, "finished", 2)) << printer->out();
    const auto texts = byText(parse(printer->out()));
    ASSERT_EQ(3u, texts.size()) << printer->out();
    EXPECT_EQ("finished", texts[0].second.back());
    EXPECT_EQ("skipped crash", texts[1].second.back()) << printer->out();
    EXPECT_EQ(
        1u, std::count_if(texts[1].second.begin(), texts[1].second.end(), [](const std::string& w) {
            return w == "finished" || w.compare(0, 7, "skipped") == 0 ||
                   w.compare(0, 7, "dropped") == 0;
        }));
    EXPECT_EQ("finished", texts[2].second.back());
    EXPECT_EQ("Active\n", rtctl(dir, {"state", "Parlune0"}).out);
}

TEST_F(SpeechStatus, DeactivationMidUtteranceDropsTheRestAndThenNothingMore) {
    // The long text must not count as a hung helper on a slow (sanitizer) build.
    auto speech = launch(
        SPEECH_LAUNCHER, dir, wav.path(),
        {"-o", "manager.components.preactivation:Parlune0", "-o", "Etc.Parlune0.status.enable:YES"},
        {"PARLUNE_HELPER_TIMEOUT_MS=600000"});
    ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    auto printer = watch();
    // Long enough that it is still being spoken when the deactivation comes.
    std::string longText;
    for (int i = 0; i < 200; ++i) longText += "This sentence is one of many in a long speech. ";
    ASSERT_TRUE(rtctl(dir, {"inject", "Parlune0.in", longText, "second", "third"}).ok);
    // Deactivated while the first text is being spoken.
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto texts = byText(parse(printer->out()));
            return !texts.empty() && texts[0].second.size() >= 2;
        },
        std::chrono::seconds(60), std::chrono::milliseconds(20)))
        << printer->out();
    ASSERT_TRUE(rtctl(dir, {"deactivate", "Parlune0"}).ok);
    ASSERT_TRUE(waitFor(*printer, "dropped", 3)) << printer->out();
    const std::size_t atDeactivation = parse(printer->out()).size();

    // Whatever came after the drops would come before this text's events.
    ASSERT_TRUE(rtctl(dir, {"activate", "Parlune0"}).ok);
    ASSERT_TRUE(rtctl(dir, {"inject", "Parlune0.in", "fresh start"}).ok);
    ASSERT_TRUE(waitFor(*printer, "finished", 1)) << printer->out();
    const std::vector<Event> events = parse(printer->out());
    const auto texts = byText(events);
    ASSERT_EQ(4u, texts.size()) << printer->out();
    EXPECT_EQ((std::vector<std::string>{"queued", "started", "dropped"}), texts[0].second);
    EXPECT_EQ((std::vector<std::string>{"queued", "dropped"}), texts[1].second);
    EXPECT_EQ((std::vector<std::string>{"queued", "dropped"}), texts[2].second);
    ASSERT_LT(atDeactivation, events.size());
    EXPECT_EQ("queued", events[atDeactivation].what) << printer->out();
    EXPECT_EQ(texts[3].first, events[atDeactivation].stamp);
}

// A consumer that stops reading (SIGSTOP) holds up neither speech nor the
// component: every text is spoken and the context keeps executing.
TEST_F(SpeechStatus, AStoppedConsumerHoldsNothingUp) {
    auto speech = launch(
        SPEECH_LAUNCHER, dir, wav.path(),
        {"-o", "manager.components.preactivation:Parlune0", "-o", "Etc.Parlune.status.enable:YES"});
    ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    auto printer = watch();
    printer->signal(SIGSTOP);
    std::vector<std::string> sent;
    std::vector<std::string> args = {"inject", "Parlune0.in"};
    for (int i = 1; i <= 20; ++i) sent.push_back("text " + std::to_string(i));
    args.insert(args.end(), sent.begin(), sent.end());
    ASSERT_TRUE(rtctl(dir, args, 60000).ok);
    ASSERT_TRUE(waitSpoken(wav.path(), sent.size(), 60000));
    EXPECT_EQ(sent, spokenTexts(wav.path()));
    // The context still reads and passes on texts at once.
    ASSERT_TRUE(rtctl(dir, {"inject", "Parlune0.in", "still here"}).ok);
    ASSERT_TRUE(waitSpoken(wav.path(), sent.size() + 1, 20000));
    EXPECT_EQ("Active\n", rtctl(dir, {"state", "Parlune0"}).out);
    printer->signal(SIGCONT);
    printer->signal(SIGINT);
    EXPECT_TRUE(printer->wait());
    speech->signal(SIGINT);
    EXPECT_TRUE(speech->wait());
    EXPECT_TRUE(speech->exitedWith(0)) << speech->err();
}

}  // namespace
