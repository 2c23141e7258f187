#include "sample/mx_dispatch.h"

#include <vector>

#include "component/error_info.h"
#include "sample/conversions.h"
#include "sample/raised_error.h"

namespace ombrix::sample {
namespace {

constexpr component::DispId kDns = 0x40030005;
constexpr component::DispId kMxQuery = 0x60030005;
constexpr component::DispId kGetBestMx = 0x60030006;
constexpr component::DispId kGetMxEntry = 0x60030007;
constexpr component::DispId kGetMxEntryPref = 0x60030008;
constexpr component::DispId kGetVersion = 0x6003000A;

constexpr std::int32_t kErrObjectNotSet = 91;
constexpr std::int32_t kErrAutomation = 440;

component::Variant text(const QString& s) {
    return component::Variant(s.toStdU16String());
}

}  // namespace

QString MxDispatch::getVersion() const {
    return toText(call(kGetVersion, component::InvokeKind::Method, {}));
}

void MxDispatch::setDns(const QString& server) const {
    call(kDns, component::InvokeKind::PropertyPut, {text(server)});
}

component::Variant MxDispatch::mxQuery(const QString& domain) const {
    return call(kMxQuery, component::InvokeKind::Method, {text(domain)});
}

QString MxDispatch::getBestMx() const {
    return toText(call(kGetBestMx, component::InvokeKind::Method, {}));
}

component::Variant MxDispatch::getMxEntryPref(std::int16_t& idx) const {
    return call(kGetMxEntryPref, component::InvokeKind::Method, {component::Variant::byRef(&idx)});
}

QString MxDispatch::getMxEntry(std::int16_t& idx) const {
    return toText(
        call(kGetMxEntry, component::InvokeKind::Method, {component::Variant::byRef(&idx)}));
}

component::Variant MxDispatch::call(component::DispId id, component::InvokeKind kind,
                                    std::initializer_list<component::Variant> args) const {
    if (!control_) {
        throw RaisedError({kErrObjectNotSet, kProgramSource, u"Object variable not set"});
    }
    std::vector<component::Variant> arguments(args);
    component::Variant result;
    component::ErrorInfo error;
    const component::ResultCode rc = control_->invoke(id, kind, arguments, &result, &error);
    if (rc == component::kException)
        throw RaisedError(std::move(error));
    if (!component::succeeded(rc)) {
        throw RaisedError({kErrAutomation, kProgramSource,
                           u"Automation error " + QString::number(rc).toStdU16String()});
    }
    return result;
}

}  // namespace ombrix::sample
