#include "ombrix/component/text.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;
using component::toUtf16;
using component::toUtf8;

TEST(Text, ConvertsEveryPlaneBothWays) {
    const std::string utf8 = "A\u00e9\u20ac\U0001F600\0z"s;
    const std::u16string utf16 = u"A\u00e9\u20ac\U0001F600\0z"s;
    EXPECT_EQ(toUtf16(utf8), utf16);
    EXPECT_EQ(toUtf8(utf16), utf8);
}

TEST(Text, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(toUtf16("a\x80z"), u"a\uFFFDz");          // stray continuation byte
    EXPECT_EQ(toUtf16("a\xC0\xAFz"), u"a\uFFFDz");      // overlong form of '/'
    EXPECT_EQ(toUtf16("a\xE2\x82"), u"a\uFFFD");        // cut off at the end
    EXPECT_EQ(toUtf16("\xED\xA0\x80"), u"\uFFFD");      // an encoded surrogate
    EXPECT_EQ(toUtf16("\xF4\x90\x80\x80"), u"\uFFFD");  // beyond U+10FFFF
    EXPECT_EQ(toUtf8(u"a\xD800z"s), "a\uFFFDz");        // lone high surrogate
    EXPECT_EQ(toUtf8(u"\xDC00"s), "\uFFFD");            // lone low surrogate
}

TEST(Text, IdentifiersCompareIgnoringAsciiCaseOnly) {
    EXPECT_TRUE(component::equalsIgnoringCase(u"GetMXEntry", u"getmxENTRY"));
    EXPECT_FALSE(component::equalsIgnoringCase(u"GetMXEntry", u"GetMXEntr"));
    EXPECT_FALSE(component::equalsIgnoringCase(u"\u00c9", u"\u00e9"));
    EXPECT_TRUE(component::equalsIgnoringCase("Test.Counter", "test.counter"));
}

}  // namespace
