#include "imaging/RecentPictures.h"

#include <QDateTime>
#include <QFileInfo>

#include <deque>
#include <optional>

namespace imaging {

namespace {

// Two panes and the viewer's copy of each; at screen size that is at most a few tens of MB.
constexpr size_t kEntries = 4;
constexpr qsizetype kMaxBytes = 96LL * 1024 * 1024;

struct Stamp {
    qint64 size = -1;
    qint64 modified = 0;  // ms since the epoch
    qint64 changed = 0;   // metadata change: also moves when a file is replaced in place
    bool operator==(const Stamp&) const = default;
};

struct Entry {
    QString path;
    Stamp stamp;
    QSize box;
    double ratio;
    bool reduceToFit;
    Picture picture;
};

std::deque<Entry>& Entries() {
    static std::deque<Entry> entries;
    return entries;
}

std::optional<Stamp> StampOf(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) return std::nullopt;
    return Stamp{info.size(), info.lastModified().toMSecsSinceEpoch(),
                 info.fileTime(QFileDevice::FileMetadataChangeTime).toMSecsSinceEpoch()};
}

bool SameTarget(const Entry& e, const DisplayTarget& t) {
    return e.box == t.maxDevicePixels && e.ratio == t.devicePixelRatio &&
           e.reduceToFit == t.reduceToFit;
}

}  // namespace

LoadResult LoadRecentPictureFile(const QString& path, const DisplayTarget& target) {
    const std::optional<Stamp> before = StampOf(path);
    if (!before) return LoadPictureFile(path, target);
    std::deque<Entry>& entries = Entries();
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->path == path && SameTarget(*it, target)) {
            if (it->stamp == *before) {
                Entry hit = std::move(*it);
                entries.erase(it);
                entries.push_front(std::move(hit));
                return LoadResult{entries.front().picture, {}};
            }
            entries.erase(it);  // the file changed: that picture is of no more use
            break;
        }
    }
    LoadResult r = LoadPictureFile(path, target);
    // Kept only when the file did not change while it was read.
    if (!r.picture || StampOf(path) != before) return r;
    entries.push_front(Entry{path, *before, target.maxDevicePixels, target.devicePixelRatio,
                             target.reduceToFit, *r.picture});
    qsizetype bytes = 0;
    size_t keep = 0;
    for (; keep < entries.size() && keep < kEntries; ++keep) {
        bytes += entries[keep].picture.image.sizeInBytes();
        if (bytes > kMaxBytes && keep > 0) break;
    }
    entries.resize(keep);
    return r;
}

void ForgetRecentPictures() { Entries().clear(); }

int RecentPictureCount() { return static_cast<int>(Entries().size()); }

}  // namespace imaging
