#include "RecordingComponent.h"

#include <gtest/gtest.h>

#include "rtm/LocalConnection.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

namespace {

typedef std::vector<std::string> Calls;

class Lifecycle : public ::testing::Test {
  protected:
    void SetUp() override {
        static int n = 0;
        type = "Lifecycle" + std::to_string(n++);
        registerRecording(type, {{"exec_cxt.periodic.rate", "200"}});
        comp = dynamic_cast<RecordingComponent*>(testManager()->createComponent(type.c_str()));
        ASSERT_NE(nullptr, comp);
        ASSERT_TRUE(comp->waitFor("onStartup", 1));
    }
    void TearDown() override {
        if (comp != nullptr) {
            EXPECT_FALSE(comp->overlapped);
            testManager()->deleteComponent(comp);
        }
    }
    std::string type;
    RecordingComponent* comp = nullptr;
};

TEST_F(Lifecycle, ActivateRunsExecuteThenStateUpdateDeactivateStops) {
    EXPECT_EQ(RTC::INACTIVE_STATE, comp->ec().get_component_state());
    EXPECT_EQ(0, comp->count("onExecute"));
    ASSERT_EQ(RTC::RTC_OK, comp->ec().activate_component());
    EXPECT_EQ(RTC::ACTIVE_STATE, comp->ec().get_component_state());
    ASSERT_TRUE(comp->waitFor("onStateUpdate", 3));
    ASSERT_EQ(RTC::RTC_OK, comp->ec().deactivate_component());
    EXPECT_EQ(RTC::INACTIVE_STATE, comp->ec().get_component_state());
    // The context's next step is the next activation, on the same thread:
    // whatever it still ran after deactivating comes before it in the log.
    ASSERT_EQ(RTC::RTC_OK, comp->ec().activate_component());
    ASSERT_EQ(RTC::RTC_OK, comp->ec().deactivate_component());

    Calls calls = comp->calls();
    EXPECT_EQ((Calls{"onInitialize", "onStartup", "onActivated"}),
              Calls(calls.begin(), calls.begin() + 3));
    const auto off = std::find(calls.begin(), calls.end(), "onDeactivated");
    ASSERT_NE(calls.end(), off);
    ASSERT_NE(calls.end(), off + 1);
    EXPECT_EQ("onActivated", *(off + 1)) << "called while inactive";
    EXPECT_EQ("onDeactivated", calls.back());
    // Every onExecute is followed by onStateUpdate.
    for (size_t i = 3; i + 1 < calls.size(); ++i) {
        if (calls[i] == "onExecute") {
            EXPECT_EQ("onStateUpdate", calls[i + 1]);
        }
    }
}

TEST_F(Lifecycle, WrongStartingStateIsRefused) {
    EXPECT_EQ(RTC::PRECONDITION_NOT_MET, comp->ec().deactivate_component());
    EXPECT_EQ(RTC::PRECONDITION_NOT_MET, comp->ec().reset_component());
    ASSERT_EQ(RTC::RTC_OK, comp->ec().activate_component());
    EXPECT_EQ(RTC::PRECONDITION_NOT_MET, comp->ec().activate_component());
    EXPECT_EQ(1, comp->count("onActivated"));
}

TEST_F(Lifecycle, ExecuteErrorGoesToErrorStateAndResetReturnsToInactive) {
    comp->setResult("onExecute", "error");
    ASSERT_EQ(RTC::RTC_OK, comp->ec().activate_component());
    ASSERT_TRUE(comp->waitFor("onError", 3));
    EXPECT_EQ(RTC::ERROR_STATE, comp->ec().get_component_state());
    EXPECT_EQ((Calls{"onInitialize", "onStartup", "onActivated", "onDeactivated", "onAborting"}),
              comp->transitions());
    // Only one onExecute: the error state never executes.
    EXPECT_EQ(1, comp->count("onExecute"));
    EXPECT_EQ(0, comp->count("onStateUpdate"));

    // A failing reset stays in ERROR.
    comp->setResult("onReset", "error");
    EXPECT_EQ(RTC::RTC_ERROR, comp->ec().reset_component());
    EXPECT_EQ(RTC::ERROR_STATE, comp->ec().get_component_state());

    comp->setResult("onReset", "ok");
    comp->setResult("onExecute", "ok");
    EXPECT_EQ(RTC::RTC_OK, comp->ec().reset_component());
    EXPECT_EQ(RTC::INACTIVE_STATE, comp->ec().get_component_state());
    EXPECT_EQ(RTC::RTC_OK, comp->ec().activate_component());
    EXPECT_TRUE(comp->waitFor("onExecute", 3));
}

TEST_F(Lifecycle, ThrowingCallbacksCountAsErrors) {
    comp->setResult("onExecute", "throw");
    ASSERT_EQ(RTC::RTC_OK, comp->ec().activate_component());
    ASSERT_TRUE(comp->waitFor("onAborting", 1));
    EXPECT_EQ(RTC::ERROR_STATE, comp->ec().get_component_state());
    comp->setResult("onError", "throw");
    ASSERT_TRUE(comp->waitFor("onError", 3));  // still cycling after throws
    comp->setResult("onReset", "throw");
    EXPECT_EQ(RTC::RTC_ERROR, comp->ec().reset_component());
}

TEST_F(Lifecycle, ActivationFailureGoesToError) {
    comp->setResult("onActivated", "error");
    EXPECT_EQ(RTC::RTC_ERROR, comp->ec().activate_component());
    EXPECT_EQ(RTC::ERROR_STATE, comp->ec().get_component_state());
    EXPECT_EQ(0, comp->count("onExecute"));
    EXPECT_EQ((Calls{"onInitialize", "onStartup", "onActivated", "onDeactivated", "onAborting"}),
              comp->transitions());
}

TEST_F(Lifecycle, DeletingAnActiveComponentDeactivatesAndFinalizesIt) {
    ASSERT_EQ(RTC::RTC_OK, comp->ec().activate_component());
    ASSERT_TRUE(comp->waitFor("onExecute", 1));
    testManager()->deleteComponent(comp);
    comp = nullptr;
    Calls last = lastDeletedCalls();
    last.erase(std::remove_if(
                   last.begin(), last.end(),
                   [](const std::string& c) { return c == "onExecute" || c == "onStateUpdate"; }),
               last.end());
    EXPECT_EQ((Calls{"onInitialize", "onStartup", "onActivated", "onDeactivated", "onShutdown",
                     "onFinalize"}),
              last);
    EXPECT_EQ(nullptr, testManager()->getComponent((type + "0").c_str()));
}

TEST_F(Lifecycle, DeletingAComponentInErrorResetsItBeforeFinalizing) {
    comp->setResult("onExecute", "error");
    ASSERT_EQ(RTC::RTC_OK, comp->ec().activate_component());
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return comp->ec().get_component_state() == RTC::ERROR_STATE; },
                               std::chrono::seconds(5)));
    testManager()->deleteComponent(comp);
    comp = nullptr;
    Calls last = lastDeletedCalls();
    last.erase(std::remove_if(last.begin(), last.end(),
                              [](const std::string& c) {
                                  return c == "onExecute" || c == "onStateUpdate" || c == "onError";
                              }),
               last.end());
    EXPECT_EQ((Calls{"onInitialize", "onStartup", "onActivated", "onDeactivated", "onAborting",
                     "onReset", "onShutdown", "onFinalize"}),
              last);
}

// A component in ERROR that ends itself from onError is reset first too.
TEST_F(Lifecycle, ExitFromOnErrorResetsBeforeFinalizing) {
    comp->setResult("onExecute", "error");
    ASSERT_EQ(RTC::RTC_OK, comp->ec().activate_component());
    ASSERT_TRUE(comp->waitFor("onError", 1));
    DeletedCalls::clear();
    comp->exitOn("onError");
    ASSERT_TRUE(testsupport::waitUntil([&] { return !lastDeletedCalls().empty(); },
                                       std::chrono::seconds(10)));
    comp = nullptr;
    Calls last = lastDeletedCalls();
    const auto reset = std::find(last.begin(), last.end(), "onReset");
    const auto finalize = std::find(last.begin(), last.end(), "onFinalize");
    EXPECT_NE(last.end(), reset);
    EXPECT_NE(last.end(), finalize);
    EXPECT_LT(reset - last.begin(), finalize - last.begin());
    EXPECT_EQ(nullptr, testManager()->getComponent((type + "0").c_str()));
}

TEST_F(Lifecycle, ConfigurationUpdatesApplyBetweenCallbacks) {
    EXPECT_EQ(100, comp->m_speed);
    RTC::ConfigAdmin& config = comp->getConfigAdmin();
    ASSERT_EQ(RTC::RTC_OK, comp->ec().activate_component());
    for (auto [value, expected] : std::vector<std::pair<std::string, int>>{
             {"150", 150}, {"120abc", 120}, {"abc", 100}, {"", 100}, {" 42", 42}}) {
        const int before = comp->count("onExecute");
        ASSERT_TRUE(config.setParameter("default", "speed", value.c_str()));
        ASSERT_TRUE(comp->waitFor("onExecute", before + 2));
        EXPECT_EQ(expected, comp->m_speed) << "value '" << value << "'";
    }
    EXPECT_FALSE(config.setParameter("", "speed", "1"));
    EXPECT_FALSE(config.setParameter("default", nullptr, "1"));
}

TEST_F(Lifecycle, RateChangeIsAnnouncedOnTheContextThread) {
    EXPECT_DOUBLE_EQ(200.0, comp->ec().get_rate());
    EXPECT_EQ(RTC::BAD_PARAMETER, comp->ec().set_rate(0.0));
    EXPECT_EQ(RTC::BAD_PARAMETER, comp->ec().set_rate(-5.0));
    EXPECT_EQ(RTC::RTC_OK, comp->ec().set_rate(50.0));
    EXPECT_TRUE(comp->waitFor("onRateChanged", 1));
    EXPECT_DOUBLE_EQ(50.0, comp->ec().get_rate());
}

// A period that does not fit the context's clock arithmetic, or one so short
// that the context could only spin, is refused; the old rate stays.
TEST_F(Lifecycle, RatesTheContextCannotKeepAreRefusedAndChangeNothing) {
    const double kMin = RTC::PeriodicExecutionContext::kMinRate;
    const double kMax = RTC::PeriodicExecutionContext::kMaxRate;
    const double inf = std::numeric_limits<double>::infinity();
    for (double bad :
         {0.0, -5.0, 1e-12, 1e-10, std::nextafter(kMin, 0.0), std::nextafter(kMax, inf), 1e6, 1e300,
          inf, -inf, std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(RTC::BAD_PARAMETER, comp->ec().set_rate(bad)) << bad;
        EXPECT_DOUBLE_EQ(200.0, comp->ec().get_rate()) << bad;
    }
    EXPECT_EQ(0, comp->count("onRateChanged"));
    EXPECT_EQ(RTC::RTC_OK, comp->ec().set_rate(kMax));
    EXPECT_EQ(RTC::RTC_OK, comp->ec().set_rate(kMin));
    EXPECT_TRUE(comp->waitFor("onRateChanged", 2));
    EXPECT_DOUBLE_EQ(kMin, comp->ec().get_rate());
    // Still answering at the slowest rate: activation runs its first cycle at once.
    ASSERT_EQ(RTC::RTC_OK, comp->ec().activate_component());
    EXPECT_TRUE(comp->waitFor("onExecute", 1));
}

TEST_F(Lifecycle, PortsAreRegisteredUnderTheInstanceName) {
    ASSERT_NE(nullptr, comp->findPort("in"));
    EXPECT_EQ(type + "0.in", comp->findPort("in")->getName());
    EXPECT_EQ(comp->findPort("out"), comp->findPort(type + "0.out"));
    EXPECT_EQ(nullptr, comp->findPort("missing"));
    // A second port with a taken name is refused.
    RTC::TimedString v;
    RTC::InPort<RTC::TimedString> dup("in", v);
    EXPECT_FALSE(comp->addInPort("in", dup));
}

// A component whose destructor takes a while; a callback that comes while
// it runs is counted (the component's members may be gone by then).
std::atomic<bool> g_destroying{false};
std::atomic<int> g_lateCallbacks{0};
Calls g_callsAtDestruction;

class SlowToDestroy : public RecordingComponent {
  public:
    using RecordingComponent::RecordingComponent;
    ~SlowToDestroy() override {
        g_callsAtDestruction = transitions();
        g_destroying = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        g_destroying = false;
    }
    RTC::ReturnCode_t onExecute(RTC::UniqueId id) override {
        if (g_destroying) ++g_lateCallbacks;
        return RecordingComponent::onExecute(id);
    }
};

// Deleted through its base pointer instead of through the manager: its
// context is stopped and it is finalized before its own destructor runs, and
// the manager forgets it, so it can neither be called while half destroyed
// nor found (and deleted a second time) afterwards.
TEST(DeletedBehindTheManager, StopsBeforeItsDestructorAndLeavesTheManager) {
    coil::Properties profile;
    profile.setProperty("implementation_id", "SlowToDestroy");
    profile.setProperty("type_name", "SlowToDestroy");
    profile.setProperty("category", "Test");
    RTC::Manager* m = testManager();
    ASSERT_TRUE(
        m->registerFactory(profile, RTC::Create<SlowToDestroy>, RTC::Delete<SlowToDestroy>));
    for (int round = 0; round < 2; ++round) {
        g_lateCallbacks = 0;
        auto* comp = dynamic_cast<SlowToDestroy*>(m->createComponent("SlowToDestroy"));
        ASSERT_NE(nullptr, comp);
        EXPECT_STREQ("SlowToDestroy0", comp->getInstanceName());
        ASSERT_EQ(RTC::RTC_OK, comp->ec().activate_component());
        ASSERT_TRUE(comp->waitFor("onExecute", 3));
        if (round == 0) {
            RTC::RTObject_impl* base = comp;
            delete base;
        } else {
            // The manager's own way still works the same.
            m->deleteComponent(comp);
        }
        EXPECT_EQ(0, g_lateCallbacks.load()) << "round " << round;
        EXPECT_EQ((Calls{"onInitialize", "onStartup", "onActivated", "onDeactivated", "onShutdown",
                         "onFinalize"}),
                  g_callsAtDestruction)
            << "round " << round;
        EXPECT_EQ(nullptr, m->getComponent("SlowToDestroy0"));
    }
}

// The context runs on absolute deadlines and never runs missed cycles in a
// burst: whatever the load, cycle k starts no sooner than k - 1 periods after
// the first. A context running faster than its rate fails this; how close it
// keeps to the rate on a loaded machine is a benchmark's question, not a
// test's.
TEST(ExecutionRate, CyclesNeverComeFasterThanTheRateAt10And100Hz) {
    for (double rate : {10.0, 100.0}) {
        static int n = 0;
        const std::string type = "Rate" + std::to_string(n++);
        registerRecording(type, {{"exec_cxt.periodic.rate", std::to_string(rate)}});
        auto* comp =
            dynamic_cast<RecordingComponent*>(testManager()->createComponent(type.c_str()));
        ASSERT_NE(nullptr, comp);
        EXPECT_DOUBLE_EQ(rate, comp->ec().get_rate());
        ASSERT_EQ(RTC::RTC_OK, comp->ec().activate_component());
        const bool ran = comp->waitFor("onExecute", 12, 60000);
        auto times = comp->executeTimes();
        testManager()->deleteComponent(comp);
        ASSERT_TRUE(ran) << "fewer than 12 cycles at " << rate << " Hz";
        const std::chrono::duration<double> period(1.0 / rate);
        // 1 ms for the rounding of the period to the clock's resolution.
        const std::chrono::duration<double> slack(0.001);
        for (std::size_t k = 1; k < times.size(); ++k) {
            const std::chrono::duration<double> since = times[k] - times.front();
            EXPECT_GE((since + slack).count(), ((k - 1) * period).count())
                << "cycle " << k << " at " << rate << " Hz came early";
        }
    }
}

// A context at a very low rate must not keep waiting for the deadline of the
// old rate or of an earlier activation: at 0.05 Hz the next cycle would be
// 20 s away, and the deadlines below are far shorter than that.
TEST(ExecutionRate, ANewRateOrActivationRecomputesTheNextDeadline) {
    registerRecording("SlowRate", {{"exec_cxt.periodic.rate", "0.05"}});
    auto* comp = dynamic_cast<RecordingComponent*>(testManager()->createComponent("SlowRate"));
    ASSERT_NE(nullptr, comp);
    EXPECT_DOUBLE_EQ(0.05, comp->ec().get_rate());

    // An activation runs its first cycle at once.
    ASSERT_EQ(RTC::RTC_OK, comp->ec().activate_component());
    ASSERT_TRUE(comp->waitFor("onExecute", 1, 5000));

    // 0.05 Hz -> 1000 Hz: cycles follow within a few new periods, not 20 s.
    ASSERT_EQ(RTC::RTC_OK, comp->ec().set_rate(1000.0));
    EXPECT_TRUE(comp->waitFor("onExecute", 10, 5000)) << comp->count("onExecute") << " cycles";

    // Back to 0.05 Hz, then deactivate + activate: the activation's cycle
    // does not wait for the slow deadline.
    ASSERT_EQ(RTC::RTC_OK, comp->ec().set_rate(0.05));
    ASSERT_TRUE(comp->waitFor("onRateChanged", 2, 5000));
    ASSERT_EQ(RTC::RTC_OK, comp->ec().deactivate_component());
    const int before = comp->count("onExecute");
    ASSERT_EQ(RTC::RTC_OK, comp->ec().activate_component());
    EXPECT_TRUE(comp->waitFor("onExecute", before + 1, 5000));

    // A bad rate changes nothing.
    EXPECT_EQ(RTC::BAD_PARAMETER, comp->ec().set_rate(0.0));
    EXPECT_DOUBLE_EQ(0.05, comp->ec().get_rate());
    EXPECT_FALSE(comp->overlapped);
    testManager()->deleteComponent(comp);
}

}  // namespace
