// What users of the control and of mxlookup read when a lookup fails: the number, the source
// and the words they have always had, for faults as the lookup library really reports them.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "hosterrors/numbered_error.h"
#include "ombrix/lookup/domain_name.h"
#include "ombrix/lookup/mx_reply.h"

namespace {

using ombrix::host::hostDescription;
using ombrix::host::NumberedError;
using ombrix::host::numberedError;
using ombrix::lookup::Fault;

TEST(NumberedError, EachFaultKeepsTheNumberSourceAndWordsUsersKnow) {
    const auto asked = ombrix::lookup::encodeDomain("example.com");
    ASSERT_TRUE(asked);
    const std::vector<std::uint8_t> shortOfAHeader(11, 0);
    const auto cut = ombrix::lookup::readMxReply(shortOfAHeader, *asked);
    ASSERT_TRUE(cut.fault);
    EXPECT_EQ(numberedError(*cut.fault),
              (NumberedError{9, "Ombrix",
                             "Subscript out of range: the reply ends inside its 12-byte header"}));

    const auto root = ombrix::lookup::encodeDomain(".");
    ASSERT_FALSE(root);
    EXPECT_EQ(numberedError(root.error()),
              (NumberedError{5, "Ombrix", "Invalid domain name: the root alone is not a domain"}));

    // The bulk run's time-out has nothing to add to the headline.
    EXPECT_EQ(numberedError(Fault{Fault::Kind::noReply, {}}),
              (NumberedError{20000, "MXQuery", "Problem receiving MX query"}));
    EXPECT_EQ(hostDescription(Fault{Fault::Kind::sendFailed, "Network is unreachable"}),
              "Problem sending MX query: Network is unreachable");
    // A fault that already says everything gets no headline of the host's.
    EXPECT_EQ(numberedError(Fault{Fault::Kind::systemRefused, "Cannot open a socket"}),
              (NumberedError{20000, "MXQuery", "Cannot open a socket"}));
}

}  // namespace
