#pragma once

#include <QByteArray>
#include <QTemporaryDir>

namespace ombrix::sample::testing {

// A registration store of the test's own, with the control library registered in it the way
// a host install registers it: the library's own DllRegisterServer writes the entry. While
// it lives, the component layer finds classes there instead of in the user's store.
class TemporaryControlStore {
  public:
    TemporaryControlStore();
    ~TemporaryControlStore();
    TemporaryControlStore(const TemporaryControlStore&) = delete;
    TemporaryControlStore& operator=(const TemporaryControlStore&) = delete;

  private:
    QTemporaryDir directory_;
    QByteArray previousStore_;
    bool hadStore_ = false;
};

}  // namespace ombrix::sample::testing
