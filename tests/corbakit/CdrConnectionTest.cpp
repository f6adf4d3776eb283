// The receiving object of a corba_cdr connection: published in a connector
// profile, found again by the sending side however it was published, and
// answering put() with what its handler says.
#include <corbakit/CdrConnection.h>
#include <corbakit/InPortCdrReceiver.h>
#include <corbakit/NameValues.h>
#include <corbakit/TimedStringCdr.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class CdrConnection : public testing::Test {
  protected:
    void SetUp() override {
        int argc = 0;
        orb = CORBA::ORB_init(argc, nullptr);
        CORBA::Object_var obj = orb->resolve_initial_references("RootPOA");
        poa = PortableServer::POA::_narrow(obj.in());
        PortableServer::POAManager_var manager = poa->the_POAManager();
        manager->activate();
    }
    void TearDown() override {
        for (const auto& id : ids) poa->deactivate_object(id.in());
    }

    OpenRTM::InPortCdr_ptr offer(corbakit::InPortCdrReceiver::Handler handler) {
        PortableServer::Servant_var<corbakit::InPortCdrReceiver> servant =
            new corbakit::InPortCdrReceiver(std::move(handler));
        ids.emplace_back(poa->activate_object(servant.in()));
        CORBA::Object_var obj = poa->id_to_reference(ids.back().in());
        return OpenRTM::InPortCdr::_narrow(obj.in());
    }

    CORBA::ORB_var orb;
    PortableServer::POA_var poa;
    std::vector<PortableServer::ObjectId_var> ids;
};

OpenRTM::CdrData cdr(const std::vector<std::uint8_t>& bytes) {
    OpenRTM::CdrData data;
    data.length(static_cast<CORBA::ULong>(bytes.size()));
    for (CORBA::ULong i = 0; i < data.length(); ++i) data[i] = bytes[i];
    return data;
}

}  // namespace

TEST_F(CdrConnection, TheSenderFindsWhatTheReceiverPublished) {
    std::vector<std::string> received;
    OpenRTM::InPortCdr_var receiver = offer([&](const unsigned char* data, std::size_t size) {
        auto sample = corbakit::TimedStringCdr::decode(data, size, true);
        if (!sample) return OpenRTM::PORT_ERROR;
        received.push_back(sample->data);
        return OpenRTM::PORT_OK;
    });
    SDOPackage::NVList properties;
    corbakit::setString(properties, "dataport.interface_type", "corba_cdr");
    corbakit::publishInPortCdr(orb.in(), receiver.in(), properties);
    EXPECT_EQ(properties.length(), 3u);
    EXPECT_FALSE(corbakit::findString(properties, corbakit::kInPortIor).empty());

    OpenRTM::InPortCdr_var found = corbakit::publishedInPortCdr(orb.in(), properties);
    ASSERT_FALSE(CORBA::is_nil(found.in()));
    corbakit::TimedStringCdr::Sample sample;
    sample.data = "bonjour";
    EXPECT_EQ(found->put(cdr(corbakit::TimedStringCdr::encode(sample, true))), OpenRTM::PORT_OK);
    EXPECT_EQ(found->put(cdr({1, 2, 3})), OpenRTM::PORT_ERROR);
    EXPECT_EQ(received, std::vector<std::string>{"bonjour"});

    // Publishing again replaces both entries instead of adding more.
    corbakit::publishInPortCdr(orb.in(), receiver.in(), properties);
    EXPECT_EQ(properties.length(), 3u);
}

TEST_F(CdrConnection, TheTypedReferenceServesWhenTheStringDoesNot) {
    OpenRTM::InPortCdr_var receiver =
        offer([](const unsigned char*, std::size_t) { return OpenRTM::BUFFER_FULL; });
    SDOPackage::NVList properties;
    corbakit::publishInPortCdr(orb.in(), receiver.in(), properties);
    corbakit::setString(properties, corbakit::kInPortIor, "not an IOR");
    OpenRTM::InPortCdr_var found = corbakit::publishedInPortCdr(orb.in(), properties);
    ASSERT_FALSE(CORBA::is_nil(found.in()));
    EXPECT_EQ(found->put(cdr({})), OpenRTM::BUFFER_FULL);

    // Neither form: nothing is found, nothing is thrown.
    SDOPackage::NVList none;
    corbakit::setString(none, corbakit::kInPortRef, "a string, not a reference");
    OpenRTM::InPortCdr_var missing = corbakit::publishedInPortCdr(orb.in(), none);
    EXPECT_TRUE(CORBA::is_nil(missing.in()));
}

TEST_F(CdrConnection, AHandlerThatThrowsAnswersPortError) {
    OpenRTM::InPortCdr_var receiver =
        offer([](const unsigned char*, std::size_t) -> OpenRTM::PortStatus {
            throw std::runtime_error("no room");
        });
    EXPECT_EQ(receiver->put(cdr({0})), OpenRTM::PORT_ERROR);
}
