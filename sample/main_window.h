#pragma once

#include <QWidget>
#include <functional>
#include <optional>

#include "ombrix/component/error_info.h"
#include "ombrix/widgets/mxquery_client.h"
#include "ui_main_window.h"

namespace ombrix::sample {

// Shows an error to the user; the window carries on afterwards.
using ErrorReporter = std::function<void(QWidget* window, const component::ErrorInfo&)>;

// The window `main`: the layout creates the control `mx` through its control host, a click on
// query_btn runs one MX query and shows its result.
class MainWindow : public QWidget {
    Q_OBJECT

  public:
    explicit MainWindow(ErrorReporter reportError, QWidget* parent = nullptr);

    // The load step: puts the control's version into the caption. The error when the control
    // could not be created or does not answer; the window must not be shown then.
    std::optional<component::ErrorInfo> load();

    // The click handler of query_btn. An error is reported and leaves the window as far as
    // the steps before it got.
    void runQuery();

    const Ui::main& ui() const { return ui_; }

  private:
    void queryAndShow();
    void appendEntry(std::int16_t idx);

    Ui::main ui_;
    MxQueryClient mx_;
    ErrorReporter reportError_;
};

}  // namespace ombrix::sample
