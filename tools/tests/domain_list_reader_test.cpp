#include "tools/domain_list_reader.h"

#include <gtest/gtest.h>

#include <vector>

namespace ombrix::tools {
namespace {

// The list fed in pieces of `piece` bytes, as a pipe may bring it.
std::vector<std::string> readAll(const std::string& text, std::size_t piece = 7) {
    DomainListReader reader;
    std::vector<std::string> domains;
    for (std::size_t at = 0; at < text.size(); at += piece) {
        reader.append(std::string_view(text).substr(at, piece));
        while (auto domain = reader.next()) {
            domains.push_back(*domain);
        }
    }
    reader.end();
    while (auto domain = reader.next()) {
        domains.push_back(*domain);
    }
    EXPECT_TRUE(reader.exhausted());
    return domains;
}

TEST(DomainListReader, SkipsBlanksAndCommentsAndTrimsWhitespace) {
    EXPECT_EQ(readAll("example.org\n\n# a comment\n  \t\n  # indented comment\n"
                      "\t example.net \r\nlast.example"),
              (std::vector<std::string>{"example.org", "example.net", "last.example"}));
    EXPECT_EQ(readAll(""), std::vector<std::string>{});
    EXPECT_EQ(readAll("\n\n#\n"), std::vector<std::string>{});
    EXPECT_EQ(readAll("one.example\r\ntwo.example\n", 1),
              (std::vector<std::string>{"one.example", "two.example"}));
    // Only a leading "#" makes a comment; inside a domain it is the domain's own.
    EXPECT_EQ(readAll("a#b.example\n"), std::vector<std::string>{"a#b.example"});
}

TEST(DomainListReader, AnOverlongLineStaysOneBoundedEntry) {
    const std::string huge(3 * DomainListReader::kMaxLine, 'a');
    const auto domains = readAll(huge + "\nnext.example\n", 1000);
    ASSERT_EQ(domains.size(), 2u);
    EXPECT_EQ(domains[0].size(), DomainListReader::kMaxLine);
    EXPECT_EQ(domains[1], "next.example");
}

TEST(DomainListReader, KeepsBytesThatAreNotText) {
    const std::string odd("caf\xC3\xA9.example\n\xFF\x00z\n", 18);
    EXPECT_EQ(readAll(odd),
              (std::vector<std::string>{"caf\xC3\xA9.example", std::string("\xFF\x00z", 3)}));
}

}  // namespace
}  // namespace ombrix::tools
