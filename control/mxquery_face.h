#pragma once

#include <QPixmap>
#include <QWidget>

namespace ombrix {

// The control's face: its icon over the whole surface.
class MxQueryFace : public QWidget {
  public:
    explicit MxQueryFace(QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPixmap icon_;
};

}  // namespace ombrix
