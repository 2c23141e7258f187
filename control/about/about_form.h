#pragma once

#include <QDialog>

#include "ui_about.h"

class QKeyEvent;

namespace ombrix {

// The library's one form, `about`. Constructing it is the load step: the caption and the
// three lines are written from the version record every time, so nothing survives from an
// earlier window. Closing it, by OK or the close box, unloads it: the window is destroyed.
class AboutForm final : public QDialog {
    Q_OBJECT

  public:
    AboutForm();

  protected:
    // The cancel key (Escape) would reject the dialog; it has no cancel button, so the key
    // does nothing.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void fillFromVersionRecord();
    void handToDesktop(const QString& address);

    Ui::about ui_;
};

}  // namespace ombrix
