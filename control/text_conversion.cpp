#include "control/text_conversion.h"

#include <QString>
#include <QStringEncoder>

namespace ombrix {

std::optional<std::string> toUtf8(std::u16string_view text) {
    // Stateless, so a high surrogate at the very end counts as unpaired instead of waiting
    // for a continuation that never comes.
    QStringEncoder encoder(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
    const QByteArray utf8 = encoder.encode(QStringView(text));
    if (encoder.hasError())
        return std::nullopt;
    return utf8.toStdString();
}

std::u16string toUtf16(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toStdU16String();
}

}  // namespace ombrix
