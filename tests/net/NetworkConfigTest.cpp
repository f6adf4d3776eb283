// The framework's network keys as the ORB sees them: listeners, name
// servers, quoted ORB options, TLS and the default limits.
#include <coil/Properties.h>
#include <corbakit/EndpointList.h>
#include <gtest/gtest.h>

#include <omniORB4/CORBA.h>

#include <algorithm>
#include <fstream>

#include "IorAddresses.h"
#include "NameServerAddress.h"
#include "OrbOptions.h"
#include "OrbStart.h"
#include "QuotedWords.h"
#include "support/TempDir.h"

using corbakit::EndpointList;
using namespace RTC::corba;

namespace {

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::string why;
    EXPECT_TRUE(splitQuotedWords(text, out, why)) << text << ": " << why;
    return out;
}

// The value following `option` in args, "" when absent (last one wins, as in the ORB).
std::string optionValue(const std::vector<std::string>& args, const std::string& option) {
    std::string value;
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == option) value = args[i + 1];
    }
    return value;
}

std::vector<std::string> optionValues(const std::vector<std::string>& args,
                                      const std::string& option) {
    std::vector<std::string> values;
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == option) values.push_back(args[i + 1]);
    }
    return values;
}

coil::Properties config(const std::vector<std::pair<std::string, std::string>>& keys) {
    coil::Properties p;
    for (const auto& kv : keys) p.setProperty(kv.first, kv.second);
    return p;
}

}  // namespace

TEST(EndpointList, EveryFormTheFrameworkAcceptsAndWhatItRefuses) {
    EndpointList list;
    list.add(" 10.1.2.3 , robot-a.local:2810, :4000,giop:ssl::, giop:tcp:10.1.2.3:, all,");
    EXPECT_TRUE(list.errors().empty());
    EXPECT_EQ((std::vector<std::string>{"giop:tcp:10.1.2.3:", "giop:tcp:robot-a.local:2810",
                                        "giop:tcp::4000", "giop:ssl::", "giop:tcp::"}),
              list.endpoints());
    EXPECT_TRUE(list.tls());
    EXPECT_FALSE(list.loopbackOnly());
    // "all" publishes every address, not only the first one.
    EXPECT_EQ("all(addr)", optionValue(list.orbArgs(), "-ORBendPointPublish"));

    EndpointList bad;
    bad.add("10.0.0.1:99999,host name,10.0.0.1:12ab,giop:udp:x:1,::,a:b:c,-x");
    EXPECT_EQ(7u, bad.errors().size());
    EXPECT_TRUE(bad.empty());

    EndpointList local;
    local.add("127.0.0.1,localhost:3000,ALL");
    EXPECT_FALSE(local.loopbackOnly());
    EndpointList loop;
    loop.add("127.0.0.1, localhost:3000, giop:unix:/tmp/x");
    EXPECT_TRUE(loop.loopbackOnly());
    EXPECT_FALSE(loop.tls());
    EXPECT_EQ("", optionValue(loop.orbArgs(), "-ORBendPointPublish"));
}

TEST(NameServerAddress, PlainHostsPortsAndCorbalocForms) {
    std::vector<std::string> errors;
    std::vector<NameServerAddress> servers = NameServerAddress::parseList(
        "10.0.0.1, nshost:2810, corbaloc:iiop:10.0.0.2:2900/NameService, "
        "corbaloc::1.2@10.0.0.3, corbaloc:ssliop:10.0.0.4:2809, 10.0.0.1:2809",
        errors);
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(5u, servers.size());  // the duplicate of the first is dropped
    EXPECT_EQ("corbaloc:iiop:10.0.0.1:2809/NameService", servers[0].url());
    EXPECT_EQ("corbaloc:iiop:nshost:2810/NameService", servers[1].url());
    EXPECT_EQ("10.0.0.2:2900", servers[2].hostPort());
    EXPECT_EQ("10.0.0.3:2809", servers[3].hostPort());
    EXPECT_TRUE(servers[4].tls);
    EXPECT_EQ("corbaloc:ssliop:10.0.0.4:2809/NameService", servers[4].url());
    EXPECT_FALSE(servers[0].loopback());

    errors.clear();
    servers = NameServerAddress::parseList(
        "localhost, 127.0.0.1:0, host:70000, corbaloc:http:x:1, 10.0.0.1:2809/Other, a b", errors);
    ASSERT_EQ(1u, servers.size());
    EXPECT_TRUE(servers[0].loopback());
    EXPECT_EQ(5u, errors.size());
}

TEST(QuotedWords, QuotesKeepBlanksAndBrokenQuotesAreRefused) {
    EXPECT_EQ((std::vector<std::string>{"-ORBserverTransportRule", "10.0.0.0/255.0.0.0 tcp,ssl",
                                        "-ORBtraceLevel", "5"}),
              words("  -ORBserverTransportRule \"10.0.0.0/255.0.0.0 tcp,ssl\"\t-ORBtraceLevel 5 "));
    EXPECT_EQ((std::vector<std::string>{"a b", "it's", "x\"y", "", "joined"}),
              words("'a b' it\\'s 'x\"y' \"\" jo\"in\"ed"));
    EXPECT_TRUE(words("").empty());

    std::vector<std::string> out = {"kept?"};
    std::string why;
    EXPECT_FALSE(splitQuotedWords("-ORBserverTransportRule \"* ssl", out, why));
    EXPECT_NE(std::string::npos, why.find("not closed"));
    EXPECT_EQ(std::vector<std::string>{"kept?"}, out);  // untouched on failure
    EXPECT_FALSE(splitQuotedWords("trailing \\", out, why));
}

TEST(OrbOptions, DefaultsAreLoopbackAndBoundedAndCorbaArgsOverrideThem) {
    OrbOptions defaults(config({}));
    EXPECT_TRUE(defaults.errors().empty());
    EXPECT_FALSE(defaults.tls());
    EXPECT_EQ(std::vector<std::string>{"giop:tcp:127.0.0.1:"},
              optionValues(defaults.args(), "-ORBendPoint"));
    EXPECT_EQ("64", optionValue(defaults.args(), "-ORBthreadPerConnectionUpperLimit"));
    EXPECT_EQ("32", optionValue(defaults.args(), "-ORBmaxServerThreadPoolSize"));
    EXPECT_EQ("5000", optionValue(defaults.args(), "-ORBserverCallTimeOutPeriod"));

    OrbOptions tuned(
        config({{"corba.args",
                 "-ORBmaxServerThreadPoolSize 100 -ORBserverTransportRule "
                 "\"127.0.0.1/255.255.255.255 tcp\" -ORBserverTransportRule '* none'"}}));
    EXPECT_TRUE(tuned.errors().empty());
    EXPECT_EQ("100", optionValue(tuned.args(), "-ORBmaxServerThreadPoolSize"));
    EXPECT_EQ((std::vector<std::string>{"127.0.0.1/255.255.255.255 tcp", "* none"}),
              optionValues(tuned.args(), "-ORBserverTransportRule"));

    // A listener given in corba.args replaces the loopback default.
    OrbOptions own(config({{"corba.args", "-ORBendPoint giop:tcp:10.0.0.1:"}}));
    EXPECT_EQ(std::vector<std::string>{"giop:tcp:10.0.0.1:"},
              optionValues(own.args(), "-ORBendPoint"));

    OrbOptions broken(config({{"corba.args", "-ORBtraceLevel '5"},
                              {"corba.endpoints", "10.0.0.1:x"},
                              {"corba.nameservers", "bad host"}}));
    EXPECT_EQ(3u, broken.errors().size());
}

TEST(OrbOptions, BothEndpointKeysAndAlternateAddresses) {
    OrbOptions both(config({{"corba.endpoints", "10.0.0.1:2810"}, {"corba.endpoint", "10.0.0.2"}}));
    EXPECT_EQ((std::vector<std::string>{"giop:tcp:10.0.0.1:2810", "giop:tcp:10.0.0.2:"}),
              optionValues(both.args(), "-ORBendPoint"));
    OrbOptions older(config({{"corba.endpoint", "10.0.0.2:2811"}}));
    EXPECT_EQ(std::vector<std::string>{"giop:tcp:10.0.0.2:2811"},
              optionValues(older.args(), "-ORBendPoint"));

    OrbOptions alt(
        config({{"corba.endpoints", "all"},
                {"corba.alternate_iiop_addresses", "203.0.113.5:2810, gw.example:4000"}}));
    EXPECT_TRUE(alt.errors().empty());
    EXPECT_EQ("all(addr),giop:tcp:203.0.113.5:2810,giop:tcp:gw.example:4000",
              optionValue(alt.args(), "-ORBendPointPublish"));
    OrbOptions altbad(config({{"corba.alternate_iiop_addresses", "203.0.113.5, x:y"}}));
    EXPECT_EQ(2u, altbad.errors().size());
}

TEST(OrbOptions, ReplaceEndpointListensOnTheAddressTowardTheNameServer) {
    EXPECT_EQ("127.0.0.1", OrbOptions::sourceAddressToward("127.0.0.1"));
    EXPECT_EQ("", OrbOptions::sourceAddressToward("no-such-host.invalid"));
    // A loopback name server needs nothing else; an explicit listener is kept.
    OrbOptions local(config(
        {{"corba.nameservers", "127.0.0.1:2809"}, {"corba.nameservice.replace_endpoint", "YES"}}));
    EXPECT_EQ(std::vector<std::string>{"giop:tcp:127.0.0.1:"},
              optionValues(local.args(), "-ORBendPoint"));
    OrbOptions kept(config({{"corba.nameservers", "127.0.0.1:2809"},
                            {"corba.endpoints", "10.0.0.1"},
                            {"corba.nameservice.replace_endpoint", "YES"}}));
    EXPECT_EQ(std::vector<std::string>{"giop:tcp:10.0.0.1:"},
              optionValues(kept.args(), "-ORBendPoint"));
}

TEST(OrbOptions, TlsIsAskedForByAnyOfTheFrameworksWaysAndNeedsItsFiles) {
    testsupport::TempDir tmp;
    const std::string& dir = tmp.path();
    const std::string ca = dir + "/ca.crt", key = dir + "/host.pem";
    std::ofstream(ca) << "x";
    std::ofstream(key) << "x";
    const std::vector<std::vector<std::pair<std::string, std::string>>> ways = {
        {{"manager.preload.modules", "SSLTransport.so"}},
        {{"manager.modules.preload", "Other.so, /opt/lib/SSLTransport.so"}},
        {{"corba.endpoints", "giop:ssl::"}},
        {{"corba.nameservers", "corbaloc:ssliop:10.0.0.1:2809"}},
        {{"corba.args", "-ORBserverTransportRule \"* ssl\""}},
    };
    for (auto keys : ways) {
        OrbOptions without(config(keys));
        EXPECT_TRUE(without.tls()) << keys[0].first;
        ASSERT_EQ(1u, without.errors().size()) << keys[0].first;
        EXPECT_NE(std::string::npos,
                  without.errors()[0].find("corba.ssl.certificate_authority_file"));
        keys.push_back({"corba.ssl.certificate_authority_file", ca});
        keys.push_back({"corba.ssl.key_file", key});
        OrbOptions with(config(keys));
        EXPECT_TRUE(with.errors().empty()) << keys[0].first;
        EXPECT_EQ(ca, optionValue(with.args(), "-ORBsslCAFile"));
        EXPECT_EQ(key, optionValue(with.args(), "-ORBsslKeyFile"));
        EXPECT_FALSE(optionValue(with.args(), "-ORBsslKeyPassword").empty());
    }
    OrbOptions missing(config({{"corba.ssl.certificate_authority_file", dir + "/nope.crt"},
                               {"corba.ssl.key_file", key},
                               {"corba.ssl.key_file_password", "pw"}}));
    ASSERT_EQ(1u, missing.errors().size());
    EXPECT_NE(std::string::npos, missing.errors()[0].find("nope.crt"));
    OrbOptions plain(config({{"manager.modules.preload", "Speech.so"}}));
    EXPECT_FALSE(plain.tls());
    EXPECT_TRUE(OrbOptions::isTlsModule(" SSLTransport.so(SSLTransportInit) "));
    EXPECT_FALSE(OrbOptions::isTlsModule("NotSSLTransport.so"));
}

TEST(OrbStart, PublishedAddressesAndTheUnreachableWarning) {
    // The references of a real ORB, decoded as a peer would.
    int argc = 5;
    char a0[] = "test", a1[] = "-ORBendPoint",
         a2[] = "giop:tcp:127.0.0.1:", a3[] = "-ORBendPointPublish",
         a4[] = "addr,giop:tcp:192.0.2.77:4321";
    char* argv[] = {a0, a1, a2, a3, a4, nullptr};
    CORBA::ORB_var orb = CORBA::ORB_init(argc, argv);
    std::vector<std::string> addresses;
    {
        // Every reference is released before the ORB is destroyed.
        CORBA::Object_var obj = orb->resolve_initial_references("RootPOA");
        PortableServer::POA_var poa = PortableServer::POA::_narrow(obj.in());
        PortableServer::POAManager_var manager = poa->the_POAManager();
        manager->activate();
        addresses = OrbStart::publishedAddresses(orb.in(), poa.in());
    }
    orb->destroy();
    ASSERT_EQ(2u, addresses.size());
    EXPECT_EQ(0u, addresses[0].find("127.0.0.1:"));
    EXPECT_EQ("192.0.2.77:4321", addresses[1]);

    std::vector<std::string> errors;
    const auto remote = NameServerAddress::parseList("127.0.0.1, 10.0.0.9:2809", errors);
    const auto local = NameServerAddress::parseList("localhost:2810", errors);
    const std::string warning = OrbStart::unreachableWarning({"127.0.0.1:4000"}, remote);
    EXPECT_NE(std::string::npos, warning.find("10.0.0.9:2809"));
    EXPECT_NE(std::string::npos, warning.find("corba.endpoints"));
    EXPECT_EQ("", OrbStart::unreachableWarning({"127.0.0.1:4000"}, local));
    EXPECT_EQ("", OrbStart::unreachableWarning({"127.0.0.1:4000", "10.0.0.2:4000"}, remote));

    EXPECT_TRUE(iorAddresses("IOR:00zz").empty());
    EXPECT_TRUE(iorAddresses("not a reference").empty());
    EXPECT_TRUE(iorAddresses("IOR:0000000000000001").empty());
}
