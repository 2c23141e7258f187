#include "control/about/about_box.h"

#include <QApplication>
#include <QPointer>
#include <QThread>

#include "ombrix/component/qt/forms.h"
#include "control/about/about_form.h"
#include "control/about/taskbar_hint.h"

namespace ombrix {

namespace {

// The shared About instance of one thread. It lives as long as the thread; the window it
// shows is loaded on demand and destroyed whenever it closes, so the next display loads a
// fresh one.
class AboutBox {
  public:
    void display() {
        // A closed window may linger until the event loop deletes it; it counts as unloaded.
        AboutForm* loaded = window_.data();
        if (loaded != nullptr && loaded->isVisible()) {
            loaded->raise();
            loaded->activateWindow();
            return;
        }
        load();
    }

  private:
    void load() {
        window_ = new AboutForm;
        // Destroying any control of the library unloads every form the library has loaded.
        component::Forms::ofThisLibrary().add(window_);
        leaveOutOfTaskbar(*window_);
        window_->show();
    }

    QPointer<AboutForm> window_;
};

AboutBox& sharedAboutBox() {
    thread_local AboutBox box;
    return box;
}

}  // namespace

std::optional<AboutRefusal> displayAboutBox() {
    const auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr)
        return AboutRefusal::noGuiApplication;
    if (QThread::currentThread() != app->thread())
        return AboutRefusal::notGuiThread;
    sharedAboutBox().display();
    return std::nullopt;
}

}  // namespace ombrix
