#include "tools/domain_list_reader.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace ombrix::tools {
namespace {

struct Read {
    std::vector<ListEntry> entries;
    ListCounts counts;
};

// The list fed in pieces of `piece` bytes, as a pipe may bring it.
Read readAll(const std::string& text, std::size_t piece = 7) {
    DomainListReader reader;
    Read read;
    const auto takeReady = [&] {
        while (auto entry = reader.next()) {
            read.entries.push_back(std::move(*entry));
        }
    };
    for (std::size_t at = 0; at < text.size(); at += piece) {
        reader.append(std::string_view(text).substr(at, piece));
        takeReady();
    }
    reader.end();
    takeReady();
    EXPECT_TRUE(reader.exhausted());
    read.counts = reader.lines().counts();
    return read;
}

std::vector<std::string> domainsOf(const std::string& text, std::size_t piece = 7) {
    std::vector<std::string> domains;
    for (auto& entry : readAll(text, piece).entries) {
        domains.push_back(std::move(entry.domain));
    }
    return domains;
}

TEST(DomainListReader, SkipsBlanksAndCommentsAndTrimsWhitespace) {
    const auto read = readAll(
        "example.org\n\n# a comment\n  \t\n  # indented comment\n"
        "\t example.net \r\nlast.example");
    ASSERT_EQ(read.entries.size(), 3u);
    EXPECT_EQ(read.entries[1].domain, "example.net");
    EXPECT_EQ(read.entries[1].line, 6u);
    EXPECT_EQ(read.entries[2].domain, "last.example");
    EXPECT_EQ(read.counts.read, 7u);
    EXPECT_EQ(read.counts.skipped, 4u);
    EXPECT_EQ(read.counts.reported, 3u);
    EXPECT_EQ(domainsOf(""), std::vector<std::string>{});
    EXPECT_EQ(domainsOf("\n\n#\n"), std::vector<std::string>{});
    EXPECT_EQ(domainsOf("one.example\r\ntwo.example\n", 1),
              (std::vector<std::string>{"one.example", "two.example"}));
    // Only a leading "#" makes a comment; inside a domain it is the domain's own.
    EXPECT_EQ(domainsOf("a#b.example\n"), std::vector<std::string>{"a#b.example"});
    const std::string odd("caf\xC3\xA9.example\n\xFF\x00z\n", 18);
    EXPECT_EQ(domainsOf(odd),
              (std::vector<std::string>{"caf\xC3\xA9.example", std::string("\xFF\x00z", 3)}));
}

}  // namespace
}  // namespace ombrix::tools
