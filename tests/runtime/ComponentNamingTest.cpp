// How the manager names a new component and what it starts with: numbering
// that skips names taken in the naming services, and the properties built
// from the factory's profile, the creation arguments and the component's own
// configuration (files and the manager's prefixed keys).
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <set>
#include <string>
#include <vector>

#include "rtm/ComponentProperties.h"
#include "rtm/ComponentRegistry.h"
#include "support/TempDir.h"

namespace {

TEST(ComponentNaming, NumberedNamesSkipNamesTakenElsewhereAskedWithoutTheLock) {
    RTC::ComponentRegistry registry;
    const std::set<std::string> elsewhere = {"Echo0", "Echo1", "Echo3"};
    std::vector<std::string> asked;
    std::vector<std::future<std::size_t>> callers;
    auto in_use = [&](const std::string& name) {
        asked.push_back(name);
        // Another manager call meanwhile must not wait for the naming services.
        callers.push_back(
            std::async(std::launch::async, [&] { return registry.components().size(); }));
        EXPECT_EQ(std::future_status::ready, callers.back().wait_for(std::chrono::seconds(5)))
            << "the registry was locked while " << name << " was looked up";
        return elsewhere.count(name) > 0;
    };

    EXPECT_EQ("Echo2", registry.reserveName("Echo", "", in_use));
    EXPECT_EQ((std::vector<std::string>{"Echo0", "Echo1", "Echo2"}), asked);
    // Echo2 is reserved here, Echo3 is taken elsewhere.
    EXPECT_EQ("Echo4", registry.reserveName("Echo", "", in_use));
    // Without a policy only the names of this process count.
    EXPECT_EQ("Echo0", registry.reserveName("Echo", ""));
    // A name asked for is the caller's choice: kept, never looked up, refused
    // when taken here.
    asked.clear();
    EXPECT_EQ("Echo1", registry.reserveName("Echo", "Echo1", in_use));
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ("", registry.reserveName("Echo", "Echo4", in_use));
    EXPECT_EQ("", registry.reserveName("Echo", "Echo4"));

    for (const char* name : {"Echo0", "Echo1", "Echo2", "Echo4"}) registry.releaseName(name);
    EXPECT_EQ("Echo0", registry.reserveName("Echo", ""));
    registry.releaseName("Echo0");
    // Every reservation was given up: closing does not wait.
    EXPECT_TRUE(registry.close().empty());
    EXPECT_EQ("", registry.reserveName("Echo", ""));
}

TEST(ComponentNaming, PropertiesAreProfileThenArgumentsThenTheComponentsOwnFile) {
    testsupport::TempDir dir;
    ASSERT_TRUE(dir.write("voice.conf", "conf.default.speed: 140\nexec_cxt.periodic.rate: 50\n"));
    coil::Properties profile;
    profile.setProperty("category", "Speech");
    profile.setProperty("type_name", "Voice");
    profile.setProperty("conf.default.speed", "100");
    profile.setProperty("conf.default.pitch", "50");
    profile.setProperty("exec_cxt.periodic.rate", "10");
    coil::Properties config;
    // The instance's own file cannot be read: the type's file is used.
    config.setProperty("Speech.v.config_file", dir.file("missing.conf"));
    config.setProperty("Speech.Voice.config_file", dir.file("voice.conf"));

    RTC::ComponentProperties full(
        " RTC:Vendor:Speech:Voice:C++:1.0?conf.default.speed=120&conf.default.pitch=60"
        "&instance_name=v&flag&&=orphan ");
    EXPECT_EQ("Voice", full.type());
    EXPECT_EQ("v", full.requestedName());
    const coil::Properties props = full.assemble(profile, "v", config);
    EXPECT_EQ("v", props.getProperty("instance_name"));
    EXPECT_EQ("140", props.getProperty("conf.default.speed"));  // the file wins
    EXPECT_EQ("60", props.getProperty("conf.default.pitch"));   // then the arguments
    EXPECT_EQ("Speech", props.getProperty("category"));         // then the profile
    EXPECT_EQ("", props.getProperty("flag"));
    EXPECT_EQ("10", full.profileRate(profile));
    EXPECT_EQ("50", full.fileRate());

    // Plain type, a rate argument, no file configured for this instance.
    RTC::ComponentProperties plain("Voice?exec_cxt.periodic.rate=25");
    EXPECT_EQ("Voice", plain.type());
    EXPECT_EQ("", plain.requestedName());
    const coil::Properties p2 = plain.assemble(profile, "Voice3", coil::Properties());
    EXPECT_EQ("Voice3", p2.getProperty("instance_name"));
    EXPECT_EQ("100", p2.getProperty("conf.default.speed"));
    EXPECT_EQ("25", plain.profileRate(profile));
    EXPECT_EQ("", plain.fileRate());
}

// As the framework merges them: the type's file, the type's keys in the
// manager's configuration, the instance's file, the instance's keys, each
// over the one before; "config_file" lists the files read.
TEST(ComponentNaming, TypeThenInstanceEachFileThenTheManagersKeys) {
    testsupport::TempDir dir;
    ASSERT_TRUE(dir.write("type.conf",
                          "a: type-file\nb: type-file\nc: type-file\n"
                          "d: type-file\nexec_cxt.periodic.rate: 50\n"));
    ASSERT_TRUE(dir.write("inst.conf", "c: inst-file\nd: inst-file\n"));
    coil::Properties profile;
    profile.setProperty("category", "Etc");
    profile.setProperty("a", "profile");
    profile.setProperty("z", "profile");
    coil::Properties config;
    config.setProperty("Etc.Voice.config_file", dir.file("type.conf"));
    config.setProperty("Etc.Voice.b", "type-key");
    config.setProperty("Etc.Voice.status.enable", "YES");
    config.setProperty("Etc.Voice0.config_file", dir.file("inst.conf"));
    config.setProperty("Etc.Voice0.d", "inst-key");
    config.setProperty("Etc.Other.a", "someone else's");
    config.setProperty("Other.Voice.a", "another category's");

    RTC::ComponentProperties request("Voice?z=argument");
    const coil::Properties props = request.assemble(profile, "Voice0", config);
    EXPECT_EQ("type-file", props.getProperty("a"));
    EXPECT_EQ("type-key", props.getProperty("b"));
    EXPECT_EQ("inst-file", props.getProperty("c"));
    EXPECT_EQ("inst-key", props.getProperty("d"));
    EXPECT_EQ("YES", props.getProperty("status.enable"));
    EXPECT_EQ("argument", props.getProperty("z"));
    EXPECT_EQ(dir.file("type.conf") + ", " + dir.file("inst.conf"),
              props.getProperty("config_file"));
    EXPECT_EQ("50", request.fileRate());

    // Keys alone, from rtc.conf or -o, without any file; a missing file is
    // left out of the list.
    coil::Properties keys;
    keys.setProperty("Etc.Voice.status.enable", "yes");
    keys.setProperty("Etc.Voice0.config_file", dir.file("missing.conf"));
    keys.setProperty("Etc.Voice0.exec_cxt.periodic.rate", "25");
    RTC::ComponentProperties bare("Voice");
    const coil::Properties p2 = bare.assemble(profile, "Voice0", keys);
    EXPECT_EQ("yes", p2.getProperty("status.enable"));
    EXPECT_EQ("profile", p2.getProperty("a"));
    EXPECT_EQ("", p2.getProperty("config_file"));
    EXPECT_EQ("25", bare.fileRate());
}

}  // namespace
