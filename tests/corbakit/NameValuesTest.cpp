// Name/value lists: string values found, replaced and appended; values of
// other types are never taken for strings.
#include <corbakit/NameValues.h>
#include <gtest/gtest.h>

TEST(NameValues, FindsReplacesAndAppendsStrings) {
    SDOPackage::NVList list;
    corbakit::appendString(list, "dataport.data_type", "IDL:RTC/TimedString:1.0");
    corbakit::setString(list, "dataport.subscription_type", "flush");
    corbakit::setString(list, "dataport.subscription_type", "new");
    ASSERT_EQ(list.length(), 2u);
    EXPECT_EQ(corbakit::findString(list, "dataport.subscription_type"), "new");
    EXPECT_EQ(corbakit::findString(list, "dataport.data_type"), "IDL:RTC/TimedString:1.0");
    EXPECT_TRUE(corbakit::hasName(list, "dataport.data_type"));
    EXPECT_FALSE(corbakit::hasName(list, "dataport"));
    EXPECT_EQ(corbakit::findString(list, "missing"), "");
    EXPECT_EQ(corbakit::findString(list, "missing", "push"), "push");
    // appendString does not replace: a list may carry a name twice, the first counts.
    corbakit::appendString(list, "dataport.data_type", "other");
    EXPECT_EQ(corbakit::findString(list, "dataport.data_type"), "IDL:RTC/TimedString:1.0");
}

TEST(NameValues, ValuesOfOtherTypesAreNotStrings) {
    SDOPackage::NVList list;
    CORBA::Any number;
    number <<= static_cast<CORBA::Long>(5);
    corbakit::setValue(list, "rate", number);
    corbakit::setValue(list, "empty", CORBA::Any());
    CORBA::Any nil;
    nil <<= CORBA::Object::_nil();
    corbakit::setValue(list, "ref", nil);
    EXPECT_EQ(corbakit::findString(list, "rate", "fallback"), "fallback");
    EXPECT_EQ(corbakit::describeValue(list[0].value), "<not a string>");
    EXPECT_EQ(corbakit::describeValue(list[1].value), "<empty>");
    EXPECT_EQ(corbakit::describeValue(list[2].value), "<object reference>");
    CORBA::Object_var none = corbakit::findObject(list, "rate");
    EXPECT_TRUE(CORBA::is_nil(none.in()));
    CORBA::Object_var missing = corbakit::findObject(list, "missing");
    EXPECT_TRUE(CORBA::is_nil(missing.in()));
    // A string value may replace a value of another type.
    corbakit::setString(list, "rate", "1000");
    EXPECT_EQ(corbakit::findString(list, "rate"), "1000");
    EXPECT_EQ(list.length(), 3u);
}
