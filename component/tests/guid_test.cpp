#include "ombrix/component/guid.h"

#include <gtest/gtest.h>

namespace {

using component::Guid;

TEST(Guid, TextFormRoundTripsWithOrWithoutBracesInAnyCase) {
    const Guid g{0x6B29FC40, 0xCA47, 0x1067, {0xB3, 0x1D, 0x00, 0xDD, 0x01, 0x06, 0x62, 0xDA}};
    EXPECT_EQ(g.toString(), "{6B29FC40-CA47-1067-B31D-00DD010662DA}");
    EXPECT_EQ(Guid::parse(g.toString()), g);
    EXPECT_EQ(Guid::parse("6b29fc40-ca47-1067-b31d-00dd010662da"), g);
}

TEST(Guid, MalformedTextIsRefused) {
    for (const char* text :
         {"", "{}", "{6B29FC40-CA47-1067-B31D-00DD010662DA",
          "6B29FC40-CA47-1067-B31D-00DD010662DA}", "{6B29FC40-CA47-1067-B31D00DD010662DA}",
          "{6B29FC40-CA47-1067-B31D-00DD010662DA0}", "{6B29FC4G-CA47-1067-B31D-00DD010662DA}",
          "{6B29FC40-CA47-1067-B31D-00DD010662D}"}) {
        EXPECT_FALSE(Guid::parse(text)) << text;
    }
}

}  // namespace
