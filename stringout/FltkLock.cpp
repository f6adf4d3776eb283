#include "FltkLock.h"

#include <FL/Fl.H>

#include <atomic>
#include <mutex>

namespace StringOut {

namespace {
std::once_flag g_setUp;
std::atomic<bool> g_ready{false};
}  // namespace

FltkLock::FltkLock() {
    std::call_once(g_setUp, [] {
        // The first Fl::lock() creates the wake-up pipe and the recursive lock.
        Fl::lock();
        Fl::unlock();
        g_ready.store(true);
    });
    Fl::lock();
}

FltkLock::~FltkLock() { Fl::unlock(); }

void FltkLock::wake() {
    if (g_ready.load()) Fl::awake(static_cast<void*>(nullptr));
}

}  // namespace StringOut
