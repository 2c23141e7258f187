#include "control/mxquery.h"

#include <optional>
#include <string>

#include "ombrix/component/qt/forms.h"
#include "ombrix/component/text.h"
#include "control/about/about_box.h"
#include "control/control_errors.h"
#include "control/error_conversion.h"
#include "control/live_wait.h"
#include "control/mxquery_face.h"
#include "control/mxquery_type_library.h"
#include "control/outcome_text.h"
#include "control/reentry_guard.h"
#include "control/text_conversion.h"
#include "ombrix_version_info.h"

namespace ombrix {
namespace {

using component::CallArguments;
using component::CallResult;
using component::InvokeKind;
using component::Variant;

// 32 x 32 device-independent pixels.
constexpr int kFaceTwips = 32 * component::kTwipsPerPixel;

using component::toUtf16;

component::ErrorInfo notText(const char* what) {
    return toErrorInfo({host::kErrorInvalidCall, host::kRuntimeErrorSource,
                        std::string(what) + " holds an unpaired surrogate, which is not text"});
}

}  // namespace

component::Unknown* MxQuery::create() {
    return static_cast<component::Dispatch*>(new MxQuery);
}

MxQuery::MxQuery() : table_(mxqueryInterface()) {
    table_.on(dispid::kDns, InvokeKind::PropertyGet,
              [this](const CallArguments&) { return dns(); });
    table_.on(dispid::kDns, InvokeKind::PropertyPut,
              [this](const CallArguments& args) { return setDns(args); });
    table_.on(dispid::kDisplayAboutBox, InvokeKind::Method,
              [this](const CallArguments&) { return displayAboutBox(); });
    table_.on(dispid::kSetDns, InvokeKind::Method,
              [this](const CallArguments& args) { return setDns(args); });
    table_.on(dispid::kGetVersion, InvokeKind::Method,
              [this](const CallArguments&) { return version(); });
    table_.on(dispid::kMxQuery, InvokeKind::Method,
              [this](const CallArguments& args) { return mxQuery(args); });
    table_.on(dispid::kGetBestMx, InvokeKind::Method,
              [this](const CallArguments&) { return bestMx(); });
    table_.on(dispid::kGetMxEntry, InvokeKind::Method,
              [this](const CallArguments& args) { return mxEntry(args); });
    table_.on(dispid::kGetMxEntryPref, InvokeKind::Method,
              [this](const CallArguments& args) { return mxEntryPref(args); });
    table_.on(dispid::kGetOutcome, InvokeKind::Method,
              [this](const CallArguments&) { return outcome(); });
    table_.on(dispid::kGetResponseCode, InvokeKind::Method,
              [this](const CallArguments&) { return responseCode(); });
    table_.on(dispid::kIsTemporary, InvokeKind::Method,
              [this](const CallArguments&) { return temporary(); });
}

MxQuery::~MxQuery() {
    component::Forms::ofThisLibrary().unloadAll();
}

component::ResultCode MxQuery::idOfName(std::u16string_view name, component::DispId* out) {
    return table_.idOfName(name, out);
}

component::ResultCode MxQuery::invoke(component::DispId id, InvokeKind kind,
                                      std::span<Variant> args, Variant* result,
                                      component::ErrorInfo* error) {
    // A host may release the control from inside a call, as a timer does that destroys the
    // window while a query waits: the call keeps the control alive until it has returned.
    addRef();
    const auto keepAlive = component::Ref<component::Dispatch>::adopt(this);
    const ReentryGuard guard(inCall_);
    if (!guard.entered()) {
        if (error)
            *error = controlBusyError();
        return component::kException;
    }
    return table_.invoke(id, kind, args, result, error);
}

CallResult MxQuery::dns() const {
    return Variant(toUtf16(lookup_.server()));
}

CallResult MxQuery::setDns(const CallArguments& args) {
    auto server = strictUtf8(args.string(0));
    if (!server)
        return notText("The DNS server");
    lookup_.setServer(std::move(*server));
    return Variant();
}

CallResult MxQuery::displayAboutBox() {
    if (const auto refusal = ombrix::displayAboutBox())
        return aboutRefusedError(*refusal);
    return Variant();
}

CallResult MxQuery::version() const {
    // major.minor.revision: the third field of the version record takes no part.
    const std::string text = std::to_string(version::kMajor) + '.' +
                             std::to_string(version::kMinor) + '.' +
                             std::to_string(version::kRevision);
    return Variant(toUtf16(text));
}

CallResult MxQuery::mxQuery(const CallArguments& args) {
    const auto domain = strictUtf8(args.string(0));
    if (!domain) {
        // Every query starts from an empty result, refused or not.
        lookup_.clear();
        return notText("The domain");
    }
    std::optional<lookup::Expected<std::string, host::NumberedError>> count;
    runKeepingWindowsLive([&] { count = lookup_.query(*domain); });
    if (!*count)
        return toErrorInfo(count->error());
    return Variant(toUtf16(count->value()));
}

CallResult MxQuery::bestMx() const {
    return Variant(toUtf16(lookup_.best()));
}

CallResult MxQuery::mxEntry(const CallArguments& args) const {
    const auto entry = lookup_.entryAt(args.int16(0));
    if (!entry)
        return toErrorInfo(entry.error());
    return Variant(*entry ? toUtf16((*entry)->name) : std::u16string());
}

CallResult MxQuery::mxEntryPref(const CallArguments& args) const {
    const auto entry = lookup_.entryAt(args.int16(0));
    if (!entry)
        return toErrorInfo(entry.error());
    // The unsigned preference travels as the same 16 bits in the interface's signed type.
    return Variant(static_cast<std::int16_t>(*entry ? (*entry)->preference : 0));
}

CallResult MxQuery::outcome() const {
    const auto& last = lookup_.outcome();
    return Variant(last ? std::u16string(outcomeText(last->outcome)) : std::u16string());
}

// -1 when no reply was read.
CallResult MxQuery::responseCode() const {
    const auto& last = lookup_.outcome();
    return Variant(
        static_cast<std::int16_t>(last && last->responseCode ? *last->responseCode : -1));
}

// 1 when asking again later may answer otherwise, else 0.
CallResult MxQuery::temporary() const {
    const auto& last = lookup_.outcome();
    return Variant(static_cast<std::int16_t>(last && lookup::isTemporary(last->outcome) ? 1 : 0));
}

QWidget* MxQuery::createFace(QWidget* parent) {
    return new MxQueryFace(parent);
}

// The instance is complete once constructed; siting it asks for nothing more.
void MxQuery::initialize() {}

QSize MxQuery::resize(QSize) {
    return {kFaceTwips, kFaceTwips};
}

void MxQuery::terminate() {
    // Forms belong to the library, not to an instance: the About dialog that another
    // instance opened goes too.
    component::Forms::ofThisLibrary().unloadAll();
}

}  // namespace ombrix
