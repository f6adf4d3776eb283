// The event side of the recording engine: the test says which events are
// due; the component drains them with ParluneDa_NextEvent. Linked only into
// the tests of an engine that has events.
#pragma once

#include <cstdint>
#include <string>

namespace fake_events {

void reset();
// Makes an event due for the handle events were last enabled on.
void push(int kind, std::uint64_t text, const std::string& detail = "");
// How many times ParluneDa_EnableEvents was called.
int enableCalls();
// Events pushed and not yet taken.
std::size_t due();

}  // namespace fake_events
