#include "sample/main_window.h"

#include <QPushButton>
#include <limits>

#include "sample/busy_cursor.h"
#include "sample/conversions.h"
#include "sample/raised_error.h"

// The icon lives in a static library, where nothing else would keep its resource linked in.
// Declared outside any namespace, as the resource's initialiser is.
static void initSampleResources() {
    Q_INIT_RESOURCE(sample);
}

namespace ombrix::sample {
namespace {

constexpr Qt::WindowFlags kFixedDialogFrame = Qt::Window | Qt::CustomizeWindowHint |
                                              Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                              Qt::WindowCloseButtonHint;

// n - 1 in signed 16-bit arithmetic, which has no room below -32768.
std::int16_t lastIndex(std::int16_t count) {
    if (count == std::numeric_limits<std::int16_t>::min()) {
        throw RaisedError({component::kErrOverflow, kProgramSource, u"Overflow"});
    }
    return static_cast<std::int16_t>(count - 1);
}

}  // namespace

MainWindow::MainWindow(ErrorReporter reportError, QWidget* parent)
    : QWidget(parent), reportError_(std::move(reportError)) {
    initSampleResources();
    ui_.setupUi(this);
    setWindowFlags(kFixedDialogFrame);
    ui_.query_btn->setFocus();
    connect(ui_.query_btn, &QPushButton::clicked, this, &MainWindow::runQuery);
}

std::optional<component::ErrorInfo> MainWindow::load() {
    if (!ui_.mx->hasControl())
        return ui_.mx->creationError();
    try {
        mx_ = MxDispatch(ui_.mx->dispatch());
        setWindowTitle(QStringLiteral("Using Ombrix v") + mx_.getVersion());
    } catch (const RaisedError& error) {
        return error.info();
    }
    return std::nullopt;
}

void MainWindow::runQuery() {
    std::optional<component::ErrorInfo> failure;
    {
        const BusyCursor busy;
        try {
            queryAndShow();
        } catch (const RaisedError& error) {
            failure = error.info();
        }
    }
    if (failure)
        reportError_(this, *failure);
}

void MainWindow::queryAndShow() {
    ui_.res_lst->clear();
    mx_.setDns(ui_.dns_txt->text());
    const std::int16_t count = toInt16(mx_.mxQuery(ui_.domain_txt->text()));
    ui_.num_lbl->setText(QStringLiteral("Number of results : ") + QString::number(count));
    ui_.best_lbl->setText(QStringLiteral("Best MX : ") + mx_.getBestMx());
    const std::int16_t last = lastIndex(count);
    for (std::int16_t idx = 0; idx <= last; ++idx)
        appendEntry(idx);
}

void MainWindow::appendEntry(std::int16_t& idx) {
    const std::uint16_t pref = toPreference(mx_.getMxEntryPref(idx));
    const QString server = mx_.getMxEntry(idx);
    ui_.res_lst->addItem(QStringLiteral("[%1] %2").arg(QString::number(pref), server));
}

}  // namespace ombrix::sample
