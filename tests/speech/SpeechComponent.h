// The fixture of the speech component's in-process tests: Parlune0 on the
// embedded runtime with the recording engine and the event queue the tests
// fill, a sender on "in", and, when the component has them, a sender on
// "interrupt" and a reader on "status".
#pragma once

#include "FakeEngine.h"
#include "FakeEvents.h"
#include "SpeechManager.h"

#include <gtest/gtest.h>
#include <rtm/InPort.h>
#include <rtm/OutPort.h>
#include <rtm/PeriodicExecutionContext.h>

#include "rtm/LocalConnection.h"

#include <cstdint>
#include <string>
#include <vector>

class SpeechComponent : public ::testing::Test {
  protected:
    void TearDown() override {
        if (comp) speechManager()->deleteComponent(comp);
        fake_engine::reset();
        fake_events::reset();
    }
    // Creates Parlune0 at 50 Hz with the creation arguments `args` ("&key=value"...).
    void create(const std::string& args) {
        fake_engine::reset();
        fake_events::reset();
        comp =
            speechManager()->createComponent(("Parlune?exec_cxt.periodic.rate=50" + args).c_str());
        ASSERT_NE(nullptr, comp);
        ec = comp->getOwnedExecutionContext();
        auto* in = dynamic_cast<RTC::InPortBase*>(comp->findPort("in"));
        ASSERT_NE(nullptr, in);
        ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(out, *in));
        if (auto* urgent = dynamic_cast<RTC::InPortBase*>(comp->findPort("interrupt"))) {
            ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(urgentOut, *urgent));
        }
        status = dynamic_cast<RTC::OutPortBase*>(comp->findPort("status"));
        if (status != nullptr) {
            ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(*status, reader));
        }
    }
    // Writes `text` stamped sec.nsec to "in", or to "interrupt" with urgent().
    void send(const char* text, std::uint32_t sec, std::uint32_t nsec = 0) {
        write(out, value, text, sec, nsec);
    }
    void urgent(const char* text, std::uint32_t sec) {
        write(urgentOut, urgentValue, text, sec, 0);
    }
    std::vector<std::string> portNames() const {
        std::vector<std::string> names;
        for (RTC::PortBase* p : comp->getPorts()) names.push_back(p->getShortName());
        return names;
    }

    RTC::RTObject_impl* comp = nullptr;
    RTC::PeriodicExecutionContext* ec = nullptr;
    RTC::OutPortBase* status = nullptr;
    RTC::TimedString value, urgentValue, got;
    RTC::OutPort<RTC::TimedString> out{"out", value};
    RTC::OutPort<RTC::TimedString> urgentOut{"urgent", urgentValue};
    RTC::InPort<RTC::TimedString> reader{"reader", got, 1024};
    std::vector<std::string> seen;

  private:
    static void write(RTC::OutPort<RTC::TimedString>& port, RTC::TimedString& v, const char* text,
                      std::uint32_t sec, std::uint32_t nsec) {
        v.tm.sec = sec;
        v.tm.nsec = nsec;
        v.data = text;
        port.write();
    }
};
