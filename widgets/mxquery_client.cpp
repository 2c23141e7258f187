#include "ombrix/widgets/mxquery_client.h"

#include <utility>
#include <vector>

#include "host_conversions.h"
#include "ombrix/component/create.h"
#include "ombrix/component/error_info.h"
#include "ombrix/component/text.h"
#include "ombrix/widgets/mxquery_dispatch_ids.h"

namespace ombrix {
namespace {

using component::InvokeKind;
using component::Variant;

constexpr std::int32_t kErrObjectNotSet = 91;
constexpr std::int32_t kErrAutomation = 440;

Variant utf16(std::string_view utf8) {
    return Variant(component::toUtf16(utf8));
}

ControlError toControlError(const component::ErrorInfo& error) {
    return ControlError(error.number, component::toUtf8(error.source),
                        component::toUtf8(error.description));
}

}  // namespace

MxQueryClient MxQueryClient::create(std::string hostSource) {
    component::Ref<component::Unknown> object;
    component::ErrorInfo error;
    if (!component::succeeded(component::createObject(kMxQueryProgId, object, error)))
        throw toControlError(error);
    auto control = object.query<component::Dispatch>();
    if (!control) {
        throw toControlError(component::layerError(
            component::kErrCannotCreateObject,
            std::string("The object '") + kMxQueryProgId + "' has no dispatch interface"));
    }
    return MxQueryClient(std::move(control), std::move(hostSource));
}

MxQueryClient::MxQueryClient(component::Ref<component::Dispatch> control, std::string hostSource)
    : control_(std::move(control)), hostSource_(std::move(hostSource)) {}

std::string MxQueryClient::DNS() const {
    return toText(call(dispid::kDns, InvokeKind::PropertyGet), hostSource_);
}

void MxQueryClient::DNS(std::string_view server) const {
    call(dispid::kDns, InvokeKind::PropertyPut, {utf16(server)});
}

void MxQueryClient::SetDNS(std::string_view server) const {
    call(dispid::kSetDns, InvokeKind::Method, {utf16(server)});
}

void MxQueryClient::DisplayAboutBox() const {
    call(dispid::kDisplayAboutBox, InvokeKind::Method);
}

std::string MxQueryClient::GetVersion() const {
    return text(dispid::kGetVersion);
}

std::int16_t MxQueryClient::MXQuery(std::string_view domain) const {
    return toInt16(call(dispid::kMxQuery, InvokeKind::Method, {utf16(domain)}), hostSource_);
}

std::string MxQueryClient::GetBestMX() const {
    return text(dispid::kGetBestMx);
}

// The index goes by reference, as the interface declares it, to a variable of the wrapper's.
std::string MxQueryClient::GetMXEntry(std::int16_t idx) const {
    return toText(call(dispid::kGetMxEntry, InvokeKind::Method, {Variant::byRef(&idx)}),
                  hostSource_);
}

std::uint16_t MxQueryClient::GetMXEntryPref(std::int16_t idx) const {
    return toPreference(call(dispid::kGetMxEntryPref, InvokeKind::Method, {Variant::byRef(&idx)}),
                        hostSource_);
}

std::string MxQueryClient::GetOutcome() const {
    return text(dispid::kGetOutcome);
}

std::int16_t MxQueryClient::GetResponseCode() const {
    return toInt16(call(dispid::kGetResponseCode, InvokeKind::Method), hostSource_);
}

bool MxQueryClient::IsTemporary() const {
    return toInt16(call(dispid::kIsTemporary, InvokeKind::Method), hostSource_) != 0;
}

std::string MxQueryClient::text(component::DispId id) const {
    return toText(call(id, InvokeKind::Method), hostSource_);
}

Variant MxQueryClient::call(component::DispId id, InvokeKind kind,
                            std::initializer_list<Variant> args) const {
    if (!control_)
        throw ControlError(kErrObjectNotSet, hostSource_, "Object variable not set");
    std::vector<Variant> arguments(args);
    Variant result;
    component::ErrorInfo error;
    const component::ResultCode rc = control_->invoke(id, kind, arguments, &result, &error);
    if (rc == component::kException)
        throw toControlError(error);
    if (!component::succeeded(rc)) {
        throw ControlError(kErrAutomation, hostSource_,
                           "Automation error " + std::to_string(rc));
    }
    return result;
}

}  // namespace ombrix
