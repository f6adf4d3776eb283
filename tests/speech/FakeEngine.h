// A stand-in for the speech engine that records every call, linked into the
// speech component's tests in place of the real library.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fake_engine {

struct Call {
    std::string function;  // "Create", "Play", "Release"; "PlayWith", "Interrupt"
    std::uintptr_t handle = 0;
    std::string text;
    std::int32_t speed = 0;
    std::int32_t extra[3] = {0, 0, 0};
    std::uint64_t cycle = 0;  // of the context, when a cycle source is set
};

std::vector<Call> calls();
// The Play and PlayWith calls.
std::vector<Call> plays();
void reset();
// Play returns this for texts equal to failText: the next `times` times, or
// always when times is negative.
void failOn(const std::string& failText, int result, int times = -1);
// Called by Play to tag each call with the current execution cycle.
void setCycleSource(std::function<std::uint64_t()> source);
bool waitForPlays(std::size_t count, int timeout_ms = 3000);

}  // namespace fake_engine
