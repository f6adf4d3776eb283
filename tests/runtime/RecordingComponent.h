// A component that records its callbacks, for lifecycle tests.
#pragma once

#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/DataFlowComponentBase.h>
#include <rtm/InPort.h>
#include <rtm/Manager.h>
#include <rtm/OutPort.h>
#include <rtm/PeriodicExecutionContext.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/Wait.h"

class RecordingComponent : public RTC::DataFlowComponentBase {
  public:
    explicit RecordingComponent(RTC::Manager* m)
        : RTC::DataFlowComponentBase(m), m_inIn("in", m_in), m_outOut("out", m_out) {}

    // What a callback returns ("throw" makes it throw); OK when not set.
    void setResult(const std::string& callback, const std::string& result) {
        std::lock_guard<std::mutex> g(m_mutex);
        m_results[callback] = result;
    }
    std::vector<std::string> calls() {
        std::lock_guard<std::mutex> g(m_mutex);
        return m_calls;
    }
    // Calls without repeated onExecute/onError/onStateUpdate entries.
    std::vector<std::string> transitions() {
        std::vector<std::string> out;
        for (const std::string& c : calls()) {
            if (c != "onExecute" && c != "onError" && c != "onStateUpdate") out.push_back(c);
        }
        return out;
    }
    int count(const std::string& callback) {
        int n = 0;
        for (const std::string& c : calls()) n += c == callback;
        return n;
    }
    // The next time this callback runs, it calls exit().
    void exitOn(const std::string& callback) {
        std::lock_guard<std::mutex> g(m_mutex);
        m_exitOn = callback;
    }
    void clear() {
        std::lock_guard<std::mutex> g(m_mutex);
        m_calls.clear();
    }
    bool waitFor(const std::string& callback, int times, int timeout_ms = 3000) {
        return testsupport::waitUntil([&] { return count(callback) >= times; },
                                      std::chrono::milliseconds(timeout_ms),
                                      std::chrono::milliseconds(1));
    }
    std::vector<std::chrono::steady_clock::time_point> executeTimes() {
        std::lock_guard<std::mutex> g(m_mutex);
        return m_executeTimes;
    }
    RTC::PeriodicExecutionContext& ec() { return *getOwnedExecutionContext(); }

    int m_speed = -1;
    std::atomic<bool> overlapped{false};
    RTC::TimedString m_in;
    RTC::InPort<RTC::TimedString> m_inIn;
    RTC::TimedString m_out;
    RTC::OutPort<RTC::TimedString> m_outOut;

    RTC::ReturnCode_t onInitialize() override {
        addInPort("in", m_inIn);
        addOutPort("out", m_outOut);
        bindParameter("speed", m_speed, "100");
        return record("onInitialize");
    }
    RTC::ReturnCode_t onFinalize() override { return record("onFinalize"); }
    RTC::ReturnCode_t onStartup(RTC::UniqueId) override { return record("onStartup"); }
    RTC::ReturnCode_t onShutdown(RTC::UniqueId) override { return record("onShutdown"); }
    RTC::ReturnCode_t onActivated(RTC::UniqueId) override { return record("onActivated"); }
    RTC::ReturnCode_t onDeactivated(RTC::UniqueId) override { return record("onDeactivated"); }
    RTC::ReturnCode_t onExecute(RTC::UniqueId) override {
        {
            std::lock_guard<std::mutex> g(m_mutex);
            m_executeTimes.push_back(std::chrono::steady_clock::now());
        }
        return record("onExecute");
    }
    RTC::ReturnCode_t onAborting(RTC::UniqueId) override { return record("onAborting"); }
    RTC::ReturnCode_t onError(RTC::UniqueId) override { return record("onError"); }
    RTC::ReturnCode_t onReset(RTC::UniqueId) override { return record("onReset"); }
    RTC::ReturnCode_t onStateUpdate(RTC::UniqueId) override { return record("onStateUpdate"); }
    RTC::ReturnCode_t onRateChanged(RTC::UniqueId) override { return record("onRateChanged"); }

  private:
    RTC::ReturnCode_t record(const std::string& name) {
        // Callbacks of one component must never overlap.
        if (m_inCallback.exchange(true)) overlapped = true;
        std::string result;
        {
            std::lock_guard<std::mutex> g(m_mutex);
            m_calls.push_back(name);
            auto it = m_results.find(name);
            if (it != m_results.end()) result = it->second;
        }
        bool exit_now = false;
        {
            std::lock_guard<std::mutex> g(m_mutex);
            if (!m_exitOn.empty() && m_exitOn == name) {
                m_exitOn.clear();
                exit_now = true;
            }
        }
        m_inCallback = false;
        if (exit_now) exit();
        if (result == "throw") throw std::runtime_error("thrown by " + name);
        if (result == "error") return RTC::RTC_ERROR;
        return RTC::RTC_OK;
    }

    std::mutex m_mutex;
    std::vector<std::string> m_calls;
    std::vector<std::chrono::steady_clock::time_point> m_executeTimes;
    std::map<std::string, std::string> m_results;
    std::string m_exitOn;
    std::atomic<bool> m_inCallback{false};
};

// Calls recorded by the last component the manager deleted.
// Written on the thread that deletes it (the manager's reaper for a component
// that ended itself), read by the test.
class DeletedCalls {
  public:
    static void set(std::vector<std::string> calls) {
        std::lock_guard<std::mutex> g(mutex());
        store() = std::move(calls);
    }
    static std::vector<std::string> get() {
        std::lock_guard<std::mutex> g(mutex());
        return store();
    }
    static void clear() { set({}); }

  private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<std::string>& store() {
        static std::vector<std::string> calls;
        return calls;
    }
};
inline std::vector<std::string> lastDeletedCalls() { return DeletedCalls::get(); }

// The process's manager, made once with logging off.
inline RTC::Manager* testManager() {
    static RTC::Manager* manager = [] {
        static char prog[] = "runtime_tests", o[] = "-o", log[] = "logger.enable:NO", o2[] = "-o",
                    naming[] = "naming.enable:NO";
        char* argv[] = {prog, o, log, o2, naming, nullptr};
        return RTC::Manager::init(5, argv);
    }();
    return manager;
}

// Registers a recording component type with the given extra profile entries.
inline void registerRecording(const std::string& type,
                              const std::vector<std::pair<std::string, std::string>>& extra = {}) {
    coil::Properties profile;
    profile.setProperty("implementation_id", type);
    profile.setProperty("type_name", type);
    profile.setProperty("category", "Test");
    profile.setProperty("max_instance", "0");
    for (const auto& kv : extra) profile.setProperty(kv.first, kv.second);
    testManager()->registerFactory(
        profile, [](RTC::Manager* m) -> RTC::RTObject_impl* { return new RecordingComponent(m); },
        [](RTC::RTObject_impl* c) {
            if (auto* r = dynamic_cast<RecordingComponent*>(c)) DeletedCalls::set(r->calls());
            delete c;
        });
}
