#include "NetworkLayer.h"

namespace RTC {

namespace {

// Constant-initialised: set from another library's static initialisation.
NetworkLayer::Start g_start = nullptr;

}  // namespace

void NetworkLayer::provide(Start start) { g_start = start; }

NetworkLayer::Start NetworkLayer::provided() { return g_start; }

}  // namespace RTC
