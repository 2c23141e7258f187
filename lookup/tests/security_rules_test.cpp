#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ombrix/lookup/dane_verdict.h"
#include "ombrix/lookup/dnssec_status.h"
#include "ombrix/lookup/policy_record.h"
#include "ombrix/lookup/tlsa_status.h"

namespace ombrix::lookup {
namespace {

using Status = DnssecStatus;

constexpr std::uint8_t kServfail = 2;
constexpr std::uint8_t kNxdomain = 3;

ValidatingReply reply(std::uint8_t rcode, bool ad, std::vector<std::uint16_t> ede = {},
                      std::vector<std::string> answer = {"10 mx.example."}) {
    return ValidatingReply{rcode, ad, std::move(ede), std::move(answer)};
}

TEST(DnssecStatusRules, DecideFromTheAdBitTheCheckingDisabledRetryAndExtendedErrors) {
    const std::optional<ValidatingReply> none;
    struct Case {
        const char* what;
        std::optional<ValidatingReply> plain, checkingDisabled;
        Status expected;
    } cases[] = {
        {"validated", reply(0, true), none, Status::secure},
        {"validated denial", reply(kNxdomain, true, {}, {}), none, Status::secure},
        {"validated but stale", reply(0, true, {3}), none, Status::secure},
        {"unsigned, same with CD", reply(0, false), reply(0, false), Status::insecure},
        {"same records in another order", reply(0, false, {}, {"a", "b"}),
         reply(0, false, {}, {"b", "a"}), Status::insecure},
        {"unsupported algorithm is unsigned", reply(0, false, {1}), reply(0, false),
         Status::insecure},
        {"no AD and no CD reply", reply(0, false), none, Status::indeterminate},
        {"CD changes the records", reply(0, false), reply(0, false, {}, {"10 evil."}),
         Status::indeterminate},
        {"CD changes the code", reply(kNxdomain, false, {}, {}), reply(0, false, {}, {}),
         Status::indeterminate},
        {"SERVFAIL that CD answers", reply(kServfail, false, {}, {}), reply(0, false),
         Status::bogus},
        {"SERVFAIL with signature expired", reply(kServfail, false, {7}, {}), none, Status::bogus},
        {"SERVFAIL with unsupported algorithm", reply(kServfail, false, {1}, {}), none,
         Status::bogus},
        {"answer flagged DNSSEC bogus", reply(0, false, {6}), reply(0, false), Status::bogus},
        {"AD on a failure code is no validation", reply(kServfail, true, {}, {}),
         reply(kServfail, false, {}, {}), Status::indeterminate},
        {"SERVFAIL with a non-DNSSEC error", reply(kServfail, false, {22}, {}),
         reply(kServfail, false, {22}, {}), Status::indeterminate},
        {"no reply", none, reply(0, false), Status::indeterminate},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dnssecStatus(c.plain, c.checkingDisabled), c.expected) << c.what;
    }
}

TEST(DnssecStatusRules, WeakerRanksBogusBelowEverything) {
    const Status order[] = {Status::secure, Status::insecure, Status::indeterminate, Status::bogus};
    for (std::size_t i = 0; i < 4; ++i) {
        for (std::size_t j = 0; j < 4; ++j) {
            EXPECT_EQ(weaker(order[i], order[j]), order[std::max(i, j)]) << i << ' ' << j;
        }
    }
}

TEST(TlsaRules, UsableOnlyWithDaneUsageKnownSelectorAndDataOfTheRightLength) {
    const auto usable = [](std::uint8_t usage, std::uint8_t selector, std::uint8_t matching,
                           std::size_t octets) {
        return isUsableForSmtp({usage, selector, matching, std::string(octets * 2, 'a')});
    };
    EXPECT_TRUE(usable(3, 1, 1, 32));
    EXPECT_TRUE(usable(2, 0, 2, 64));
    EXPECT_TRUE(usable(3, 0, 0, 1));
    EXPECT_FALSE(usable(3, 1, 0, 0));
    EXPECT_FALSE(usable(3, 1, 1, 31));
    EXPECT_FALSE(usable(3, 1, 2, 32));
    EXPECT_FALSE(usable(1, 1, 1, 32));
    EXPECT_FALSE(usable(4, 1, 1, 32));
    EXPECT_FALSE(usable(3, 2, 1, 32));
    EXPECT_FALSE(usable(3, 1, 3, 32));
}

TEST(TlsaRules, StatusFollowsTheAddressesTheReplyAndItsValidation) {
    const RecordReply<TlsaRecord> usable{
        RecordStatus::found, {{3, 1, 1, std::string(64, 'a')}}, {}, {}};
    const RecordReply<TlsaRecord> pkixOnly{
        RecordStatus::found, {{1, 1, 1, std::string(64, 'a')}}, {}, {}};
    const RecordReply<TlsaRecord> denied{RecordStatus::nxdomain, {}, {}, {}};
    const RecordReply<TlsaRecord> failed{RecordStatus::serverFailure, {}, {}, Fault{}};
    struct Case {
        const char* what;
        Status address;
        const RecordReply<TlsaRecord>* reply;
        Status tlsa;
        TlsaStatus expected;
    } cases[] = {
        {"usable", Status::secure, &usable, Status::secure, TlsaStatus::usable},
        {"PKIX only", Status::secure, &pkixOnly, Status::secure, TlsaStatus::unusable},
        {"secure denial", Status::secure, &denied, Status::secure, TlsaStatus::absent},
        {"insecure records", Status::secure, &usable, Status::insecure, TlsaStatus::unusable},
        {"insecure denial", Status::secure, &denied, Status::insecure, TlsaStatus::absent},
        {"bogus", Status::secure, &usable, Status::bogus, TlsaStatus::error},
        {"server failure", Status::secure, &failed, Status::indeterminate, TlsaStatus::error},
        {"secure addresses, never asked", Status::secure, nullptr, Status::secure,
         TlsaStatus::error},
        {"insecure addresses", Status::insecure, &usable, Status::secure, TlsaStatus::skipped},
        {"bogus addresses", Status::bogus, nullptr, Status::secure, TlsaStatus::skipped},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tlsaStatus(c.address, c.reply, c.tlsa), c.expected) << c.what;
    }
}

TEST(DaneVerdictRules, JudgeTheDomainFromItsMxAnswerAndEveryExchanger) {
    const ExchangerSecurity usable{Status::secure, TlsaStatus::usable};
    const ExchangerSecurity absent{Status::secure, TlsaStatus::absent};
    const ExchangerSecurity unusable{Status::secure, TlsaStatus::unusable};
    const ExchangerSecurity skipped{Status::insecure, TlsaStatus::skipped};
    const ExchangerSecurity failed{Status::secure, TlsaStatus::error};
    const ExchangerSecurity bogusAddress{Status::bogus, TlsaStatus::skipped};
    const auto verdict = [](Outcome outcome, Status mx, std::vector<ExchangerSecurity> each) {
        return daneVerdict(outcome, mx, each);
    };
    const auto listed = Outcome::exchangers;
    using V = DaneVerdict;
    EXPECT_EQ(verdict(listed, Status::secure, {usable, usable}), V::verified);
    EXPECT_EQ(verdict(Outcome::noMx, Status::secure, {usable}), V::verified);
    EXPECT_EQ(verdict(listed, Status::secure, {usable, absent}), V::partial);
    EXPECT_EQ(verdict(listed, Status::secure, {skipped, usable}), V::partial);
    EXPECT_EQ(verdict(listed, Status::secure, {absent, skipped}), V::none);
    EXPECT_EQ(verdict(listed, Status::secure, {unusable, absent}), V::unusable);
    // One exchanger whose lookup failed might have had usable TLSA.
    EXPECT_EQ(verdict(listed, Status::secure, {usable, failed}), V::error);
    EXPECT_EQ(verdict(listed, Status::secure, {usable, bogusAddress}), V::error);
    EXPECT_EQ(verdict(listed, Status::insecure, {usable}), V::insecure);
    EXPECT_EQ(verdict(listed, Status::bogus, {usable}), V::error);
    // A bogus denial is a failure, never "the domain does not exist".
    EXPECT_EQ(verdict(Outcome::nxdomain, Status::bogus, {}), V::error);
    EXPECT_EQ(verdict(Outcome::nxdomain, Status::insecure, {}), V::notApplicable);
    EXPECT_EQ(verdict(Outcome::nullMx, Status::secure, {}), V::notApplicable);
    EXPECT_EQ(verdict(Outcome::nullMxMixed, Status::insecure, {}), V::notApplicable);
    EXPECT_EQ(verdict(Outcome::invalidDomain, Status::indeterminate, {}), V::notApplicable);
}

RecordReply<std::string> texts(std::vector<std::string> records) {
    return {RecordStatus::found, std::move(records), {}, {}};
}

TEST(PolicyRecordRules, MtaStsNeedsExactlyOneVersionedRecordWithAGoodId) {
    struct Case {
        std::vector<std::string> records;
        PolicyRecordStatus status;
        std::string idOrReason;
    } cases[] = {
        {{"v=spf1 -all", "v=STSv1; id=2024-01-01;"},
         PolicyRecordStatus::invalid,
         "the id is not 1 to 32 letters and digits"},
        {{"v=STSv1;id=abc123 ; ext=x"}, PolicyRecordStatus::valid, "abc123"},
        {{"v=STSv1; id=" + std::string(32, '9')}, PolicyRecordStatus::valid, std::string(32, '9')},
        {{"v=STSv1; id=" + std::string(33, '9')},
         PolicyRecordStatus::invalid,
         "the id is not 1 to 32 letters and digits"},
        {{"v=STSv1; id="}, PolicyRecordStatus::invalid, "the id is not 1 to 32 letters and digits"},
        {{"v=STSv1; ID=abc"}, PolicyRecordStatus::invalid, "the record has no id"},
        {{"v=STSv1; id=a; id=b"}, PolicyRecordStatus::invalid, "the field id appears twice"},
        {{"v=STSv1; id=a; junk"}, PolicyRecordStatus::invalid, "a field is not name=value"},
        {{"v=STSv1; id=a; n\xC3\xA4me=x"},
         PolicyRecordStatus::invalid,
         "a field is not name=value"},
        {{"v=STSv1; id=a", "v=STSv1; id=b"},
         PolicyRecordStatus::invalid,
         "2 records start with v=STSv1;"},
        {{"v=STSv10; id=a", "v=STSv1 id=a", "spf"}, PolicyRecordStatus::absent, ""},
    };
    for (const auto& c : cases) {
        const auto read = readMtaStsRecord(texts(c.records), Status::insecure);
        EXPECT_EQ(read.status, c.status) << c.records.front();
        EXPECT_EQ(c.status == PolicyRecordStatus::valid ? read.id : read.reason, c.idOrReason)
            << c.records.front();
    }
}

TEST(PolicyRecordRules, TlsRptNeedsOneVersionedRecordWithAMailtoOrHttpsRua) {
    struct Case {
        std::string record;
        PolicyRecordStatus status;
        std::vector<std::string> rua;
    } cases[] = {
        {"v=TLSRPTv1; rua=mailto:tls@example.com, HTTPS://r.example/x, ftp://f.example",
         PolicyRecordStatus::valid,
         {"mailto:tls@example.com", "HTTPS://r.example/x"}},
        {"v=TLSRPTv1;rua=https://r.example;", PolicyRecordStatus::valid, {"https://r.example"}},
        {"v=TLSRPTv1; rua=ftp://f.example", PolicyRecordStatus::invalid, {}},
        {"v=TLSRPTv1; rua=mailto:", PolicyRecordStatus::invalid, {}},
        {"v=TLSRPTv1; rua=https:///path", PolicyRecordStatus::invalid, {}},
        {"v=TLSRPTv1; ruf=mailto:a@example", PolicyRecordStatus::invalid, {}},
        {"v=TLSRPTv2; rua=mailto:a@example", PolicyRecordStatus::absent, {}},
    };
    for (const auto& c : cases) {
        const auto read = readTlsRptRecord(texts({c.record}), Status::secure);
        EXPECT_EQ(read.status, c.status) << c.record;
        EXPECT_EQ(read.rua, c.rua) << c.record;
    }
    const auto doubled = readTlsRptRecord(
        texts({"v=TLSRPTv1; rua=mailto:a@example", "v=TLSRPTv1; rua=mailto:b@example"}),
        Status::secure);
    EXPECT_EQ(doubled.status, PolicyRecordStatus::invalid);
}

TEST(PolicyRecordRules, AFailedOrBogusLookupIsAnErrorAndNoRecordIsAbsent) {
    const auto valid = texts({"v=STSv1; id=1"});
    EXPECT_EQ(readMtaStsRecord(valid, Status::bogus).status, PolicyRecordStatus::error);
    EXPECT_EQ(readTlsRptRecord(valid, Status::indeterminate).status, PolicyRecordStatus::error);
    const RecordReply<std::string> failed{
        RecordStatus::serverFailure, {}, {}, Fault{Fault::Kind::serverFailure, "SERVFAIL"}};
    EXPECT_EQ(readMtaStsRecord(failed, Status::insecure).reason, "SERVFAIL");
    const RecordReply<std::string> missing{RecordStatus::nxdomain, {}, {}, {}};
    EXPECT_EQ(readTlsRptRecord(missing, Status::secure).status, PolicyRecordStatus::absent);
}

}  // namespace
}  // namespace ombrix::lookup
