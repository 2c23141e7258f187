#include "ombrix/lookup/address_reply.h"

#include <gtest/gtest.h>

#include "ombrix/lookup/query_message.h"
#include "reply.h"
#include "testing/reply_builder.h"

namespace ombrix::lookup {
namespace {

using testing::Bytes;
using testing::name;
using testing::pointerTo;
using testing::ReplyBuilder;
using testing::withResponseCode;

const WireName kHost{name("mx.example.com")};
const Bytes kIpv4{192, 0, 2, 7};
const Bytes kIpv6{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x25};

ReplyBuilder replyTo(std::uint16_t qtype) {
    return ReplyBuilder("mx.example.com", 4575, qtype);
}

TEST(AddressReply, ListsTheAddressesOfTheNameAskedAndOfTheEndOfItsAliasChain) {
    const auto direct =
        readAddressReply(replyTo(kTypeA)
                             .answer(pointerTo(12), kTypeA, kIpv4)
                             .answer(name("other.example.com"), kTypeA, {1, 2, 3, 4})
                             .bytes(),
                         kHost, kTypeA);
    EXPECT_EQ(direct.status, AddressStatus::found);
    EXPECT_EQ(direct.addresses, std::vector<std::string>{"192.0.2.7"});

    const auto aliased =
        readAddressReply(replyTo(kTypeAaaa)
                             .answer(pointerTo(12), kTypeCname, name("real.example"))
                             .answer(name("real.example"), kTypeAaaa, kIpv6)
                             .bytes(),
                         kHost, kTypeAaaa);
    EXPECT_EQ(aliased.status, AddressStatus::foundViaAlias);
    EXPECT_EQ(aliased.addresses, std::vector<std::string>{"2001:db8::25"});
}

TEST(AddressReply, TellsWhyThereIsNoAddress) {
    const auto empty = replyTo(kTypeA).bytes();
    EXPECT_EQ(readAddressReply(empty, kHost, kTypeA).status, AddressStatus::noAddress);
    EXPECT_EQ(readAddressReply(withResponseCode(empty, 3), kHost, kTypeA).status,
              AddressStatus::nxdomain);
    EXPECT_EQ(readAddressReply(withResponseCode(empty, 5), kHost, kTypeA).status,
              AddressStatus::serverFailure);

    // Four octets are no IPv6 address: the reply is refused, not half believed.
    const auto wrongLength = readAddressReply(
        replyTo(kTypeAaaa).answer(pointerTo(12), kTypeAaaa, kIpv4).bytes(), kHost, kTypeAaaa);
    EXPECT_EQ(wrongLength.status, AddressStatus::malformed);
    EXPECT_NE(wrongLength.fault->description.find("holds 4 octets (answer 1 of 1)"),
              std::string::npos);
}

TEST(AddressReply, IsAcceptedOnlyForTheTypeAsked) {
    const auto reply = replyTo(kTypeAaaa).bytes();
    EXPECT_TRUE(isReplyTo(reply, 4575, kHost, kTypeAaaa));
    EXPECT_FALSE(isReplyTo(reply, 4575, kHost, kTypeA));
    EXPECT_FALSE(isReplyTo(reply, 4575, kHost));
}

TEST(AddressReply, KnowsAnAddressWrittenAsAName) {
    EXPECT_TRUE(isAddressLiteral("192.0.2.1"));
    EXPECT_TRUE(isAddressLiteral("[192.0.2.1]"));
    EXPECT_TRUE(isAddressLiteral("2001:db8::1"));
    EXPECT_FALSE(isAddressLiteral("192.0.2.1.example"));
    EXPECT_FALSE(isAddressLiteral("[mx.example]"));
    EXPECT_FALSE(isAddressLiteral("192.0.2"));
}

}  // namespace
}  // namespace ombrix::lookup
