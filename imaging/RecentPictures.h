#pragma once
// The last few pictures loaded, found again while their file stays the same, so a picture
// prepared ahead (the viewer's, while its pane is shown) costs nothing when it is asked for.
#include "imaging/Picture.h"

#include <QString>

namespace imaging {

// LoadPictureFile, unless this file was loaded for this target before and has neither changed
// size nor modification time since; a vanished file fails as LoadPictureFile does.
LoadResult LoadRecentPictureFile(const QString& path, const DisplayTarget& target);

void ForgetRecentPictures();
int RecentPictureCount();

}  // namespace imaging
