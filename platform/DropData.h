#pragma once
// What a drop carries: its file list, as the desktop sent it.
#include <QStringList>

#include <cstdint>
#include <functional>

class QMimeData;

namespace platform {

class DropData {
public:
    DropData() = default;
    explicit DropData(QStringList files) : files_(std::move(files)) {}
    // Local files of a drop (file URLs on Linux, the shell's file list on Windows); text is not a
    // file.
    static DropData FromMime(const QMimeData* mime);

    int Count() const { return static_cast<int>(files_.size()); }
    // 1-based; throws RuntimeError when the drop holds no such file.
    QString Files(int index) const;

private:
    QStringList files_;
};

// What a window or a control runs on a drop: Data, Effect, Button and Shift as the platform
// encodes them, and the drop point in twips.
using DropHandler = std::function<void(DropData& data, int32_t& effect, int16_t button,
                                       int16_t shift, float xTwips, float yTwips)>;

}  // namespace platform
