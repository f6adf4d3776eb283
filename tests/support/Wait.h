// Waiting for a condition with a deadline: the one polling loop of the tests.
#pragma once

#include <chrono>
#include <thread>

namespace testsupport {

// Calls done() until it returns true or the timeout passes; true when it
// did. The last call happens at or after the deadline, so a condition that
// became true while sleeping is still seen.
template <typename Done>
bool waitUntil(Done&& done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval = std::chrono::milliseconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(interval);
    }
}

}  // namespace testsupport
