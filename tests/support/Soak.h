// What the long-running tests share: their length taken from the
// environment, the time they have run, and how much a watched process may
// grow over the whole run.
#pragma once

#include <chrono>
#include <cstdlib>

namespace testsupport {

// A thread or descriptor left behind per round would show as hundreds;
// these allow for the ORB's and the X client's own caches.
constexpr int kSoakThreadMargin = 2;
constexpr int kSoakDescriptorMargin = 4;

// The positive number in environment variable name, else fallback.
inline int envCount(const char* name, int fallback) {
    const char* text = std::getenv(name);
    const int n = text != nullptr ? std::atoi(text) : 0;
    return n > 0 ? n : fallback;
}

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace testsupport
