// What the framework's tools read from a component's SDO side and its
// context, asked over the wire of a running process: configuration sets
// (with and without parameters), service profiles, the context's profile.
#include <gtest/gtest.h>
#include <omniORB4/CORBA.h>
#include <signal.h>
#include <unistd.h>

#include <string>

#include "E2e.h"
#include "RTC.hh"
#include "SDOPackage.hh"

using namespace e2e;

namespace {

CORBA::ORB_ptr orb() {
    static CORBA::ORB_ptr o = [] {
        int argc = 1;
        static char name[] = "sdo";
        char* argv[] = {name, nullptr};
        return CORBA::ORB_init(argc, argv);
    }();
    return o;
}

RTC::RTObject_ptr component(const std::string& name) {
    char host[256] = {0};
    gethostname(host, sizeof host - 1);
    const std::string url = "corbaname::" + naming() + "#" + host + ".host_cxt/" + name + ".rtc";
    CORBA::Object_var obj = orb()->string_to_object(url.c_str());
    return RTC::RTObject::_narrow(obj.in());
}

// The string value of name; "<missing>" or "<not a string>" otherwise.
std::string valueOf(const SDOPackage::NVList& list, const std::string& name) {
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        if (name != static_cast<const char*>(list[i].name)) continue;
        const char* text = nullptr;
        return (list[i].value >>= text) ? std::string(text) : "<not a string>";
    }
    return "<missing>";
}

// A running process with ParluneTest0 (no parameter) and one with Parlune0 ("speed").
class Sdo : public ::testing::Test {
  protected:
    void SetUp() override {
        window = launch(WINDOW_LAUNCHER, dir, wav.path());
        speech = launch(SPEECH_LAUNCHER, dir, wav.path());
        ASSERT_TRUE(waitRegistered(dir, "ParluneTest0"));
        ASSERT_TRUE(waitRegistered(dir, "Parlune0"));
    }
    void TearDown() override {
        for (auto* p : {&window, &speech}) {
            if (!*p) continue;
            (*p)->signal(SIGINT);
            EXPECT_TRUE((*p)->wait());
        }
    }

    TempDir dir, wav;
    std::unique_ptr<Process> window, speech;
};

TEST_F(Sdo, EveryComponentHasAnActiveDefaultSet) {
    RTC::RTObject_var plain = component("ParluneTest0");
    SDOPackage::Configuration_var config = plain->get_configuration();

    SDOPackage::ConfigurationSet_var active = config->get_active_configuration_set();
    EXPECT_STREQ("default", active->id);
    EXPECT_EQ(0u, active->configuration_data.length());
    SDOPackage::ConfigurationSet_var byName = config->get_configuration_set("default");
    EXPECT_EQ(0u, byName->configuration_data.length());
    SDOPackage::ConfigurationSetList_var sets = config->get_configuration_sets();
    ASSERT_EQ(1u, sets->length());
    EXPECT_STREQ("default", sets[0].id);
    EXPECT_THROW(config->get_configuration_set("nosuchset"), SDOPackage::InternalError);
    EXPECT_TRUE(config->activate_configuration_set("default"));
    EXPECT_THROW(config->remove_configuration_set("default"), SDOPackage::InvalidParameter);
    // The empty set is published as the framework's components publish it.
    RTC::ComponentProfile_var profile = plain->get_component_profile();
    EXPECT_EQ("", valueOf(profile->properties, "conf.default"));

    // A set saved from one component can be given to it again (as rtcryo and
    // rtresurrect do), and the tool's conf verb lists the empty set.
    SDOPackage::ConfigurationSet extra;
    extra.id = "extra";
    extra.description = "";
    extra.configuration_data.length(0);
    EXPECT_TRUE(config->add_configuration_set(extra));
    sets = config->get_configuration_sets();
    EXPECT_EQ(2u, sets->length());
    EXPECT_TRUE(config->remove_configuration_set("extra"));
    ToolResult listed = rtctl(dir, {"conf", "ParluneTest0"});
    EXPECT_TRUE(listed.ok) << listed.err;
    EXPECT_EQ("", listed.out);
    ToolResult missing = rtctl(dir, {"conf", "ParluneTest0", "get", "speed"});
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(std::string::npos, missing.err.find("no parameter 'speed'")) << missing.err;

    // A component with a parameter: the same set, holding it.
    RTC::RTObject_var speaking = component("Parlune0");
    SDOPackage::Configuration_var speechConfig = speaking->get_configuration();
    SDOPackage::ConfigurationSet_var speechSet = speechConfig->get_active_configuration_set();
    EXPECT_STREQ("default", speechSet->id);
    EXPECT_EQ("100", valueOf(speechSet->configuration_data, "speed"));
    RTC::ComponentProfile_var speechProfile = speaking->get_component_profile();
    EXPECT_EQ("100", valueOf(speechProfile->properties, "conf.default.speed"));
    EXPECT_EQ("<missing>", valueOf(speechProfile->properties, "conf.default"));
}

TEST_F(Sdo, ServiceProfilesAreDeclinedNotUnimplemented) {
    RTC::RTObject_var rtc = component("Parlune0");
    SDOPackage::Configuration_var config = rtc->get_configuration();
    SDOPackage::ServiceProfile profile;
    profile.id = "observer-1";
    profile.interface_type = "IDL:OpenRTM/ComponentObserver:1.0";
    profile.service = SDOPackage::SDOService::_nil();
    EXPECT_FALSE(config->add_service_profile(profile));
    EXPECT_FALSE(config->remove_service_profile("observer-1"));
    EXPECT_FALSE(config->remove_service_profile(""));
    EXPECT_EQ(0u, SDOPackage::ServiceProfileList_var(rtc->get_service_profiles())->length());
    // The component answers as before.
    EXPECT_TRUE(rtc->is_alive(RTC::ExecutionContext::_nil()));
}

TEST_F(Sdo, TheContextProfileCarriesItsKindAndRate) {
    RTC::RTObject_var rtc = component("Parlune0");
    RTC::ExecutionContextList_var contexts = rtc->get_owned_contexts();
    ASSERT_EQ(1u, contexts->length());
    RTC::ExecutionContextService_var ec = RTC::ExecutionContextService::_narrow(contexts[0]);
    ASSERT_FALSE(CORBA::is_nil(ec.in()));

    RTC::ExecutionContextProfile_var p = ec->get_profile();
    EXPECT_EQ(RTC::PERIODIC, p->kind);
    EXPECT_EQ("PeriodicExecutionContext", valueOf(p->properties, "type"));
    EXPECT_DOUBLE_EQ(p->rate, std::stod(valueOf(p->properties, "rate")));

    ASSERT_EQ(RTC::RTC_OK, ec->set_rate(50.0));
    p = ec->get_profile();
    EXPECT_DOUBLE_EQ(50.0, p->rate);
    EXPECT_EQ("50", valueOf(p->properties, "rate"));
    // A refused rate changes nothing.
    EXPECT_EQ(RTC::BAD_PARAMETER, ec->set_rate(0.0));
    EXPECT_EQ(RTC::BAD_PARAMETER, ec->set_rate(-5.0));
    p = ec->get_profile();
    EXPECT_EQ("50", valueOf(p->properties, "rate"));
}

}  // namespace
