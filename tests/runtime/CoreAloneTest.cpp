// The runtime's core linked without its network layer: the manager starts
// no network, its components and local connections work as in the full
// runtime, and what only the network could do fails with an error.
#include "RecordingComponent.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CoreAlone, ComponentsConnectAndDeliverInsideTheProcess) {
    RTC::Manager* m = testManager();
    registerRecording("Local");
    RecordingComponent* comps[2] = {nullptr, nullptr};
    for (RecordingComponent*& c : comps) {
        c = dynamic_cast<RecordingComponent*>(m->createComponent("Local"));
        ASSERT_NE(nullptr, c);
    }
    RecordingComponent& sender = *comps[0];
    RecordingComponent& receiver = *comps[1];
    ASSERT_EQ(RTC::RTC_OK, m->connectPorts("Local0.out", "Local1.in"));
    ASSERT_EQ(RTC::RTC_OK, receiver.ec().activate_component());
    EXPECT_TRUE(receiver.waitFor("onExecute", 1));
    sender.m_out.data = "stays in the process";
    EXPECT_TRUE(sender.m_outOut.write());
    ASSERT_TRUE(receiver.m_inIn.read());
    EXPECT_STREQ("stays in the process", static_cast<const char*>(receiver.m_in.data));
    for (RecordingComponent* c : comps) m->deleteComponent(c);
    EXPECT_EQ(nullptr, m->getComponent("Local0"));
}

TEST(CoreAlone, WhatNeedsTheNetworkFailsWithAnError) {
    registerRecording("Lonely");
    RTC::Manager* m = testManager();
    auto* a = dynamic_cast<RecordingComponent*>(m->createComponent("Lonely"));
    ASSERT_NE(nullptr, a);
    // A port in another process cannot be reached, by path or by name.
    EXPECT_EQ(RTC::RTC_ERROR,
              m->connectPorts("Lonely0.out", "rtcname://127.0.0.1:2809/Far0.rtc.in"));
    EXPECT_EQ(RTC::BAD_PARAMETER, m->connectPorts("Lonely0.out", "Elsewhere0.in"));
    EXPECT_TRUE(a->m_outOut.getConnectors().empty());
    // Numbering policies that ask the name servers still number locally.
    m->getConfig().setProperty("manager.components.naming_policy", "ns_unique");
    RTC::RTObject_impl* b = m->createComponent("Lonely");
    m->getConfig().setProperty("manager.components.naming_policy", "");
    ASSERT_NE(nullptr, b);
    EXPECT_STREQ("Lonely1", b->getInstanceName());
    m->deleteComponent(b);
    m->deleteComponent(a);
}

}  // namespace
