#include "control/live_wait.h"

#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QThread>
#include <exception>
#include <thread>

#include "control/user_input_blocker.h"

namespace ombrix {
namespace {

bool onGuiThreadOfGuiApplication() {
    const auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    return app != nullptr && QThread::currentThread() == app->thread();
}

// The wait pointer over every window of the application for as long as it lives.
class WaitPointer {
  public:
    WaitPointer() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~WaitPointer() { QGuiApplication::restoreOverrideCursor(); }
    WaitPointer(const WaitPointer&) = delete;
    WaitPointer& operator=(const WaitPointer&) = delete;
};

void runOnWorkerWhileServingEvents(const std::function<void()>& work) {
    const UserInputBlocker blocker;
    const WaitPointer pointer;
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // The loop also ends early when the host ends every loop (QCoreApplication::exit); the
    // work then finishes without events being served.
    loop.exec();
    worker.join();
    // Input that arrived while the work was finishing goes the same way as the rest.
    QCoreApplication::processEvents();
    if (failure)
        std::rethrow_exception(failure);
}

}  // namespace

void runKeepingWindowsLive(const std::function<void()>& work) {
    if (onGuiThreadOfGuiApplication()) {
        runOnWorkerWhileServingEvents(work);
    } else {
        work();
    }
}

}  // namespace ombrix
