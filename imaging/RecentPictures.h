#pragma once
// The last few pictures loaded, found again while their file stays the same, so a picture
// prepared ahead (the viewer's, while its pane is shown) costs nothing when it is asked for.
// Every function here is safe to call from several threads at once.
#include "imaging/Picture.h"

#include <QString>

#include <optional>

namespace imaging {

// LoadPictureFile, unless this file was loaded for this target before and has neither changed
// size nor modification time since; a vanished file fails as LoadPictureFile does.
LoadResult LoadRecentPictureFile(const QString& path, const DisplayTarget& target);

// What a file looked like when it was read.
struct FileStamp {
    qint64 size = -1;
    qint64 modified = 0;  // ms since the epoch
    qint64 changed = 0;   // metadata change: also moves when a file is replaced in place
    bool operator==(const FileStamp&) const = default;
};

struct PreparedPicture {
    QString path;
    DisplayTarget target;
    FileStamp stamp;
    Picture picture;
};

// Reads a picture for a later LoadRecentPictureFile without keeping it; nothing when it does not
// load, is stopped, or its file changes while it is read.
std::optional<PreparedPicture> PreparePicture(const QString& path, const DisplayTarget& target,
                                              const StopFlag* stop);
// Kept only while its file is still the one it was read from.
void KeepPreparedPicture(PreparedPicture prepared);

void ForgetRecentPictures();
int RecentPictureCount();

}  // namespace imaging
