#pragma once

#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

#include "ombrix/component/dispatch.h"
#include "ombrix/component/error_info.h"
#include "ombrix/component/qt/control.h"

namespace component {

// A container that sites one control named by its programmatic identifier: set `control`
// (in a Designer layout, marked notr="true") and the host creates the control through the
// registry, shows its face, delivers Initialize and Resize, and delivers Terminate and
// destroys it when the host goes.
//
// The host takes the size the control answers: after every resize of the host the control is
// asked for the new size in twips, and the host resizes itself to the answer. Setting another
// identifier destroys the current control first; setting the same one again keeps it.
class ControlHost : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString control READ control WRITE setControl)

  public:
    explicit ControlHost(QWidget* parent = nullptr);
    ~ControlHost() override;

    QString control() const { return progId_; }
    // Creates the named control; a failure leaves the host empty and creationError() set.
    void setControl(const QString& progId);

    bool hasControl() const { return static_cast<bool>(control_); }
    const ErrorInfo& creationError() const { return creationError_; }
    // The control's dispatch interface; empty when there is no control.
    Ref<Dispatch> dispatch() const;

    QSize sizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void createControl();
    void destroyControl();
    // Asks the control for a size in pixels and takes the one it answers.
    void negotiateSize(QSize requestedPixels);

    QString progId_;
    Ref<Control> control_;
    QPointer<QWidget> face_;
    QSize controlSize_;  // in pixels, as the control last answered
    ErrorInfo creationError_;
    bool applyingSize_ = false;
};

}  // namespace component
