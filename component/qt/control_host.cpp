#include "ombrix/component/qt/control_host.h"

#include <QResizeEvent>
#include <QScopedValueRollback>
#include <cmath>

#include "ombrix/component/create.h"

namespace component {
namespace {

int twipsToPixels(int twips) {
    return std::max(0, static_cast<int>(std::lround(twips / double(kTwipsPerPixel))));
}

QSize toPixels(QSize twips) {
    return {twipsToPixels(twips.width()), twipsToPixels(twips.height())};
}

}  // namespace

ControlHost::ControlHost(QWidget* parent) : QWidget(parent) {}

ControlHost::~ControlHost() {
    destroyControl();
}

void ControlHost::setControl(const QString& progId) {
    if (progId == progId_ && control_)
        return;
    destroyControl();
    progId_ = progId;
    creationError_ = {};
    if (!progId_.isEmpty())
        createControl();
    updateGeometry();
}

Ref<Dispatch> ControlHost::dispatch() const {
    return control_.query<Dispatch>();
}

QSize ControlHost::sizeHint() const {
    return control_ ? controlSize_ : QWidget::sizeHint();
}

void ControlHost::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (face_)
        face_->setGeometry(rect());
    if (control_ && !applyingSize_)
        negotiateSize(event->size());
}

void ControlHost::createControl() {
    Ref<Unknown> object;
    if (!succeeded(createObject(progId_.toStdString(), object, creationError_)))
        return;
    Ref<Control> control = object.query<Control>();
    if (!control) {
        creationError_ = layerError(kErrCannotCreateObject,
                                    "The object '" + progId_.toStdString() + "' is not a control");
        return;
    }
    control_ = std::move(control);
    face_ = control_->createFace(this);
    if (face_) {
        face_->setGeometry(rect());
        face_->show();
    }
    control_->initialize();
    negotiateSize(size());
}

void ControlHost::negotiateSize(QSize requestedPixels) {
    controlSize_ = toPixels(control_->resize(requestedPixels * kTwipsPerPixel));
    if (controlSize_ == size())
        return;
    // The resize reaches resizeEvent again; the guard keeps it from asking once more.
    const QScopedValueRollback guard(applyingSize_, true);
    resize(controlSize_);
    // A hidden host gets its resize event only when shown; the face follows at once.
    if (face_)
        face_->setGeometry(rect());
    updateGeometry();
}

void ControlHost::destroyControl() {
    if (!control_)
        return;
    control_->terminate();
    delete face_.data();
    control_.reset();
    controlSize_ = {};
}

}  // namespace component
