#include "RecordingComponent.h"

#include <gtest/gtest.h>

#include "rtm/ConnectorBase.h"

namespace {

TEST(Manager, UnknownOrEmptyTypeGivesNull) {
    RTC::Manager* m = testManager();
    EXPECT_EQ(nullptr, m->createComponent("NoSuchType"));
    EXPECT_EQ(nullptr, m->createComponent(""));
    EXPECT_EQ(nullptr, m->createComponent(nullptr));
    EXPECT_EQ(nullptr, m->createComponent("?instance_name=x"));
}

TEST(Manager, MaxInstanceIsHonouredAndNamesCountUp) {
    registerRecording("Limited", {{"max_instance", "2"}});
    RTC::Manager* m = testManager();
    RTC::RTObject_impl* a = m->createComponent("Limited");
    RTC::RTObject_impl* b = m->createComponent("Limited");
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_STREQ("Limited0", a->getInstanceName());
    EXPECT_STREQ("Limited1", b->getInstanceName());
    EXPECT_EQ(nullptr, m->createComponent("Limited"));
    // A freed slot (and its name) can be taken again.
    m->deleteComponent(a);
    RTC::RTObject_impl* c = m->createComponent("Limited");
    ASSERT_NE(nullptr, c);
    EXPECT_STREQ("Limited0", c->getInstanceName());
    m->deleteComponent(b);
    m->deleteComponent(c);
}

TEST(Manager, ArgumentsSetInstanceNameAndRate) {
    registerRecording("Named");
    RTC::Manager* m = testManager();
    RTC::RTObject_impl* c =
        m->createComponent("Named?instance_name=voice&exec_cxt.periodic.rate=25");
    ASSERT_NE(nullptr, c);
    EXPECT_STREQ("voice", c->getInstanceName());
    EXPECT_DOUBLE_EQ(25.0, c->getOwnedExecutionContext()->get_rate());
    EXPECT_EQ(c, m->getComponent("voice"));
    // A taken instance name is refused.
    EXPECT_EQ(nullptr, m->createComponent("Named?instance_name=voice"));
    m->deleteComponent("voice");
    EXPECT_EQ(nullptr, m->getComponent("voice"));
}

TEST(Manager, DefaultRateIs1000Hz) {
    registerRecording("Fast");
    RTC::RTObject_impl* c = testManager()->createComponent("Fast");
    ASSERT_NE(nullptr, c);
    EXPECT_DOUBLE_EQ(1000.0, c->getOwnedExecutionContext()->get_rate());
    testManager()->deleteComponent(c);
}

// A rate the context cannot keep is not used; the next source (here the
// built-in default) is.
TEST(Manager, RatesOutsideTheContextsRangeFallBackToTheDefault) {
    registerRecording("OddRate");
    RTC::Manager* m = testManager();
    for (const char* rate : {"1e-12", "1e6", "1e300", "inf", "nan", "-3", "0"}) {
        RTC::RTObject_impl* c =
            m->createComponent((std::string("OddRate?exec_cxt.periodic.rate=") + rate).c_str());
        ASSERT_NE(nullptr, c) << rate;
        EXPECT_DOUBLE_EQ(1000.0, c->getOwnedExecutionContext()->get_rate()) << rate;
        m->deleteComponent(c);
    }
    // The ends of the range are usable.
    for (const auto& rate : std::vector<std::pair<const char*, double>>{
             {"1e-9", RTC::PeriodicExecutionContext::kMinRate},
             {"0.5", 0.5},
             {"20000", RTC::PeriodicExecutionContext::kMaxRate}}) {
        RTC::RTObject_impl* c = m->createComponent(
            (std::string("OddRate?exec_cxt.periodic.rate=") + rate.first).c_str());
        ASSERT_NE(nullptr, c) << rate.first;
        EXPECT_DOUBLE_EQ(rate.second, c->getOwnedExecutionContext()->get_rate()) << rate.first;
        m->deleteComponent(c);
    }
}

class FailingInit : public RecordingComponent {
  public:
    using RecordingComponent::RecordingComponent;
    RTC::ReturnCode_t onInitialize() override { return RTC::RTC_ERROR; }
};

TEST(Manager, FailedInitializeGivesNullAndDeletesTheInstance) {
    static int deleted = 0;
    coil::Properties profile;
    profile.setProperty("implementation_id", "FailingInit");
    profile.setProperty("type_name", "FailingInit");
    RTC::Manager* m = testManager();
    ASSERT_TRUE(m->registerFactory(
        profile, [](RTC::Manager* mgr) -> RTC::RTObject_impl* { return new FailingInit(mgr); },
        [](RTC::RTObject_impl* c) {
            ++deleted;
            delete c;
        }));
    EXPECT_EQ(nullptr, m->createComponent("FailingInit"));
    EXPECT_EQ(1, deleted);
    EXPECT_EQ(nullptr, m->getComponent("FailingInit0"));
}

TEST(Manager, FactoryRegistrationChecksItsInput) {
    RTC::Manager* m = testManager();
    coil::Properties empty;
    auto make = [](RTC::Manager* mgr) -> RTC::RTObject_impl* {
        return new RecordingComponent(mgr);
    };
    auto destroy = [](RTC::RTObject_impl* c) { delete c; };
    EXPECT_FALSE(m->registerFactory(empty, make, destroy));
    coil::Properties p;
    p.setProperty("implementation_id", "Twice");
    EXPECT_TRUE(m->registerFactory(p, make, destroy));
    EXPECT_FALSE(m->registerFactory(p, make, destroy));
    EXPECT_FALSE(m->registerFactory(p, nullptr, destroy));
}

TEST(Manager, ConnectsPortsByName) {
    registerRecording("Talker");
    RTC::Manager* m = testManager();
    auto* a = dynamic_cast<RecordingComponent*>(m->createComponent("Talker"));
    auto* b = dynamic_cast<RecordingComponent*>(m->createComponent("Talker"));
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(RTC::RTC_OK, m->connectPorts("Talker0.out", "Talker1.in"));
    EXPECT_NE(RTC::RTC_OK, m->connectPorts("Talker0.out", "Talker1.missing"));
    EXPECT_NE(RTC::RTC_OK, m->connectPorts("Nobody0.out", "Talker1.in"));
    EXPECT_NE(RTC::RTC_OK, m->connectPorts("no-dot", "Talker1.in"));
    a->m_out.data = "over the wire";
    a->m_outOut.write();
    ASSERT_TRUE(b->m_inIn.read());
    EXPECT_STREQ("over the wire", static_cast<const char*>(b->m_in.data));
    m->deleteComponent(b);
    // The receiver's deletion ended the connection.
    EXPECT_TRUE(a->m_outOut.getConnectorProfiles().empty());
    m->deleteComponent(a);
}

}  // namespace
