// MxQueryClient against the real control library, registered in a store of the test's own,
// asking a scripted DNS server on 127.0.0.1.
#include "ombrix/widgets/mxquery_client.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <functional>
#include <optional>

#include "testing/reply_builder.h"
#include "testing/scripted_dns_server.h"
#include "testing/temporary_registry.h"

namespace ombrix {
namespace {

using testing::Bytes;
using testing::idOf;
using testing::name;
using testing::ReplyBuilder;
using testing::Responder;
using testing::ScriptedDnsServer;

constexpr char kDomain[] = "mx.example";

void replyWith(const Bytes& query, Responder& out, std::uint8_t rcode) {
    out.send(testing::withResponseCode(ReplyBuilder(kDomain, idOf(query))
                                           .mx(20, name("b.mx.example"))
                                           .mx(65535, name("last.mx.example"))
                                           .mx(10, name("a.mx.example"))
                                           .bytes(),
                                       rcode));
}

std::optional<ControlError> errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const ControlError& error) {
        return error;
    }
    return std::nullopt;
}

bool aboutDialogShown() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("about") && window->isVisible())
            return true;
    }
    return false;
}

class MxQueryClientTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(registration_.failure(), ""); }

    testing::TemporaryRegistration registration_{OMBRIX_LIBRARY_PATH};
};

TEST_F(MxQueryClientTest, EveryMemberReadsOneQueryInCppTypes) {
    ScriptedDnsServer server([](const Bytes& query, Responder& out) { replyWith(query, out, 0); });
    const MxQueryClient mx = MxQueryClient::create();
    EXPECT_EQ(mx.GetVersion(), "1.1.11");
    EXPECT_EQ(mx.GetOutcome(), "");
    EXPECT_EQ(mx.GetResponseCode(), -1);

    mx.SetDNS("ns.b\u00FCcher.example");
    EXPECT_EQ(mx.DNS(), "ns.b\u00FCcher.example");
    mx.DNS(server.setting());
    EXPECT_EQ(mx.DNS(), server.setting());

    EXPECT_EQ(mx.MXQuery(kDomain), 3);
    EXPECT_EQ(mx.GetBestMX(), "a.mx.example");
    EXPECT_EQ(mx.GetMXEntry(0), "a.mx.example");
    EXPECT_EQ(mx.GetMXEntryPref(0), 10);
    EXPECT_EQ(mx.GetMXEntry(2), "last.mx.example");
    EXPECT_EQ(mx.GetMXEntryPref(2), 65535) << "preferences read unsigned";
    EXPECT_EQ(mx.GetMXEntry(3), "");
    EXPECT_EQ(mx.GetMXEntryPref(-1), 0);
    EXPECT_EQ(mx.GetOutcome(), "exchangers");
    EXPECT_EQ(mx.GetResponseCode(), 0);
    EXPECT_FALSE(mx.IsTemporary());
}

TEST_F(MxQueryClientTest, ErrorsCarryNumberSourceAndDescription) {
    ScriptedDnsServer server([](const Bytes& query, Responder& out) { replyWith(query, out, 2); });
    const MxQueryClient mx = MxQueryClient::create("TestHost");
    mx.DNS(server.setting());
    const auto failure = errorOf([&] { mx.MXQuery(kDomain); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->number(), 20000);
    EXPECT_EQ(failure->source(), "MXQuery");
    EXPECT_NE(failure->description().find("SERVFAIL"), std::string::npos)
        << failure->description();
    EXPECT_STREQ(failure->what(), failure->description().c_str());
    EXPECT_EQ(mx.GetOutcome(), "server-failure");
    EXPECT_EQ(mx.GetResponseCode(), 2);
    EXPECT_TRUE(mx.IsTemporary());

    const auto notSet = errorOf([] { MxQueryClient().GetBestMX(); });
    ASSERT_TRUE(notSet);
    EXPECT_EQ(notSet->number(), 91);
    EXPECT_EQ(notSet->source(), MxQueryClient::kDefaultHostSource);
}

TEST(MxQueryClientCreation, WithoutRegistrationFailsWithTheLayersErrorSayingWhereItLooked) {
    const testing::TemporaryRegistry empty;
    const auto failure = errorOf([] { MxQueryClient::create(); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->number(), 429);
    EXPECT_EQ(failure->source(), "component");
    EXPECT_NE(failure->description().find("in the store " + empty.file().string() +
                                          " and the drop-in folders " +
                                          empty.systemFolder(0).string()),
              std::string::npos)
        << failure->description();
}

TEST_F(MxQueryClientTest, ReleasingAnUnsitedControlClosesItsAboutDialog) {
    std::optional<MxQueryClient> mx = MxQueryClient::create();
    mx->DisplayAboutBox();
    ASSERT_TRUE(QTest::qWaitFor(aboutDialogShown, 5000));
    mx.reset();
    EXPECT_TRUE(QTest::qWaitFor([] { return !aboutDialogShown(); }, 5000));
}

}  // namespace
}  // namespace ombrix
