#include "sample/conversions.h"

#include <gtest/gtest.h>

#include "sample/raised_error.h"

namespace ombrix::sample {
namespace {

using component::Variant;

std::int32_t errorNumberOf(auto convert) {
    try {
        convert();
    } catch (const RaisedError& error) {
        EXPECT_EQ(error.info().source, kProgramSource);
        EXPECT_FALSE(error.info().description.empty());
        return error.info().number;
    }
    return 0;
}

TEST(CountConversion, DecimalTextWithinSixteenBitsElseTypeMismatchOrOverflow) {
    EXPECT_EQ(toInt16(Variant(u" 12 ")), 12);
    EXPECT_EQ(toInt16(Variant(u"-32768")), -32768);
    for (const char16_t* text : {u"", u"3a", u"--1", u"3.0"}) {
        SCOPED_TRACE(QString::fromUtf16(text).toStdString());
        EXPECT_EQ(errorNumberOf([&] { toInt16(Variant(text)); }), 13);
    }
    for (const char16_t* text : {u"32768", u"-32769", u"99999999999999999999999"}) {
        SCOPED_TRACE(QString::fromUtf16(text).toStdString());
        EXPECT_EQ(errorNumberOf([&] { toInt16(Variant(text)); }), 6);
    }
}

TEST(PreferenceConversion, SixteenBitsReadAsUnsigned) {
    EXPECT_EQ(toPreference(Variant(std::int16_t{-1})), 65535);
    EXPECT_EQ(toPreference(Variant(std::int16_t{-32768})), 32768);
    EXPECT_EQ(toPreference(Variant(std::int16_t{10})), 10);
    EXPECT_EQ(toPreference(Variant(std::int32_t{65535})), 65535);
    EXPECT_EQ(toPreference(Variant(u"-1")), 65535);
    EXPECT_EQ(errorNumberOf([] { toPreference(Variant(std::int32_t{65536})); }), 6);
    EXPECT_EQ(errorNumberOf([] { toPreference(Variant(std::int32_t{-32769})); }), 6);
    EXPECT_EQ(errorNumberOf([] { toPreference(Variant(u"ten")); }), 13);
}

}  // namespace
}  // namespace ombrix::sample
