#include "SpeechManager.h"

#include "Parlune.h"

#include <gtest/gtest.h>

#include <chrono>

#include "support/Wait.h"

RTC::Manager* speechManager() {
    static RTC::Manager* m = [] {
        static char prog[] = "speech_tests", o[] = "-o", log[] = "logger.enable:NO", o2[] = "-o",
                    naming[] = "naming.enable:NO";
        char* argv[] = {prog, o, log, o2, naming, nullptr};
        RTC::Manager* mgr = RTC::Manager::init(5, argv);
        testing::internal::CaptureStdout();
        ParluneRTCInit(mgr);
        EXPECT_EQ("This library uses Parlune.dll. See https://github.com/espeak-ng/espeak-ng\n",
                  testing::internal::GetCapturedStdout());
        return mgr;
    }();
    return m;
}

void runCycles(RTC::PeriodicExecutionContext* ec, std::uint64_t n) {
    const std::uint64_t target = ec->cycles() + n;
    ASSERT_TRUE(testsupport::waitUntil([&] { return ec->cycles() >= target; },
                                       std::chrono::seconds(10), std::chrono::milliseconds(2)))
        << "the execution context stopped running";
}
