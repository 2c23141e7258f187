#pragma once

#include <QSize>

#include "ombrix/component/unknown.h"

class QWidget;

namespace component {

// A visual control as a control host sites it. Sizes are in twips (15 to a
// device-independent pixel).
class Control : public Unknown {
  public:
    static constexpr Guid iid{
        0x6A1C3E20, 0x4F0B, 0x4D2E, {0x9B, 0x51, 0x3C, 0x7E, 0x10, 0xA2, 0x5D, 0x01}};

    // Creates the control's face as a child of `parent`; called once, before initialize().
    // The host owns the widget and destroys it after terminate().
    virtual QWidget* createFace(QWidget* parent) = 0;
    virtual void initialize() = 0;
    // The host or a designer asks for a size; the control answers with the size it takes.
    virtual QSize resize(QSize requestedTwips) = 0;
    // The instance is about to be destroyed.
    virtual void terminate() = 0;

  protected:
    ~Control() = default;
};

inline constexpr int kTwipsPerPixel = 15;

}  // namespace component
