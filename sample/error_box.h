#pragma once

#include <QString>

#include "ombrix/component/error_info.h"

class QWidget;

namespace ombrix::sample {

// The text that reports an error to the user: number, source and description.
QString errorMessage(const component::ErrorInfo& error);

// Reports an error in a modal message box over `window` (none before the window exists).
void showErrorBox(QWidget* window, const component::ErrorInfo& error);

}  // namespace ombrix::sample
