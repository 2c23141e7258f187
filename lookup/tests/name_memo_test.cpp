#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ombrix/lookup/name_reader.h"
#include "ombrix/lookup/presentation.h"
#include "testing/reply_builder.h"

namespace ombrix::lookup {
namespace {

using testing::Bytes;

struct Outcome {
    bool failed = false;
    Error error;
    std::size_t end = 0;
    bool same = false;
    std::string text;
};

// Reads the name at offset with the sink the offset and rotation pick, fenced at the message's end
// or, for odd offsets, a few bytes on, as names in record data are.
Outcome readAt(const Bytes& message, std::size_t offset, std::size_t rotation,
               const WireName& target, NameMemo* memo) {
    ByteReader whole(message);
    whole.skip(offset);
    const std::size_t fence = offset % 2 == 0 ? whole.remaining() : 2 + offset % 7;
    ByteReader reader = whole.remaining() >= fence ? *whole.take(fence) : whole;
    Outcome outcome;
    auto finish = [&](const NameFault& fault) {
        outcome.failed = fault.failed();
        if (outcome.failed) {
            outcome.error = describe(fault);
        }
        outcome.end = reader.offset();
    };
    if ((offset + rotation) % 3 == 0) {
        SkippedName skipped;
        finish(scanName(reader, skipped, memo));
    } else if ((offset + rotation) % 3 == 1) {
        NameComparison comparison(target);
        finish(scanName(reader, comparison, memo));
        outcome.same = !outcome.failed && comparison.same();
    } else {
        PresentationText text(outcome.text);
        finish(scanName(reader, text, memo));
        if (outcome.failed) {
            outcome.text.clear();
        }
    }
    return outcome;
}

// Reads a name at each offset in turn (every offset by default), as a walk meets names further
// and further on, once with one memo for the whole message and once without; every outcome
// must be the same, whichever kind of sink meets which name.
void expectMemoChangesNothing(const Bytes& message, std::vector<std::size_t> offsets = {}) {
    if (offsets.empty()) {
        for (std::size_t offset = 0; offset < message.size(); ++offset) {
            offsets.push_back(offset);
        }
    }
    WireName target;
    target.bytes = testing::name("a");
    if (message.size() > 12) {
        ByteReader question(message);
        question.skip(12);
        if (auto name = readName(question)) {
            target = name.value();
        }
    }
    for (std::size_t rotation = 0; rotation < 3; ++rotation) {
        NameMemo memo;
        for (const std::size_t offset : offsets) {
            SCOPED_TRACE("name at offset " + std::to_string(offset));
            const Outcome walked = readAt(message, offset, rotation, target, nullptr);
            const Outcome recalled = readAt(message, offset, rotation, target, &memo);
            ASSERT_EQ(recalled.failed, walked.failed);
            EXPECT_EQ(recalled.error, walked.error);
            EXPECT_EQ(recalled.end, walked.end);
            EXPECT_EQ(recalled.same, walked.same);
            EXPECT_EQ(recalled.text, walked.text);
        }
    }
}

std::vector<Bytes> replyCorpus() {
    std::vector<Bytes> replies;
    for (const auto& file : std::filesystem::directory_iterator(OMBRIX_REPLY_CORPUS)) {
        std::ifstream in(file.path(), std::ios::binary);
        replies.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return replies;
}

TEST(NameMemo, GivesTheSameOutcomesAsWalkingOnTheReplyCorpus) {
    const auto replies = replyCorpus();
    ASSERT_FALSE(replies.empty());
    for (const Bytes& reply : replies) {
        expectMemoChangesNothing(reply);
    }
}

TEST(NameMemo, RecallsOnlyWhereWalkingWouldPass) {
    // Fault class: a remembered name whose first run reaches past the pointer to it. Offset 1
    // points back to the name at 0, whose label holds the pointer's own bytes.
    expectMemoChangesNothing(Bytes{2, 0xC0, 0x00, 0});
    // Fault class: one jump more than the cap. Each name points at the one before it; the name
    // at 255 follows 128 pointers and is remembered, the one at 257 points to it.
    Bytes chain{0};
    for (std::uint16_t i = 0; i < 131; ++i) {
        const Bytes pointer =
            testing::name("", static_cast<std::uint16_t>(i == 0 ? 0 : chain.size() - 2));
        chain.insert(chain.end(), pointer.begin(), pointer.end());
    }
    expectMemoChangesNothing(chain, {255, 257});
    // Names equal and unequal to the one compared with, reached directly and through pointers.
    Bytes mixed(12, 0);
    for (const Bytes& part :
         {testing::name("Mx.Example"), testing::name("", 12), testing::name("mail", 15),
          testing::name("", 24), testing::name("", 12), testing::name("mx.other")}) {
        mixed.insert(mixed.end(), part.begin(), part.end());
    }
    expectMemoChangesNothing(mixed);
}

}  // namespace
}  // namespace ombrix::lookup
