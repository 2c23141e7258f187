#pragma once

#include <atomic>

#include "ombrix/component/dispatch_table.h"
#include "ombrix/component/object.h"
#include "ombrix/component/qt/control.h"
#include "control/host_mx_lookup.h"

namespace ombrix {

// Class mxquery: the MX lookup as a control. Hosts call it late-bound through _mxquery and
// site it with a face that always stays 32 x 32 pixels.
class MxQuery final : public component::Object<component::Dispatch, component::Control> {
  public:
    // A new instance with one reference held by the caller.
    static component::Unknown* create();

    component::ResultCode idOfName(std::u16string_view name, component::DispId* out) override;
    component::ResultCode invoke(component::DispId id, component::InvokeKind kind,
                                 std::span<component::Variant> args, component::Variant* result,
                                 component::ErrorInfo* error) override;

    QWidget* createFace(QWidget* parent) override;
    void initialize() override;
    QSize resize(QSize requestedTwips) override;
    void terminate() override;

  private:
    MxQuery();
    // Whoever held the last reference, sited or not, the library's forms go with it.
    ~MxQuery() override;

    component::CallResult dns() const;
    component::CallResult setDns(const component::CallArguments& args);
    component::CallResult displayAboutBox();
    component::CallResult version() const;
    component::CallResult mxQuery(const component::CallArguments& args);
    component::CallResult bestMx() const;
    component::CallResult mxEntry(const component::CallArguments& args) const;
    component::CallResult mxEntryPref(const component::CallArguments& args) const;
    component::CallResult outcome() const;
    component::CallResult responseCode() const;
    component::CallResult temporary() const;

    component::DispatchTable table_;
    HostMxLookup lookup_;
    std::atomic<bool> inCall_{false};
};

}  // namespace ombrix
