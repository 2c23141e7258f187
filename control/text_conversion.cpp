#include "control/text_conversion.h"

#include <QString>
#include <QStringEncoder>

namespace ombrix {

std::optional<std::string> strictUtf8(std::u16string_view text) {
    // Stateless, so a high surrogate at the very end counts as unpaired instead of waiting
    // for a continuation that never comes.
    QStringEncoder encoder(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
    const QByteArray utf8 = encoder.encode(QStringView(text));
    if (encoder.hasError())
        return std::nullopt;
    return utf8.toStdString();
}

}  // namespace ombrix
