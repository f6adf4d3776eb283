// Runs startGUI() on a thread of its own, as the controller does, and stops
// and joins it when it goes out of scope.
#pragma once

#include "StringInputForm.h"
#include "support/Wait.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace guitest {

class WindowThread {
  public:
    WindowThread() {
        prepareGUI();
        m_thread = std::thread([this] {
            startGUI();
            m_returned.store(true);
        });
    }
    ~WindowThread() {
        stopGUI();
        if (m_thread.joinable()) m_thread.join();
    }
    WindowThread(const WindowThread&) = delete;
    WindowThread& operator=(const WindowThread&) = delete;

    // True when startGUI() has returned, waiting up to the given time.
    bool returnsWithin(std::chrono::milliseconds limit) {
        return testsupport::waitUntil([this] { return m_returned.load(); }, limit,
                                      std::chrono::milliseconds(2));
    }
    bool returned() const { return m_returned.load(); }

  private:
    std::atomic<bool> m_returned{false};
    std::thread m_thread;
};

}  // namespace guitest
