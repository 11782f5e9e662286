#include "platform/wmf/WmfPlayer.h"

namespace platform::wmf {

bool LooksLikeWmf(const QByteArray&) { return false; }

std::optional<Rendered> RenderWmf(const QByteArray&, QSize, double, QString* error) {
    if (error) *error = QStringLiteral("metafiles are not supported yet");
    return std::nullopt;
}

}  // namespace platform::wmf
