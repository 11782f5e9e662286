#pragma once
#include <QString>

// True when path names an existing file that is not a folder; never throws.
bool FileExists(const QString& path);
