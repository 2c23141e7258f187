#pragma once

#include <QApplication>
#include <QCursor>

namespace ombrix::sample {

// Shows the busy pointer for as long as it lives, however the scope is left.
class BusyCursor {
  public:
    BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace ombrix::sample
