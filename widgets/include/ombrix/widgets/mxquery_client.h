#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "ombrix/component/dispatch.h"
#include "ombrix/component/unknown.h"
#include "ombrix/widgets/control_error.h"

namespace ombrix {

// The mxquery control as C++ functions: each member of _mxquery under its own name, with C++
// types for its arguments and results (text in UTF-8). Every failure throws ControlError:
// the control's own errors with its number, source and description; a result that is no
// number 13 (type mismatch) or out of range 6 (overflow), a call without a control 91, a call
// the control cannot take 440, these four with the host's own source.
//
// Copies share one control; the last copy to go releases it.
class MxQueryClient {
  public:
    // Creates a control "Ombrix.mxquery" through the registration store, unsited (a console
    // program needs no window). Throws the layer's error when it cannot (429, 48).
    static MxQueryClient create(std::string hostSource = kDefaultHostSource);

    // No control: every call throws error 91.
    MxQueryClient() = default;
    // A control created elsewhere, such as one sited in a form (ombrix::mxquery::client()).
    explicit MxQueryClient(component::Ref<component::Dispatch> control,
                           std::string hostSource = kDefaultHostSource);

    // The DNS property: the server the next MXQuery asks.
    std::string DNS() const;
    void DNS(std::string_view server) const;
    void SetDNS(std::string_view server) const;
    void DisplayAboutBox() const;
    std::string GetVersion() const;
    // The number of exchangers found.
    std::int16_t MXQuery(std::string_view domain) const;
    std::string GetBestMX() const;
    // The entry at idx in preference order; empty outside the list.
    std::string GetMXEntry(std::int16_t idx) const;
    // The preference of the entry at idx, read unsigned as DNS carries it; 0 outside the list.
    std::uint16_t GetMXEntryPref(std::int16_t idx) const;
    // What the last query came to ("exchangers", "no-mx", ...); empty before the first.
    std::string GetOutcome() const;
    // The response code of the reply the last query read, -1 without one.
    std::int16_t GetResponseCode() const;
    // Whether asking again later may answer otherwise.
    bool IsTemporary() const;

    const component::Ref<component::Dispatch>& dispatch() const { return control_; }

    static constexpr char kDefaultHostSource[] = "MxQueryClient";

  private:
    component::Variant call(component::DispId id, component::InvokeKind kind,
                            std::initializer_list<component::Variant> args = {}) const;
    std::string text(component::DispId id) const;

    component::Ref<component::Dispatch> control_;
    std::string hostSource_ = kDefaultHostSource;
};

}  // namespace ombrix
