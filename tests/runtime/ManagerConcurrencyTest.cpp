// The manager used from several threads at once: a slow onInitialize, a
// component ending itself from its own callback, a peer's remote-style
// deletion request, onStartup finished before the component is handed out.
#include <future>

#include "RecordingComponent.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::seconds;

// onInitialize blocks until the test lets it go (or a deadline passes).
class SlowInit : public RecordingComponent {
  public:
    using RecordingComponent::RecordingComponent;
    static std::promise<void>& entered() {
        static std::promise<void> p;
        return p;
    }
    RTC::ReturnCode_t onInitialize() override {
        entered().set_value();
        gate().wait_for(seconds(20));
        return RecordingComponent::onInitialize();
    }
    static std::shared_future<void> gate() {
        static std::shared_future<void> f = opener().get_future().share();
        return f;
    }
    static std::promise<void>& opener() {
        static std::promise<void> p;
        return p;
    }
};

// onExecute calls exit() once: the component ends itself.
class SelfExit : public RecordingComponent {
  public:
    using RecordingComponent::RecordingComponent;
    RTC::ReturnCode_t onExecute(RTC::UniqueId id) override {
        if (!m_done.exchange(true)) exit();
        return RecordingComponent::onExecute(id);
    }

  private:
    std::atomic<bool> m_done{false};
};

// Every component's onInitialize and onStartup, in the order they ran.
class StartupLog {
  public:
    static void add(const std::string& entry) {
        std::lock_guard<std::mutex> g(mutex());
        entries().push_back(entry);
    }
    static std::vector<std::string> take() {
        std::lock_guard<std::mutex> g(mutex());
        std::vector<std::string> out;
        out.swap(entries());
        return out;
    }

  private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<std::string>& entries() {
        static std::vector<std::string> e;
        return e;
    }
};

class LoggedStartup : public RecordingComponent {
  public:
    using RecordingComponent::RecordingComponent;
    RTC::ReturnCode_t onInitialize() override {
        StartupLog::add(std::string(getInstanceName()) + " init");
        return RecordingComponent::onInitialize();
    }
    RTC::ReturnCode_t onStartup(RTC::UniqueId id) override {
        StartupLog::add(std::string(getInstanceName()) + " startup");
        return RecordingComponent::onStartup(id);
    }
};

// onStartup uses its own context: activates the component, changes the rate.
class StartsItself : public RecordingComponent {
  public:
    using RecordingComponent::RecordingComponent;
    RTC::ReturnCode_t onStartup(RTC::UniqueId id) override {
        activateResult = ec().activate_component();
        rateResult = ec().set_rate(50.0);
        return RecordingComponent::onStartup(id);
    }
    std::atomic<RTC::ReturnCode_t> activateResult{RTC::RTC_ERROR};
    std::atomic<RTC::ReturnCode_t> rateResult{RTC::RTC_ERROR};
};

template <typename T>
void registerType(const std::string& type) {
    coil::Properties profile;
    profile.setProperty("implementation_id", type);
    profile.setProperty("type_name", type);
    profile.setProperty("category", "Test");
    testManager()->registerFactory(
        profile, [](RTC::Manager* m) -> RTC::RTObject_impl* { return new T(m); },
        [](RTC::RTObject_impl* c) {
            if (auto* r = dynamic_cast<RecordingComponent*>(c)) DeletedCalls::set(r->calls());
            delete c;
        });
}

TEST(ManagerThreads, ASlowInitializeStallsNoOtherManagerCall) {
    registerType<SlowInit>("SlowInit");
    registerRecording("Quick");
    RTC::Manager* m = testManager();
    std::future<RTC::RTObject_impl*> slow =
        std::async(std::launch::async, [m] { return m->createComponent("SlowInit"); });
    ASSERT_EQ(std::future_status::ready, SlowInit::entered().get_future().wait_for(seconds(10)));

    // While SlowInit0 is inside onInitialize, the manager answers others.
    std::future<bool> others = std::async(std::launch::async, [m] {
        RTC::RTObject_impl* q = m->createComponent("Quick");
        if (q == nullptr) return false;
        const bool found = m->getComponent(q->getInstanceName()) == q;
        const bool listed = !m->getComponents().empty() && !m->getFactoryProfiles().empty();
        // The name being created is taken already; the component is not yet visible.
        const bool refused = m->createComponent("Quick?instance_name=SlowInit0") == nullptr;
        const bool hidden = m->getComponent("SlowInit0") == nullptr;
        m->deleteComponent(q);
        return found && listed && refused && hidden;
    });
    const bool answered = others.wait_for(seconds(10)) == std::future_status::ready;
    SlowInit::opener().set_value();
    EXPECT_TRUE(answered) << "manager calls waited for another component's onInitialize";
    if (answered) {
        EXPECT_TRUE(others.get());
    }

    ASSERT_EQ(std::future_status::ready, slow.wait_for(seconds(20)));
    RTC::RTObject_impl* c = slow.get();
    ASSERT_NE(nullptr, c);
    EXPECT_STREQ("SlowInit0", c->getInstanceName());
    EXPECT_EQ(c, m->getComponent("SlowInit0"));
    m->deleteComponent(c);
}

TEST(ManagerThreads, ExitFromItsOwnCallbackDeletesTheComponentInOrder) {
    registerType<SelfExit>("SelfExit");
    registerRecording("Stays");
    RTC::Manager* m = testManager();
    // Another component keeps the process's manager from ending.
    RTC::RTObject_impl* stays = m->createComponent("Stays");
    ASSERT_NE(nullptr, stays);
    for (int run = 0; run < 20; ++run) {
        DeletedCalls::clear();
        RTC::RTObject_impl* c = m->createComponent("SelfExit");
        ASSERT_NE(nullptr, c);
        const std::string name = c->getInstanceName();
        ASSERT_EQ(RTC::RTC_OK, c->getOwnedExecutionContext()->activate_component());
        ASSERT_TRUE(testsupport::waitUntil(
            [&] { return m->getComponent(name.c_str()) == nullptr && !lastDeletedCalls().empty(); },
            seconds(10)))
            << "run " << run;
        std::vector<std::string> last = lastDeletedCalls();
        last.erase(std::remove_if(last.begin(), last.end(),
                                  [](const std::string& s) {
                                      return s == "onExecute" || s == "onStateUpdate";
                                  }),
                   last.end());
        EXPECT_EQ((std::vector<std::string>{"onInitialize", "onStartup", "onActivated",
                                            "onDeactivated", "onShutdown", "onFinalize"}),
                  last)
            << "run " << run;
    }
    m->deleteComponent(stays);
}

TEST(ManagerThreads, RequestedDeletionsRunOnTheManagersThread) {
    registerRecording("Requested");
    RTC::Manager* m = testManager();
    RTC::RTObject_impl* keep = m->createComponent("Requested");
    RTC::RTObject_impl* c = m->createComponent("Requested");
    ASSERT_NE(nullptr, keep);
    ASSERT_NE(nullptr, c);
    const std::string name = c->getInstanceName();
    m->requestDelete(name);
    EXPECT_TRUE(testsupport::waitUntil([&] { return m->getComponent(name.c_str()) == nullptr; },
                                       seconds(10)));
    // Unknown and already deleted names are ignored.
    m->requestDelete(name);
    m->requestDelete("NoSuchComponent");
    m->requestDelete("");
    EXPECT_EQ(keep, m->getComponent(keep->getInstanceName()));
    m->deleteComponent(keep);
}

// The framework runs onStartup inside the context's start(), so a component
// handed out by createComponent has finished it, and two components created
// one after the other start up in that order.
TEST(ManagerThreads, OnStartupHasRunWhenCreateComponentReturns) {
    registerType<LoggedStartup>("LoggedStartup");
    RTC::Manager* m = testManager();
    StartupLog::take();
    for (int round = 0; round < 5; ++round) {
        RTC::RTObject_impl* first = m->createComponent("LoggedStartup");
        RTC::RTObject_impl* second = m->createComponent("LoggedStartup");
        ASSERT_NE(nullptr, first);
        ASSERT_NE(nullptr, second);
        const std::string a = first->getInstanceName(), b = second->getInstanceName();
        EXPECT_EQ(
            (std::vector<std::string>{a + " init", a + " startup", b + " init", b + " startup"}),
            StartupLog::take())
            << "round " << round;
        m->deleteComponent(first);
        m->deleteComponent(second);
    }
}

// An onStartup that calls into its own context must not wait for itself.
TEST(ManagerThreads, OnStartupMayUseItsOwnContext) {
    registerType<StartsItself>("StartsItself");
    RTC::Manager* m = testManager();
    std::future<RTC::RTObject_impl*> created =
        std::async(std::launch::async, [m] { return m->createComponent("StartsItself"); });
    ASSERT_EQ(std::future_status::ready, created.wait_for(seconds(10)))
        << "createComponent waits for an onStartup that waits for the context";
    auto* c = dynamic_cast<StartsItself*>(created.get());
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(RTC::RTC_OK, c->activateResult.load());
    EXPECT_EQ(RTC::RTC_OK, c->rateResult.load());
    EXPECT_TRUE(c->waitFor("onExecute", 1, 10000));
    EXPECT_EQ(RTC::ACTIVE_STATE, c->ec().get_component_state());
    EXPECT_DOUBLE_EQ(50.0, c->ec().get_rate());
    EXPECT_FALSE(c->overlapped);
    m->deleteComponent(c);
}

}  // namespace
