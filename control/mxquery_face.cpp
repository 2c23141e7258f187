#include "control/mxquery_face.h"

#include <QPainter>

namespace ombrix {

MxQueryFace::MxQueryFace(QWidget* parent)
    : QWidget(parent), icon_(QStringLiteral(":/ombrix/mxquery_face.png")) {}

void MxQueryFace::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), icon_);
}

}  // namespace ombrix
