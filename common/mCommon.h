#pragma once
// File checks and the program's settings file (an INI file next to the executable).
#include <QString>
#include <QVariant>

namespace mCommon {

// True when path names an existing file that is not a folder. Never throws.
bool FileExists(const QString& path);

// The settings file: executable folder, separator, executable name, ".ini".
QString DefaultIniPath();

// The stored value of key in section, or defaultValue as text when the file, section or
// key is missing or the value is empty. At most 254 characters come back.
// An empty file argument means the remembered settings file, whose path is written back
// into file. Throws platform::RuntimeError (13) when defaultValue has no text form.
QString ReadIni(const QString& section, const QString& key, const QVariant& defaultValue,
                QString& file);

// Stores value as text under section and key. A write that fails is not reported.
// An empty file argument works as for ReadIni, with a remembered path of its own.
void WriteIni(const QString& section, const QString& key, const QVariant& value, QString& file);

namespace detail {
// Folder + separator + name + ".ini" with doubled separators collapsed; a network folder
// (two leading separators) keeps its leading pair.
QString JoinIniPath(const QString& folder, const QString& exeName, QChar separator, bool lowerCase);
// Both remembered settings paths back to empty, as at start (they are process-wide).
void ResetRememberedPaths();
}  // namespace detail

}  // namespace mCommon
