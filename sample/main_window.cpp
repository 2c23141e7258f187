#include "sample/main_window.h"

#include <QPushButton>
#include <limits>

#include "ombrix/component/text.h"
#include "sample/busy_cursor.h"

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

// Source of the run-time errors that the program raises itself.
constexpr char kProgramSource[] = "OmbrixSample";

// n - 1 in signed 16-bit arithmetic, which has no room below -32768.
std::int16_t lastIndex(std::int16_t count) {
    if (count == std::numeric_limits<std::int16_t>::min())
        throw ControlError(component::kErrOverflow, kProgramSource, "Overflow");
    return static_cast<std::int16_t>(count - 1);
}

component::ErrorInfo toErrorInfo(const ControlError& error) {
    return {error.number(), component::toUtf16(error.source()),
            component::toUtf16(error.description())};
}

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toUtf8(const QString& text) {
    return text.toUtf8().toStdString();
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
        mx_ = MxQueryClient(ui_.mx->dispatch(), kProgramSource);
        setWindowTitle(QStringLiteral("Using Ombrix v") + fromUtf8(mx_.GetVersion()));
    } catch (const ControlError& error) {
        return toErrorInfo(error);
    }
    return std::nullopt;
}

void MainWindow::runQuery() {
    std::optional<component::ErrorInfo> failure;
    {
        const BusyCursor busy;
        try {
            queryAndShow();
        } catch (const ControlError& error) {
            failure = toErrorInfo(error);
        }
    }
    if (failure)
        reportError_(this, *failure);
}

void MainWindow::queryAndShow() {
    ui_.res_lst->clear();
    mx_.DNS(toUtf8(ui_.dns_txt->text()));
    const std::int16_t count = mx_.MXQuery(toUtf8(ui_.domain_txt->text()));
    ui_.num_lbl->setText(QStringLiteral("Number of results : ") + QString::number(count));
    ui_.best_lbl->setText(QStringLiteral("Best MX : ") + fromUtf8(mx_.GetBestMX()));
    const std::int16_t last = lastIndex(count);
    for (std::int16_t idx = 0; idx <= last; ++idx)
        appendEntry(idx);
}

void MainWindow::appendEntry(std::int16_t idx) {
    const std::uint16_t pref = mx_.GetMXEntryPref(idx);
    const QString server = fromUtf8(mx_.GetMXEntry(idx));
    ui_.res_lst->addItem(QStringLiteral("[%1] %2").arg(QString::number(pref), server));
}

}  // namespace ombrix::sample
