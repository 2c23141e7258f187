// Late-bound calls on an object created through the registry, as a host makes them.

#include "ombrix/component/dispatch.h"

#include <gtest/gtest.h>

#include <vector>

#include "ombrix/component/create.h"
#include "ombrix/component/text.h"
#include "counter_server/counter_type_library.h"
#include "counter_server_support.h"

namespace {

using namespace std::string_literals;
using component::InvokeKind;
using component::Variant;
namespace dispid = counter::dispid;

struct Outcome {
    component::ResultCode rc = component::kFail;
    Variant result;
    component::ErrorInfo error;
};

class CounterDispatch : public ::testing::Test {
  protected:
    void SetUp() override {
        registerCounterServer();
        component::Ref<component::Unknown> object;
        component::ErrorInfo error;
        ASSERT_EQ(component::createObject("Test.counter", object, error), component::kOk);
        counter_ = object.query<component::Dispatch>();
        ASSERT_TRUE(counter_);
    }

    Outcome call(component::DispId id, InvokeKind kind, std::vector<Variant> args) {
        Outcome outcome;
        outcome.rc = counter_->invoke(id, kind, args, &outcome.result, &outcome.error);
        return outcome;
    }
    Outcome method(component::DispId id, std::vector<Variant> args) {
        return call(id, InvokeKind::Method, std::move(args));
    }

    TemporaryRegistry registry_;
    component::Ref<component::Dispatch> counter_;
};

void expectError(const Outcome& outcome, std::int32_t number, std::u16string_view source) {
    EXPECT_EQ(outcome.rc, component::kException);
    EXPECT_EQ(outcome.error.number, number) << component::toUtf8(outcome.error.description);
    EXPECT_EQ(outcome.error.source, source);
    EXPECT_FALSE(outcome.error.description.empty());
}

TEST_F(CounterDispatch, SixteenBitParametersTakeWhatAHostPasses) {
    std::int16_t six = 6;
    const struct {
        Variant a, b;
        std::int16_t sum;
    } cases[] = {
        {std::int16_t{3}, std::int16_t{4}, 7},
        {std::int32_t{3}, u" 4 ", 7},
        {u"+12", u"\t-2", 10},
        {Variant(), std::int16_t{5}, 5},
        {Variant::byRef(&six), std::int32_t{-1}, 5},
        {std::int32_t{-32768}, std::int32_t{32767}, -1},
    };
    for (const auto& c : cases) {
        const Outcome outcome = method(dispid::kSum, {c.a, c.b});
        ASSERT_EQ(outcome.rc, component::kOk) << component::toUtf8(outcome.error.description);
        // The handler answers with a 32-bit value; the declared result is 16-bit.
        EXPECT_EQ(outcome.result, Variant(c.sum));
    }
}

TEST_F(CounterDispatch, NumbersOutOfRangeOverflowAndNonNumbersMismatch) {
    for (const Variant& tooBig :
         {Variant(std::int32_t{32768}), Variant(u"-32769"), Variant(u"99999999999999999999999")}) {
        expectError(method(dispid::kSum, {tooBig, std::int16_t{0}}), component::kErrOverflow,
                    u"_counter.Sum");
    }
    for (const char16_t* text : {u"abc", u"", u"   ", u"3.0", u"1e3", u"12abc", u"- 3", u"+"}) {
        const Outcome outcome = method(dispid::kSum, {std::int16_t{0}, text});
        expectError(outcome, component::kErrTypeMismatch, u"_counter.Sum");
        EXPECT_EQ(outcome.error.description, u"Type mismatch");
    }
    const Outcome result = method(dispid::kSum, {std::int16_t{30000}, std::int16_t{30000}});
    expectError(result, component::kErrOverflow, u"_counter.Sum");
    EXPECT_EQ(result.error.description, u"Overflow");

    EXPECT_EQ(method(dispid::kWide, {u"-2147483648"}).result,
              Variant(std::int32_t{-2147483647 - 1}));
    expectError(method(dispid::kWide, {u"2147483648"}), component::kErrOverflow, u"_counter.Wide");
}

TEST_F(CounterDispatch, StringParametersTakeTextAndIntegersAsDecimalText) {
    std::int16_t answer = 42;
    EXPECT_EQ(method(dispid::kEcho, {std::int32_t{-5}}).result, Variant(u"-5"));
    EXPECT_EQ(method(dispid::kEcho, {Variant::byRef(&answer)}).result, Variant(u"42"));
    EXPECT_EQ(method(dispid::kEcho, {Variant()}).result, Variant(u""));
    const std::u16string wide = u"h\u00e9 \U0001F600 \0 end"s;
    EXPECT_EQ(method(dispid::kEcho, {wide}).result, Variant(wide));
}

TEST_F(CounterDispatch, PropertiesAreReadAndWrittenByKind) {
    ASSERT_EQ(call(dispid::kCount, InvokeKind::PropertyPut, {u" 12"}).rc, component::kOk);
    EXPECT_EQ(call(dispid::kCount, InvokeKind::PropertyGet, {}).result, Variant(std::int16_t{12}));
    EXPECT_EQ(call(dispid::kName, InvokeKind::PropertyGet, {}).result, Variant(u"counter"));
    expectError(call(dispid::kName, InvokeKind::PropertyPut, {u"other"}),
                component::kErrPropertyReadOnly, u"_counter.Name");
}

TEST_F(CounterDispatch, CallsOfTheWrongKindOrCountAreRefused) {
    expectError(call(dispid::kSum, InvokeKind::PropertyGet, {}), component::kErrNoSuchMember,
                u"_counter.Sum");
    expectError(method(dispid::kCount, {}), component::kErrNoSuchMember, u"_counter.Count");
    expectError(method(0x7FFF, {}), component::kErrNoSuchMember, u"_counter");

    expectError(method(dispid::kSum, {std::int16_t{1}}), component::kErrWrongArgumentCount,
                u"_counter.Sum");
    expectError(method(dispid::kSum, {std::int16_t{1}, std::int16_t{2}, std::int16_t{3}}),
                component::kErrWrongArgumentCount, u"_counter.Sum");
    expectError(call(dispid::kCount, InvokeKind::PropertyGet, {std::int16_t{1}}),
                component::kErrWrongArgumentCount, u"_counter.Count");
    expectError(call(dispid::kCount, InvokeKind::PropertyPut, {}),
                component::kErrWrongArgumentCount, u"_counter.Count");
}

TEST_F(CounterDispatch, NamesResolveIgnoringCase) {
    component::DispId id = 0;
    EXPECT_EQ(counter_->idOfName(u"sUM", &id), component::kOk);
    EXPECT_EQ(id, dispid::kSum);
    EXPECT_EQ(counter_->idOfName(u"COUNT", &id), component::kOk);
    EXPECT_EQ(id, dispid::kCount);
    EXPECT_EQ(counter_->idOfName(u"Summ", &id), component::kUnknownName);
}

TEST_F(CounterDispatch, ByReferenceParametersReachTheCallersVariableOnly) {
    std::int16_t variable = 5;
    ASSERT_EQ(method(dispid::kBump, {Variant::byRef(&variable)}).rc, component::kOk);
    EXPECT_EQ(variable, 6);

    // A value goes through a temporary: the caller's argument stays as it was.
    std::vector<Variant> byValue{std::int16_t{5}};
    component::ErrorInfo error;
    ASSERT_EQ(counter_->invoke(dispid::kBump, InvokeKind::Method, byValue, nullptr, &error),
              component::kOk);
    EXPECT_EQ(byValue[0], Variant(std::int16_t{5}));

    std::int16_t index = 7;
    EXPECT_EQ(method(dispid::kPeek, {Variant::byRef(&index)}).result, Variant(std::int16_t{14}));
    EXPECT_EQ(index, 7);
    EXPECT_EQ(method(dispid::kPeek, {u"8"}).result, Variant(std::int16_t{16}));
    expectError(method(dispid::kPeek, {u"eight"}), component::kErrTypeMismatch, u"_counter.Peek");
}

TEST_F(CounterDispatch, ErrorsRaisedByTheObjectReachTheCallerUnchanged) {
    const Outcome outcome = method(dispid::kFail, {});
    EXPECT_EQ(outcome.rc, component::kException);
    EXPECT_EQ(outcome.error, (component::ErrorInfo{counter::kFailureNumber, u"Test.counter",
                                                   u"Deliberate failure"}));
    std::vector<Variant> none;
    EXPECT_EQ(counter_->invoke(dispid::kFail, InvokeKind::Method, none, nullptr, nullptr),
              component::kException);
}

}  // namespace
