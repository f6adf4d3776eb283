// Periodic execution context: one thread that drives its component's
// lifecycle. Cycles follow absolute deadlines (no drift); a slow cycle is
// not made up. Every callback of the component runs on this thread, one at a
// time; state change requests from other threads are carried out there.
#pragma once

#include <rtm/RTC.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace RTC {

class RTObject_impl;

class PeriodicExecutionContext {
  public:
    static constexpr double kDefaultRate = 1000.0;
    // The rates the context keeps, in Hz. The slowest is a period of 1e9 s
    // (about 31 years), far inside what the clock's 64-bit nanosecond
    // deadlines hold, so no deadline arithmetic overflows. The fastest is a
    // period of 50 us, the kernel's default timer slack: a timed wait cannot
    // be kept shorter than that, so a faster context would only spin.
    static constexpr double kMinRate = 1e-9;
    static constexpr double kMaxRate = 20000.0;
    // True for a rate within [kMinRate, kMaxRate] (so neither NaN nor infinite).
    static bool rateInRange(double rate) { return rate >= kMinRate && rate <= kMaxRate; }

    PeriodicExecutionContext(RTObject_impl* owner, double rate, UniqueId id = 0);
    // Stops the context (see stop()).
    ~PeriodicExecutionContext();
    PeriodicExecutionContext(const PeriodicExecutionContext&) = delete;
    PeriodicExecutionContext& operator=(const PeriodicExecutionContext&) = delete;

    UniqueId id() const { return m_id; }
    RTObject_impl* owner() const { return m_owner; }

    // Starts the thread, which calls onStartup first; returns once
    // onStartup has returned.
    ReturnCode_t start();
    // Deactivates an active component, calls onShutdown and ends the thread.
    ReturnCode_t stop();
    bool is_running() const { return m_running.load(); }

    // These wait until the context thread has carried out the change (unless
    // called from that thread). PRECONDITION_NOT_MET when the component is not
    // in the state the change starts from, or the context is not running.
    ReturnCode_t activate_component();
    ReturnCode_t deactivate_component();
    ReturnCode_t reset_component();
    LifeCycleState get_component_state() const { return m_state.load(); }

    double get_rate() const;
    // BAD_PARAMETER, the old rate kept, for a rate outside [kMinRate, kMaxRate].
    ReturnCode_t set_rate(double rate);
    ExecutionKind get_kind() const { return PERIODIC; }

    // Cycles run since start().
    std::uint64_t cycles() const { return m_cycles.load(); }

  private:
    enum class Request { Activate, Deactivate, Reset, RateChanged };
    // One request and its answer. The caller waits on the request's own
    // lock, never on the context's: a component may end itself (and its
    // context be deleted) right after carrying out the caller's request.
    struct Pending {
        Request request;
        ReturnCode_t result = RTC_OK;
        bool done = false;
        std::mutex mutex;
        std::condition_variable cond;
        void finish(ReturnCode_t r);
    };

    ReturnCode_t submit(Request request);
    void run();
    void processRequests(std::unique_lock<std::mutex>& lock);
    ReturnCode_t carryOut(Request request);
    void enterError();
    std::chrono::steady_clock::duration period() const;

    RTObject_impl* m_owner;
    const UniqueId m_id;
    std::atomic<double> m_rate;
    std::atomic<LifeCycleState> m_state;
    std::atomic<bool> m_running;
    std::atomic<std::uint64_t> m_cycles;

    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    std::deque<std::shared_ptr<Pending>> m_requests;
    bool m_stopRequested;
    // Set by the context thread once onStartup has returned.
    bool m_startedUp = false;
    // Set on the context thread when the next deadline must be recomputed.
    bool m_activated = false;
    bool m_rateChanged = false;
    std::thread m_thread;
    std::thread::id m_threadId;
};

}  // namespace RTC
