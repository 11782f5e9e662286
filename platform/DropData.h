#pragma once
// What a drop carries: its file list, as the desktop sent it.
#include <QStringList>

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

}  // namespace platform
