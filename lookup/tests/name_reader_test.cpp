#include "lookup/src/name_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/reply_builder.h"
#include "ombrix/lookup/presentation.h"
#include "presentation_buffer.h"

namespace ombrix::lookup {
namespace {

using testing::Bytes;

constexpr auto kMalformed = Fault::Kind::malformed;
constexpr auto kCutShort = Fault::Kind::cutShort;

// The cursor fenced at limit (the message's end by default), at offset.
ByteReader cursorAt(const Bytes& message, std::size_t offset, std::size_t limit) {
    ByteReader whole(message);
    whole.skip(offset);
    return limit == SIZE_MAX ? whole : *whole.take(limit - offset);
}

struct Read {
    Checked status;
    WireName name;
    std::size_t endOffset;
};

Read readAt(const Bytes& message, std::size_t offset, std::size_t limit = SIZE_MAX) {
    ByteReader reader = cursorAt(message, offset, limit);
    WireNameBuilder builder;
    Checked status = readName(reader, builder);
    return {std::move(status), std::move(builder.name()), reader.offset()};
}

std::string text(const Read& read) {
    EXPECT_TRUE(read.status) << describe(read.status.error()).description;
    return read.status ? toPresentation(read.name) : "<error>";
}

void expectFault(const Read& read, std::size_t start, Fault::Kind kind, const std::string& words) {
    ASSERT_FALSE(read.status);
    const Fault fault = describe(read.status.error());
    EXPECT_EQ(fault.kind, kind) << fault.description;
    EXPECT_NE(fault.description.find(words), std::string::npos) << fault.description;
    EXPECT_EQ(read.endOffset, start) << "a failed read must leave the cursor unmoved";
}

TEST(ReadName, ExpandsPointersAndResumesAfterTheFirst) {
    Bytes message = testing::name("example.com");  // 0: example.com
    const Bytes mx = testing::name("mx1", 0);      // 13: mx1 -> 0
    message.insert(message.end(), mx.begin(), mx.end());
    const Bytes chain = testing::name("a", 13);  // 19: a -> 13
    message.insert(message.end(), chain.begin(), chain.end());
    EXPECT_EQ(text(readAt(message, 0)), "example.com");
    EXPECT_EQ(readAt(message, 0).endOffset, 13u);
    EXPECT_EQ(text(readAt(message, 19)), "a.mx1.example.com");
    EXPECT_EQ(readAt(message, 19).endOffset, 23u);
    EXPECT_EQ(text(readAt(Bytes{0}, 0)), "");
}

TEST(ReadName, PointersUseAllFourteenBits) {
    Bytes message(300, 0);
    const Bytes target = testing::name("far.example");
    std::copy(target.begin(), target.end(), message.begin() + 0x110);
    message[0x12A] = 0xC1;  // pointer to 0x110
    message[0x12B] = 0x10;
    EXPECT_EQ(text(readAt(message, 0x12A)), "far.example");
}

TEST(ReadName, PointerLoopsAndForwardPointersAreMalformed) {
    // Fault class: pointer to itself.
    expectFault(readAt(Bytes{0, 0xC0, 0x01}, 1), 1, kMalformed, "does not point backwards");
    // Fault class: pointer forwards.
    expectFault(readAt(Bytes{0xC0, 0x02, 0}, 0), 0, kMalformed, "does not point backwards");
    // Fault class: pointer back into the labels of its own run (a loop through "a").
    expectFault(readAt(Bytes{1, 'a', 0xC0, 0x00}, 0), 0, kMalformed, "does not point backwards");
    // Fault class: a pointer to a run that would reach the pointer again. The run at 0 may not
    // overlap the name at 4 that leads to it.
    expectFault(readAt(Bytes{3, 'a', 'b', 'c', 0xC0, 0x00}, 4), 4, kMalformed,
                "runs into the name that points to it");
}

TEST(ReadName, TooManyJumpsAreMalformed) {
    // Fault class: pointer chain longer than the cap; each pointer leads to the one before.
    Bytes message{0};
    for (int i = 0; i <= kMaxCompressionJumps; ++i) {
        const auto previous = static_cast<std::uint16_t>(i == 0 ? 0 : message.size() - 2);
        const Bytes pointer = testing::pointerTo(previous);
        message.insert(message.end(), pointer.begin(), pointer.end());
    }
    const std::size_t last = message.size() - 2;
    expectFault(readAt(message, last), last, kMalformed, "compression pointers");
    EXPECT_EQ(text(readAt(message, last - 2)), "");  // exactly the cap is still read
}

TEST(ReadName, ExtendedAndUnknownLabelTypesAreMalformed) {
    // Fault class: label type 0x40 (extended) and 0x80 (reserved).
    expectFault(readAt(Bytes{0x41, 'a', 0}, 0), 0, kMalformed, "label type 0x40");
    expectFault(readAt(Bytes{1, 'a', 0xBF, 0}, 0), 0, kMalformed, "label type 0x80");
}

TEST(ReadName, NamesOver255OctetsAcrossJumpsAreMalformed) {
    // Two labels of 63 pointing to a name of 127 octets make 255 octets: the longest name.
    const std::string l63(63, 'x');
    auto nameAfter = [&](std::size_t tailLength) {
        Bytes message = testing::name(l63 + "." + std::string(tailLength, 'y'));
        const Bytes head = testing::name(l63 + "." + l63, 0);
        message.insert(message.end(), head.begin(), head.end());
        return readAt(message, message.size() - head.size());
    };
    EXPECT_EQ(nameAfter(61).name.bytes.size(), 255u);
    // Fault class: name too long, one octet more.
    const auto tooLong = nameAfter(62);
    expectFault(tooLong, 128, kMalformed, "longer than 255 octets");
}

TEST(ReadName, NeverReadsPastItsFence) {
    const Bytes message{3, 'm', 'x', '1', 0};
    // Fault class: the message ends inside a label; that is a cut reply, error 9.
    expectFault(readAt(Bytes{3, 'm', 'x'}, 0), 0, kCutShort, "ends inside the name");
    // Fault class: the name overruns the record data that holds it.
    expectFault(readAt(message, 0, 4), 0, kMalformed, "past the end of its record data");
    expectFault(readAt(Bytes{0, 0xC0}, 1), 1, kCutShort, "ends inside the name");
}

// Reads the name at offset with each kind of sink; every rule must hold the same way in all.
void expectSinksAgree(const Bytes& message, std::size_t offset, std::size_t limit = SIZE_MAX) {
    SCOPED_TRACE("name at offset " + std::to_string(offset));
    const Read built = readAt(message, offset, limit);
    auto readWith = [&](auto& sink) {
        ByteReader reader = cursorAt(message, offset, limit);
        const Checked status = readName(reader, sink);
        EXPECT_EQ(status.has_value(), built.status.has_value());
        if (!status && !built.status) {
            EXPECT_EQ(describe(status.error()), describe(built.status.error()));
        }
        EXPECT_EQ(reader.offset(), built.endOffset);
    };
    SkippedName skipped;
    readWith(skipped);
    PresentationName presentation;
    readWith(presentation);
    if (!built.status) {
        return;
    }
    EXPECT_EQ(presentation.text(), toPresentation(built.name));
    NameComparison same(built.name);
    readWith(same);
    EXPECT_TRUE(same.same());
}

TEST(ReadName, EverySinkMeetsTheSameRulesAndStopsAtTheSameByte) {
    Bytes message = testing::name("Example.com");
    const Bytes mx = testing::name("mx\\.1", 0);
    message.insert(message.end(), mx.begin(), mx.end());
    for (std::size_t offset = 0; offset < message.size(); ++offset) {
        expectSinksAgree(message, offset);
    }
    expectSinksAgree(message, 13, 17);  // fenced inside the label
    expectSinksAgree(Bytes{0, 0xC0, 0x01}, 1);
    expectSinksAgree(Bytes{3, 'a', 'b', 'c', 0xC0, 0x00}, 4);
    expectSinksAgree(Bytes{1, 'a', 0xBF, 0}, 0);
    const std::string l63(63, 'x');
    Bytes tooLong = testing::name(l63 + "." + l63 + "." + l63 + "." + l63);
    expectSinksAgree(tooLong, 0);
}

TEST(ReadName, ComparesInPlaceIgnoringOnlyAsciiCase) {
    auto compare = [](const Bytes& message, const Bytes& expected) {
        ByteReader reader(message);
        const WireName name{expected};
        NameComparison comparison(name);
        EXPECT_TRUE(readName(reader, comparison));
        return comparison.same();
    };
    EXPECT_TRUE(compare(testing::name("MX1.Example.COM"), testing::name("mx1.example.com")));
    EXPECT_FALSE(compare(testing::name("mx1.example.com"), testing::name("mx1.example.co")));
    EXPECT_FALSE(compare(testing::name("mx1.example"), testing::name("mx1.example.com")));
    EXPECT_FALSE(compare(testing::name("mx1.example.com"), testing::name("mx1.example")));
    EXPECT_FALSE(compare(testing::name("ab.c"), testing::name("a.bc")));
    EXPECT_FALSE(compare(Bytes{1, 0xC4, 0}, Bytes{1, 0xE4, 0}));
    EXPECT_TRUE(compare(Bytes{0}, Bytes{0}));
}

TEST(Presentation, EscapesWhatIsNotPlainText) {
    const WireName name{{5, 'a', '.', 'b', '\\', ' ', 4, 0x00, 0x1F, 0x7F, 0xFF, 0}};
    EXPECT_EQ(toPresentation(name), "a\\.b\\\\ .\\000\\031\\127\\255");
    EXPECT_EQ(toPresentation(WireName{{0}}), "");
}

}  // namespace
}  // namespace ombrix::lookup
