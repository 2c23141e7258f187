// A small control class for the layer's tests: a dispatch interface and a control face,
// nothing else. It records the control events it receives so that tests can check them.

#include <QLabel>
#include <string>

#include "ombrix/component/dispatch_table.h"
#include "ombrix/component/object.h"
#include "ombrix/component/qt/control.h"
#include "ombrix/component/qt/forms.h"
#include "ombrix/component/server_module.h"
#include "ombrix/component/text.h"
#include "counter_type_library.h"

namespace counter {
namespace {

using component::CallArguments;
using component::CallResult;
using component::InvokeKind;
using component::Variant;

// The size the control insists on, in twips: 40 x 20 pixels.
constexpr QSize kAnsweredTwips{600, 300};

class Counter final : public component::Object<component::Dispatch, component::Control> {
  public:
    Counter() : table_(*typeLibrary().findInterface("_counter")) { defineMembers(); }

    component::ResultCode idOfName(std::u16string_view name, component::DispId* out) override {
        return table_.idOfName(name, out);
    }
    component::ResultCode invoke(component::DispId id, InvokeKind kind, std::span<Variant> args,
                                 Variant* result, component::ErrorInfo* error) override {
        return table_.invoke(id, kind, args, result, error);
    }

    QWidget* createFace(QWidget* parent) override {
        events_ += "face;";
        return new QLabel(QStringLiteral("counter"), parent);
    }
    void initialize() override { events_ += "initialize;"; }
    QSize resize(QSize requestedTwips) override {
        events_ += "resize " + std::to_string(requestedTwips.width()) + "x" +
                   std::to_string(requestedTwips.height()) + ";";
        return kAnsweredTwips;
    }
    void terminate() override {
        events_ += "terminate;";
        component::Forms::ofThisLibrary().unloadAll();
    }

  private:
    void defineMembers();

    component::DispatchTable table_;
    std::int16_t count_ = 0;
    std::string events_;
};

void Counter::defineMembers() {
    table_.on(dispid::kCount, InvokeKind::PropertyGet,
              [this](const CallArguments&) -> CallResult { return Variant(count_); });
    table_.on(dispid::kCount, InvokeKind::PropertyPut,
              [this](const CallArguments& a) -> CallResult {
                  count_ = a.int16(0);
                  return Variant();
              });
    table_.on(dispid::kName, InvokeKind::PropertyGet,
              [](const CallArguments&) -> CallResult { return Variant(u"counter"); });
    // Returns a 32-bit sum: the layer narrows it to the declared 16-bit result.
    table_.on(dispid::kSum, InvokeKind::Method, [](const CallArguments& a) -> CallResult {
        return Variant(std::int32_t{a.int16(0)} + std::int32_t{a.int16(1)});
    });
    table_.on(dispid::kEcho, InvokeKind::Method,
              [](const CallArguments& a) -> CallResult { return Variant(a.string(0)); });
    table_.on(dispid::kWide, InvokeKind::Method,
              [](const CallArguments& a) -> CallResult { return Variant(a.int32(0)); });
    table_.on(dispid::kBump, InvokeKind::Method, [](const CallArguments& a) -> CallResult {
        std::int16_t* value = a.int16Ref(0);
        *value = static_cast<std::int16_t>(*value + 1);
        return Variant();
    });
    table_.on(dispid::kPeek, InvokeKind::Method, [](const CallArguments& a) -> CallResult {
        return Variant(std::int32_t{*a.int16Ref(0)} * 2);
    });
    table_.on(dispid::kFail, InvokeKind::Method, [](const CallArguments&) -> CallResult {
        return component::ErrorInfo{kFailureNumber, u"Test.counter", u"Deliberate failure"};
    });
    table_.on(dispid::kEvents, InvokeKind::Method, [this](const CallArguments&) -> CallResult {
        return Variant(component::toUtf16(events_));
    });
    table_.on(dispid::kOpenForm, InvokeKind::Method, [](const CallArguments&) -> CallResult {
        auto* form = new QWidget;
        form->setObjectName(QStringLiteral("counterForm"));
        form->show();
        component::Forms::ofThisLibrary().add(form);
        return Variant();
    });
    table_.on(dispid::kFormCount, InvokeKind::Method, [](const CallArguments&) -> CallResult {
        return Variant(static_cast<std::int32_t>(component::Forms::ofThisLibrary().count()));
    });
}

component::Unknown* createCounter() {
    return static_cast<component::Dispatch*>(new Counter);
}

}  // namespace
}  // namespace counter

const component::ServerModule& component::componentServerModule() {
    static const ServerModule module{
        &counter::typeLibrary(),
        {{&counter::typeLibrary().classes.front(), &counter::createCounter}}};
    return module;
}
