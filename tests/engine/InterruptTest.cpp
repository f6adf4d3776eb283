// ParluneDa_Interrupt and ParluneDa_PlayWith from outside: what an interrupt
// ends and how each text says so, what is left in the files, and what volume
// and pitch do to the sound at their extremes.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "EngineFixture.h"
#include "support/Wait.h"

namespace parlune::test {
namespace {

std::string longText() {
    std::string text;
    for (int i = 0; i < 200; ++i) text += "This sentence is one of many in a long speech. ";
    return text;
}

// Each text's events as words: "queued", "started", "finished interrupted"...
using Told = std::map<uint64_t, std::vector<std::string>>;

class Interrupt : public EngineFixture {
  protected:
    ParluneDaHandle createWithEvents() {
        ParluneDaHandle h = create();
        EXPECT_NE(h, nullptr);
        if (h != nullptr) {
            EXPECT_EQ(ParluneDa_EnableEvents(h), PARLUNE_DA_OK);
        }
        return h;
    }
    // Takes events until `done` holds for what was told (at most 60 s).
    bool take(ParluneDaHandle h, const std::function<bool(const Told&)>& done) {
        return testsupport::waitUntil(
            [&] {
                ParluneDaEvent e{};
                while (ParluneDa_NextEvent(h, &e) == 1) {
                    static const char* const words[] = {"",         "queued",  "started",
                                                        "finished", "skipped", "dropped"};
                    if (e.kind == PARLUNE_DA_EVENT_IDLE) continue;
                    const std::string detail = e.detail;
                    told[e.text].push_back(std::string(words[e.kind]) +
                                           (detail.empty() ? "" : " " + detail));
                }
                return done(told);
            },
            std::chrono::seconds(60), std::chrono::milliseconds(2));
    }
    static bool ended(const Told& t, uint64_t text) {
        auto it = t.find(text);
        if (it == t.end()) return false;
        const std::string& last = it->second.back();
        return last.rfind("finished", 0) == 0 || last.rfind("skipped", 0) == 0 ||
               last.rfind("dropped", 0) == 0;
    }
    // How many final events the text got: exactly one is promised.
    static size_t finals(const Told& t, uint64_t text) {
        size_t n = 0;
        for (const std::string& w : t.at(text)) n += w != "queued" && w != "started" ? 1 : 0;
        return n;
    }

    Told told;
};

TEST_F(Interrupt, BadHandlesAndTextsAreRefused) {
    ParluneDaHandle released = create();
    ASSERT_NE(released, nullptr);
    release(released);
    struct Case {
        ParluneDaHandle handle;
        const char* text;
        int play;
    };
    ParluneDaHandle live = create();
    ASSERT_NE(live, nullptr);
    for (const Case& c :
         {Case{nullptr, "x", PARLUNE_DA_E_HANDLE}, Case{released, "x", PARLUNE_DA_E_HANDLE},
          Case{live, nullptr, PARLUNE_DA_E_TEXT_NULL}}) {
        EXPECT_EQ(ParluneDa_PlayWith(c.handle, c.text, 100, 100, 100), c.play);
        if (c.handle != live) {
            EXPECT_EQ(ParluneDa_Interrupt(c.handle), PARLUNE_DA_E_HANDLE);
        }
    }
    // An idle engine: nothing to cut, and the next text is spoken as usual.
    EXPECT_EQ(ParluneDa_Interrupt(live), PARLUNE_DA_OK);
    EXPECT_EQ(ParluneDa_Play(live, "After nothing was cut.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_FALSE(waitForUtterance("After nothing was cut.").empty());
}

// WAV output: the cut text's file is complete and valid, and shorter than
// the whole text; what was queued behind it never gets a file.
TEST_F(Interrupt, LongTextCutMidwayEndsInterruptedAndTheUrgentTextFollows) {
    // A piece of many sentences must not count as a hung helper when busy.
    ::setenv("PARLUNE_HELPER_TIMEOUT_MS", "600000", 1);
    ParluneDaHandle h = createWithEvents();
    ASSERT_NE(h, nullptr);
    const std::string text = longText();
    ASSERT_EQ(ParluneDa_Play(h, text.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, "Queued behind it.", 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_TRUE(take(h, [](const Told& t) { return t.count(1) && t.at(1).size() >= 2; }));
    ASSERT_EQ(ParluneDa_Interrupt(h), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, "Urgent.", 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_TRUE(take(h, [](const Told& t) { return ended(t, 3); }));

    EXPECT_EQ(told[1], (std::vector<std::string>{"queued", "started", "finished interrupted"}));
    EXPECT_EQ(told[2], (std::vector<std::string>{"queued", "dropped interrupted"}));
    EXPECT_EQ(told[3], (std::vector<std::string>{"queued", "started", "finished"}));
    const std::vector<std::string> cut = utterancesOf(text);
    ASSERT_EQ(cut.size(), 1u);
    WavFile wav(m_wavDir.file(cut[0] + ".wav"));
    EXPECT_TRUE(wav.valid());
    // 200 sentences take well over a minute to say.
    EXPECT_LT(wav.seconds(), 60.0);
    EXPECT_TRUE(utterancesOf("Queued behind it.").empty());
    EXPECT_FALSE(waitForUtterance("Urgent.").empty());
}

TEST_F(Interrupt, EveryOneOfAThousandQueuedTextsIsDroppedOnce) {
    ::setenv("PARLUNE_AUDIO", "null", 1);
    ::setenv("PARLUNE_HELPER_TIMEOUT_MS", "600000", 1);
    ParluneDaHandle h = createWithEvents();
    ASSERT_NE(h, nullptr);
    const std::string text = longText();
    ASSERT_EQ(ParluneDa_Play(h, text.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(ParluneDa_Play(h, ("queued " + std::to_string(i)).c_str(), 100, 0, 0, 0),
                  PARLUNE_DA_OK);
    }
    ASSERT_EQ(ParluneDa_Interrupt(h), PARLUNE_DA_OK);
    ASSERT_EQ(ParluneDa_Play(h, "", 100, 0, 0, 0), PARLUNE_DA_OK);
    ASSERT_TRUE(take(h, [](const Told& t) { return ended(t, 1002) && ended(t, 1); }));
    // The first was cut (or had not started yet); every queued one dropped.
    EXPECT_TRUE(told[1].back() == "finished interrupted" || told[1].back() == "dropped interrupted")
        << told[1].back();
    for (uint64_t n = 2; n <= 1001; ++n) {
        ASSERT_EQ(told[n], (std::vector<std::string>{"queued", "dropped interrupted"})) << n;
    }
    EXPECT_EQ(told[1002].back(), "finished");
}

// The helper dies on the text being spoken while the interrupt comes: that
// text still ends once, either way, and the next is spoken.
TEST_F(Interrupt, InterruptDuringACrashingTextEndsItOnce) {
    const std::string crash =
        readFile(std::string(PARLUNE_CRASH_INPUTS_DIR) + "/initial-then-long-word.txt");
    ASSERT_FALSE(crash.empty());
    ::setenv("PARLUNE_VOICE", "espeak:en", 1);
    ::setenv("PARLUNE_HELPER_TIMEOUT_MS", "600000", 1);
    const std::string behind = longText();
    ParluneDaHandle h = createWithEvents();
    ASSERT_NE(h, nullptr);
    for (int delayMs : {0, 20, 200}) {
        told.clear();
        const uint64_t base = 3 * static_cast<uint64_t>(delayMs == 0 ? 0 : delayMs == 20 ? 1 : 2);
        ASSERT_EQ(ParluneDa_Play(h, crash.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
        ASSERT_EQ(ParluneDa_Play(h, behind.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        ASSERT_EQ(ParluneDa_Interrupt(h), PARLUNE_DA_OK);
        ASSERT_EQ(ParluneDa_Play(h, "After the interrupt.", 100, 0, 0, 0), PARLUNE_DA_OK);
        ASSERT_TRUE(
            take(h, [&](const Told& t) { return ended(t, base + 1) && ended(t, base + 3); }))
            << "delay " << delayMs;
        EXPECT_EQ(finals(told, base + 1), 1u) << "delay " << delayMs;
        const std::string end = told[base + 1].back();
        EXPECT_TRUE(end == "skipped crash" || end == "finished interrupted" ||
                    end == "dropped interrupted")
            << end;
        // Long enough to be under way or waiting when the interrupt comes.
        EXPECT_EQ(finals(told, base + 2), 1u) << "delay " << delayMs;
        EXPECT_EQ(told[base + 2].back().rfind(" interrupted"), told[base + 2].back().size() - 12)
            << told[base + 2].back();
        EXPECT_EQ(told[base + 3].back(), "finished") << "delay " << delayMs;
    }
}

// Interrupts and a release from other threads at once: nothing hangs or
// crashes, and the handle is gone afterwards.
TEST_F(Interrupt, InterruptsRacingARelease) {
    ::setenv("PARLUNE_AUDIO", "null", 1);
    ParluneDaHandle h = createWithEvents();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ParluneDa_Play(h, longText().c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    std::thread interrupter([h] {
        for (int i = 0; i < 200 && ParluneDa_Interrupt(h) == PARLUNE_DA_OK; ++i) {
            ParluneDa_Play(h, "again", 100, 0, 0, 0);
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    release(h);
    interrupter.join();
    EXPECT_EQ(ParluneDa_Interrupt(h), PARLUNE_DA_E_HANDLE);
}

// Volume and pitch at and beyond their ends, on one sentence per voice.
TEST_F(Interrupt, VolumeAndPitchExtremes) {
    const std::string english = "The quick brown fox jumps over the lazy dog.";
    for (const char* voice : {"flite:rms", "espeak:en", "openjtalk:mei"}) {
        ::setenv("PARLUNE_VOICE", voice, 1);
        const std::string text =
            std::string(voice) == "openjtalk:mei" ? "今日はとても良い天気ですね。" : english;
        struct Case {
            int volume, pitch;
        };
        const std::vector<Case> cases = {{100, 100}, {0, 100},  {-40, 100}, {200, 100}, {900, 100},
                                         {100, 10},  {100, 50}, {100, 200}, {100, 900}};
        ParluneDaHandle h = create();
        ASSERT_NE(h, nullptr) << voice;
        const size_t before = utterancesOf(text).size();
        for (const Case& c : cases) {
            ASSERT_EQ(ParluneDa_PlayWith(h, text.c_str(), 100, c.volume, c.pitch), PARLUNE_DA_OK);
        }
        ASSERT_TRUE(testsupport::waitUntil(
            [&] { return utterancesOf(text).size() >= before + cases.size(); },
            std::chrono::seconds(120), std::chrono::milliseconds(20)))
            << voice;
        release(h);
        std::vector<std::string> names = utterancesOf(text);
        names.erase(names.begin(), names.begin() + static_cast<long>(before));
        std::vector<WavFile> w;
        for (const std::string& n : names) w.emplace_back(m_wavDir.file(n + ".wav"));
        for (const WavFile& f : w) ASSERT_TRUE(f.valid()) << voice;
        const WavFile& normal = w[0];
        // Silent at 0 (and below), yet a whole utterance long.
        for (size_t i : {1u, 2u}) {
            EXPECT_EQ(w[i].peak(), 0) << voice;
            EXPECT_NEAR(w[i].seconds(), normal.seconds(), 0.05 * normal.seconds()) << voice;
        }
        // Louder where it can be; limited, never clipped flat or wrapped: no
        // run of samples held near full scale, and no jump from near the top
        // to near the bottom, which is what a sample wrapping past full scale
        // makes.
        auto jumps = [](const WavFile& f, int level) {
            const std::vector<int16_t>& x = f.samples();
            size_t n = 0;
            for (size_t s = 1; s < x.size(); ++s) {
                n += std::abs(x[s]) > level && std::abs(x[s - 1]) > level &&
                             (x[s] > 0) != (x[s - 1] > 0)
                         ? 1
                         : 0;
            }
            return n;
        };
        for (size_t i : {3u, 4u}) {
            EXPECT_LE(w[i].peak(), 32000) << voice;
            EXPECT_GT(w[i].rms(), 1.4 * normal.rms()) << voice;
            EXPECT_NEAR(w[i].seconds(), normal.seconds(), 0.01 * normal.seconds()) << voice;
            const std::vector<int16_t>& x = w[i].samples();
            size_t flat = 0;
            for (size_t s = 2; s < x.size(); ++s) {
                flat += std::abs(x[s]) >= 31000 && x[s] == x[s - 1] && x[s] == x[s - 2] ? 1 : 0;
            }
            EXPECT_EQ(flat, 0u) << voice;
            EXPECT_EQ(jumps(w[i], 28000), 0u) << voice;
        }
        // Beyond the ends: the nearer end.
        auto same = [](const WavFile& a, const WavFile& b) {
            return std::abs(a.seconds() - b.seconds()) < 0.01 * b.seconds() &&
                   std::abs(a.rms() - b.rms()) < 0.01 * b.rms();
        };
        EXPECT_TRUE(same(w[4], w[3])) << voice << ": volume 900 is taken as 200";
        EXPECT_TRUE(same(w[5], w[6])) << voice << ": pitch 10 is taken as 50";
        EXPECT_TRUE(same(w[8], w[7])) << voice << ": pitch 900 is taken as 200";
        // The speaking rate stays.
        for (size_t i : {6u, 7u}) {
            EXPECT_NEAR(w[i].seconds(), normal.seconds(), 0.1 * normal.seconds()) << voice;
        }
    }
}

}  // namespace
}  // namespace parlune::test
