#include "imaging/RecentPictures.h"

#include <QDateTime>
#include <QFileInfo>

#include <deque>
#include <mutex>

namespace imaging {

namespace {

// Two panes and the viewer's copy of each; at screen size that is at most a few tens of MB.
constexpr size_t kEntries = 4;
constexpr qsizetype kMaxBytes = 96LL * 1024 * 1024;

struct Entry {
    QString path;
    FileStamp stamp;
    QSize box;
    double ratio;
    bool reduceToFit;
    Picture picture;
};

// Held only to look up and to file entries, never while a picture is read.
std::mutex gMutex;
std::deque<Entry> gEntries;

std::optional<FileStamp> StampOf(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) return std::nullopt;
    return FileStamp{info.size(), info.lastModified().toMSecsSinceEpoch(),
                     info.fileTime(QFileDevice::FileMetadataChangeTime).toMSecsSinceEpoch()};
}

bool SameTarget(const Entry& e, const DisplayTarget& t) {
    return e.box == t.maxDevicePixels && e.ratio == t.devicePixelRatio &&
           e.reduceToFit == t.reduceToFit;
}

// Under gMutex.
void Keep(PreparedPicture&& p) {
    for (auto it = gEntries.begin(); it != gEntries.end(); ++it) {
        if (it->path == p.path && SameTarget(*it, p.target)) {
            gEntries.erase(it);
            break;
        }
    }
    gEntries.push_front(Entry{std::move(p.path), p.stamp, p.target.maxDevicePixels,
                              p.target.devicePixelRatio, p.target.reduceToFit,
                              std::move(p.picture)});
    qsizetype bytes = 0;
    size_t keep = 0;
    for (; keep < gEntries.size() && keep < kEntries; ++keep) {
        bytes += gEntries[keep].picture.image.sizeInBytes();
        if (bytes > kMaxBytes && keep > 0) break;
    }
    gEntries.resize(keep);
}

}  // namespace

LoadResult LoadRecentPictureFile(const QString& path, const DisplayTarget& target) {
    const std::optional<FileStamp> before = StampOf(path);
    if (!before) return LoadPictureFile(path, target);
    {
        const std::lock_guard lock(gMutex);
        for (auto it = gEntries.begin(); it != gEntries.end(); ++it) {
            if (it->path == path && SameTarget(*it, target)) {
                if (it->stamp == *before) {
                    Entry hit = std::move(*it);
                    gEntries.erase(it);
                    gEntries.push_front(std::move(hit));
                    return LoadResult{gEntries.front().picture, {}};
                }
                gEntries.erase(it);  // the file changed: that picture is of no more use
                break;
            }
        }
    }
    LoadResult r = LoadPictureFile(path, target);
    // Kept only when the file did not change while it was read.
    if (r.picture && StampOf(path) == before) {
        const std::lock_guard lock(gMutex);
        Keep(PreparedPicture{path, target, *before, *r.picture});
    }
    return r;
}

std::optional<PreparedPicture> PreparePicture(const QString& path, const DisplayTarget& target,
                                              const StopFlag* stop) {
    const std::optional<FileStamp> before = StampOf(path);
    if (!before) return std::nullopt;
    LoadResult r = LoadPictureFile(path, target, stop);
    if (!r.picture || StampOf(path) != before) return std::nullopt;
    return PreparedPicture{path, target, *before, std::move(*r.picture)};
}

void KeepPreparedPicture(PreparedPicture prepared) {
    if (StampOf(prepared.path) != prepared.stamp) return;
    const std::lock_guard lock(gMutex);
    Keep(std::move(prepared));
}

void ForgetRecentPictures() {
    const std::lock_guard lock(gMutex);
    gEntries.clear();
}

int RecentPictureCount() {
    const std::lock_guard lock(gMutex);
    return static_cast<int>(gEntries.size());
}

}  // namespace imaging
