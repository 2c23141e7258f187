#pragma once

#include <QString>
#include <cstdint>
#include <initializer_list>

#include "component/dispatch.h"
#include "component/unknown.h"

namespace ombrix::sample {

// The members of the control that the window calls, by dispatch identifier: the program
// knows the control only through its dispatch interface. Every call raises RaisedError with
// the control's number, source and description when the control fails.
class MxDispatch {
  public:
    MxDispatch() = default;
    explicit MxDispatch(component::Ref<component::Dispatch> control)
        : control_(std::move(control)) {}

    QString getVersion() const;
    void setDns(const QString& server) const;
    component::Variant mxQuery(const QString& domain) const;
    QString getBestMx() const;
    // The index goes by reference to the caller's own variable.
    component::Variant getMxEntryPref(std::int16_t& idx) const;
    QString getMxEntry(std::int16_t& idx) const;

  private:
    component::Variant call(component::DispId id, component::InvokeKind kind,
                            std::initializer_list<component::Variant> args) const;

    component::Ref<component::Dispatch> control_;
};

}  // namespace ombrix::sample
