#include <rtm/Orb.h>

#include <mutex>

namespace RTC {

namespace detail {
std::atomic<bool> g_orbReady{false};
}

namespace {
std::mutex g_orbMutex;
CORBA::ORB_ptr g_orb = CORBA::ORB::_nil();
}  // namespace

CORBA::ORB_ptr initOrb(int argc, char** argv) {
    std::lock_guard<std::mutex> guard(g_orbMutex);
    if (CORBA::is_nil(g_orb)) {
        g_orb = CORBA::ORB_init(argc, argv);
        detail::g_orbReady.store(true, std::memory_order_release);
    }
    return g_orb;
}

void detail::initDefaultOrb() {
    char name[] = "parlune";
    char* argv[] = {name, nullptr};
    initOrb(1, argv);
}

CORBA::ORB_ptr orb() {
    ensureOrb();
    return g_orb;
}

}  // namespace RTC
