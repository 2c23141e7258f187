#include "host_conversions.h"

#include <gtest/gtest.h>

#include "ombrix/widgets/control_error.h"

namespace ombrix {
namespace {

using component::Variant;

constexpr char kHost[] = "TestHost";

std::int32_t errorNumberOf(auto convert) {
    try {
        convert();
    } catch (const ControlError& error) {
        EXPECT_EQ(error.source(), kHost);
        EXPECT_FALSE(error.description().empty());
        return error.number();
    }
    return 0;
}

TEST(CountConversion, DecimalTextWithinSixteenBitsElseTypeMismatchOrOverflow) {
    EXPECT_EQ(toInt16(Variant(u" 12 "), kHost), 12);
    EXPECT_EQ(toInt16(Variant(u"-32768"), kHost), -32768);
    for (const char16_t* text : {u"", u"3a", u"--1", u"3.0"}) {
        EXPECT_EQ(errorNumberOf([&] { toInt16(Variant(text), kHost); }), 13);
    }
    for (const char16_t* text : {u"32768", u"-32769", u"99999999999999999999999"}) {
        EXPECT_EQ(errorNumberOf([&] { toInt16(Variant(text), kHost); }), 6);
    }
}

TEST(PreferenceConversion, SixteenBitsReadAsUnsigned) {
    EXPECT_EQ(toPreference(Variant(std::int16_t{-1}), kHost), 65535);
    EXPECT_EQ(toPreference(Variant(std::int16_t{-32768}), kHost), 32768);
    EXPECT_EQ(toPreference(Variant(std::int16_t{10}), kHost), 10);
    EXPECT_EQ(toPreference(Variant(std::int32_t{65535}), kHost), 65535);
    EXPECT_EQ(toPreference(Variant(u"-1"), kHost), 65535);
    EXPECT_EQ(errorNumberOf([] { toPreference(Variant(std::int32_t{65536}), kHost); }), 6);
    EXPECT_EQ(errorNumberOf([] { toPreference(Variant(std::int32_t{-32769}), kHost); }), 6);
    EXPECT_EQ(errorNumberOf([] { toPreference(Variant(u"ten"), kHost); }), 13);
}

TEST(TextConversion, NumbersBecomeDecimalAndTextStaysUtf8) {
    EXPECT_EQ(toText(Variant(std::int16_t{-5}), kHost), "-5");
    EXPECT_EQ(toText(Variant(u"b\u00FCcher"), kHost), "b\xC3\xBC" "cher");
}

}  // namespace
}  // namespace ombrix
